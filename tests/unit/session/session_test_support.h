// Helpers of the session tests: an ordered record of the mail events, a scripted TCP channel,
// the peers' addresses from the environment, and a mail object set up for loopback.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mail/mail_core.h"
#include "mail/tcp_channel.h"

namespace zankit::mail::testing {

// Every event as one text, in the order raised: "Status: ...", "SendFailed: ...",
// "Progress: N", "SendSuccesful".
class OrderedEvents : public MailEvents {
public:
    void SendSuccesful() override { log.push_back("SendSuccesful"); }
    void SendFailed(std::string& explanation) override { log.push_back("SendFailed: " + explanation); }
    void Status(std::string& status) override { log.push_back("Status: " + status); }
    void Progress(long& percent) override {
        log.push_back("Progress: " + std::to_string(percent));
        percents.push_back(percent);
    }
    std::vector<std::string> log;
    std::vector<long> percents;
};

// What a scripted channel does and saw; the test keeps it, the socket owns the channel.
struct ChannelScript {
    ConnectStep::Kind openResult = ConnectStep::Connected;
    std::string openError;
    bool connectsLater = false;                                        // Open answers Pending, the next check Connected
    std::size_t sendBudget = std::numeric_limits<std::size_t>::max();  // bytes Send still takes
    std::string incoming;                                              // handed out by the next Receive
    bool peerCloses = false;                                           // after incoming is drained
    std::string receiveError;                                          // a failing Receive, after incoming is drained
    std::string written;
    int opens = 0;
    std::string host;
    int port = 0;
};

class ScriptedChannel : public TcpChannel {
public:
    explicit ScriptedChannel(ChannelScript& script) : script_(script) {}
    ConnectStep Open(const std::string& host, std::uint16_t port) override {
        ++script_.opens;
        script_.host = host;
        script_.port = port;
        if (script_.openResult == ConnectStep::Failed) return {ConnectStep::Failed, script_.openError};
        if (script_.connectsLater) return {ConnectStep::Pending, {}};
        return {ConnectStep::Connected, {}};
    }
    ConnectStep CheckConnected() override { return {ConnectStep::Connected, {}}; }
    IoStep Send(const char* data, std::size_t size) override {
        const std::size_t taken = size < script_.sendBudget ? size : script_.sendBudget;
        script_.sendBudget -= taken;
        script_.written.append(data, taken);
        IoStep step;
        step.count = taken;
        return step;
    }
    IoStep Receive(char* buffer, std::size_t size) override {
        IoStep step;
        if (!script_.incoming.empty()) {
            step.count = script_.incoming.size() < size ? script_.incoming.size() : size;
            script_.incoming.copy(buffer, step.count);
            script_.incoming.erase(0, step.count);
        } else if (!script_.receiveError.empty()) {
            step.failed = true;
            step.error = script_.receiveError;
        } else if (script_.peerCloses) {
            step.closed = true;
        }
        return step;
    }
    void Close() override {}

private:
    ChannelScript& script_;
};

// The value of an environment variable, or nothing when unset or empty.
inline std::optional<std::string> FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A mail object on the real platform aimed at 127.0.0.1:port with short waits; or, given a
// store, with the settings the store remembers.
struct LoopbackMail {
    explicit LoopbackMail(int port, std::unique_ptr<SettingsStore> store = nullptr)
        : core(MakePlatformMailSystem(), store ? std::move(store) : std::make_unique<NullStore>(), events) {
        if (port == 0) return;
        auto& s = core.Settings();
        s.SetSMTPHostValidation(VALIDATE_HOST_SYNTAX);
        std::string host = "127.0.0.1";
        s.SetSMTPHost(host);
        s.SetSMTPPort(port);
        s.SetFrom("sender@example.com");
        s.SetConnectTimeout(2);
        s.SetConnectRetry(1);
    }

    // Settings that are only read, never written.
    class NullStore : public SettingsStore {
    public:
        std::optional<std::string> Read(const std::string&) override { return std::nullopt; }
        bool Write(const std::string&, const std::string&) override { return true; }
    };

    OrderedEvents events;
    SendMailCore core;
};

}  // namespace zankit::mail::testing
