// Helpers of the session and send tests: an ordered record of the mail events, a scripted TCP
// channel, the loopback peers started by tests/peers/run_session_tests.sh, and a received
// message taken apart by tests/peers/read_message.py.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../mail/mail_test_support.h"
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
        return {script_.connectsLater ? ConnectStep::Pending : ConnectStep::Connected, {}};
    }
    ConnectStep CheckConnected() override { return {ConnectStep::Connected, {}}; }
    IoStep Send(const char* data, std::size_t size) override {
        IoStep step;
        step.count = std::min(size, script_.sendBudget);
        script_.sendBudget -= step.count;
        script_.written.append(data, step.count);
        return step;
    }
    IoStep Receive(char* buffer, std::size_t size) override {
        IoStep step;
        if (!script_.incoming.empty()) {
            step.count = script_.incoming.copy(buffer, size);
            script_.incoming.erase(0, step.count);
        } else if (!script_.receiveError.empty()) {
            step.failed = true;
            step.error = script_.receiveError;
        } else {
            step.closed = script_.peerCloses;
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

// size bytes of every value 0..255 in a scrambled order, written to dir/name; the full path.
inline std::string BinaryFile(const std::filesystem::path& dir, const std::string& name, std::size_t size) {
    std::mt19937 random(1 + static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(random() & 0xFF);
    WriteFile(dir / name, bytes);
    return (dir / name).string();
}

// A mail object on the real platform aimed at 127.0.0.1:port with short waits; or, given a
// store, with the settings the store remembers.
struct LoopbackMail {
    explicit LoopbackMail(int port, std::unique_ptr<SettingsStore> store = std::make_unique<MemoryStore>())
        : core(MakePlatformMailSystem(), std::move(store), events) {
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
    OrderedEvents events;
    SendMailCore core;
};

// One aiosmtpd sink: its port and its spool (received.log and message-N.eml).
struct SinkPeer {
    int port = 0;
    std::string spool;

    std::string Received() const { return ReadWholeFile(spool + "/received.log"); }
    int MessageCount() const {
        int newest = 0;
        for (const auto& entry : std::filesystem::directory_iterator(spool)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("message-", 0) == 0) newest = std::max(newest, std::stoi(name.substr(8)));
        }
        return newest;
    }
    std::string MessagePath(int number) const { return spool + "/message-" + std::to_string(number) + ".eml"; }
};

inline std::optional<SinkPeer> SinkPeerFromEnvironment(const char* portName, const char* spoolName) {
    const auto port = FromEnvironment(portName);
    const auto spool = FromEnvironment(spoolName);
    if (!port || !spool) return std::nullopt;
    return SinkPeer{std::stoi(*port), *spool};
}

// What a sink received from the construction on.
class Capture {
public:
    explicit Capture(const SinkPeer& sink) : sink_(sink), start_(sink.Received().size()) {}
    std::string Text() const { return sink_.Received().substr(start_); }

private:
    const SinkPeer& sink_;
    std::size_t start_;
};

// A received message as a mail reader sees it.
struct InspectedMessage {
    struct Part {
        std::string type, cid, file, bytes;
    };
    struct UUBlock {
        std::string name;
        int rc = -1;
        std::string bytes;
    };
    std::vector<std::pair<std::string, std::string>> headers;  // in order
    std::vector<Part> parts;
    std::vector<UUBlock> uu;

    // The value of the only header of that name; "<missing>" or "<several>" otherwise.
    std::string Header(const std::string& name) const {
        std::vector<std::string> found;
        for (const auto& [key, value] : headers) {
            if (EqualsNoCase(key, name)) found.push_back(value);
        }
        if (found.empty()) return "<missing>";
        return found.size() > 1 ? "<several>" : found[0];
    }
    std::vector<std::string> HeaderNames() const {
        std::vector<std::string> names;
        for (const auto& header : headers) names.push_back(header.first);
        return names;
    }
};

// Runs the reader over a message file; its tab-separated summary parsed.
inline InspectedMessage Inspect(const std::string& messageFile, const std::string& outDir) {
    const auto script = std::filesystem::path(__FILE__).parent_path() / "../../peers/read_message.py";
    const std::string command = "/usr/bin/python3 '" + script.string() + "' '" + messageFile + "' '" + outDir + "'";
    InspectedMessage result;
    if (std::system(command.c_str()) != 0) return result;
    std::istringstream summary(ReadWholeFile(outDir + "/summary.txt"));
    std::string line;
    while (std::getline(summary, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        fields.resize(4);
        const std::string bytes = outDir + "/" + fields[0] + "-";
        if (fields[0] == "header") result.headers.emplace_back(fields[1], fields[2]);
        if (fields[0] == "part") {
            result.parts.push_back(
                {fields[1], fields[2], fields[3], ReadWholeFile(bytes + std::to_string(result.parts.size()) + ".bin")});
        }
        if (fields[0] == "uu") {
            result.uu.push_back({fields[1], std::atoi(fields[2].c_str()),
                                 ReadWholeFile(bytes + std::to_string(result.uu.size()) + ".bin")});
        }
    }
    return result;
}

// True when every CR in text is followed by LF and every LF follows a CR.
inline bool OnlyCrLfLineEnds(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    }
    return true;
}

}  // namespace zankit::mail::testing
