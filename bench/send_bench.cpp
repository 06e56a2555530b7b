// clsSendMail's core sending to an SMTP server on 127.0.0.1, timed from the first connection to
// the last QUIT, with the peak resident memory of this process.
// Usage: send_bench PORT small COUNT        COUNT small plain messages, one session each
//        send_bench PORT attach FILE        one message with FILE attached (MIME)
//        send_bench PORT session COUNT RCPTS USER PASSWORD
//                                           COUNT messages to RCPTS recipients each, logged in,
//                                           through one Connect session
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "mail/mail_core.h"

namespace {

using zankit::mail::MailEvents;

class Outcome : public MailEvents {
public:
    void SendSuccesful() override { ++successes; }
    void SendFailed(std::string& explanation) override {
        ++failures;
        std::fprintf(stderr, "SendFailed: %s", explanation.c_str());
    }
    void Status(std::string&) override {}
    void Progress(long&) override {}
    int successes = 0;
    int failures = 0;
};

class NoStore : public zankit::mail::SettingsStore {
public:
    std::optional<std::string> Read(const std::string&) override { return std::nullopt; }
    bool Write(const std::string&, const std::string&) override { return true; }
};

void Configure(zankit::mail::SendMailCore& core, int port) {
    core.SetReverseLookup([](const std::string&) { return std::string("bench.local"); });
    auto& s = core.Settings();
    s.SetSMTPHostValidation(zankit::mail::VALIDATE_HOST_SYNTAX);
    std::string host = "127.0.0.1";
    s.SetSMTPHost(host);
    s.SetSMTPPort(port);
    s.SetFrom("bench@example.com");
    s.SetRecipient("sink@example.com");
    s.SetSubject("Benchmark");
    s.SetMessage("A small plain message.\r\nSecond line.");
    s.SetMessageTimeout(120);
}

bool SendOne(int port, const std::string& attachment) {
    Outcome outcome;
    zankit::mail::SendMailCore core(zankit::mail::MakePlatformMailSystem(), std::make_unique<NoStore>(), outcome);
    Configure(core, port);
    if (!attachment.empty()) core.Settings().SetAttachment(attachment);
    core.Send();
    return outcome.successes == 1 && outcome.failures == 0;
}

int SendInOneSession(int port, int count, int recipients, const std::string& user, const std::string& password) {
    Outcome outcome;
    zankit::mail::SendMailCore core(zankit::mail::MakePlatformMailSystem(), std::make_unique<NoStore>(), outcome);
    Configure(core, port);
    auto& s = core.Settings();
    std::string list;
    for (int i = 0; i < recipients; ++i) list += (i ? ";sink" : "sink") + std::to_string(i) + "@example.com";
    s.SetRecipient(list);
    s.SetUseAuthentication(true);
    s.SetUsername(user);
    s.SetPassword(password);
    if (!core.Connect()) return 0;
    for (int i = 0; i < count; ++i) core.Send();
    core.Disconnect();
    return outcome.failures == 0 ? outcome.successes : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: send_bench PORT small COUNT | send_bench PORT attach FILE\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string mode = argv[2];
    const auto start = std::chrono::steady_clock::now();
    int sent = 0;
    if (mode == "small") {
        const int count = std::atoi(argv[3]);
        for (int i = 0; i < count; ++i) sent += SendOne(port, "") ? 1 : 0;
    } else if (mode == "session" && argc >= 7) {
        sent = SendInOneSession(port, std::atoi(argv[3]), std::atoi(argv[4]), argv[5], argv[6]);
    } else {
        sent = SendOne(port, argv[3]) ? 1 : 0;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("zankit: %d sent in %.3f s, peak RSS %ld KiB\n", sent, seconds, usage.ru_maxrss);
    return sent > 0 ? 0 : 1;
}
