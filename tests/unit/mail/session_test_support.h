// Helpers of the mail tests: an ordered record of the events, a settings store in memory, the
// platform with its clock and host questions scripted, and the loopback peers started by
// tests/peers/run_session_tests.sh.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "mail/mail_core.h"

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

// A settings store in memory; Shared() hands the same values to another object.
class MemoryStore : public SettingsStore {
public:
    std::optional<std::string> Read(const std::string& key) override {
        const auto found = target_->values.find(key);
        return found == target_->values.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    bool Write(const std::string& key, const std::string& value) override {
        target_->values[key] = value;
        return true;
    }
    // Stands in for the platform's data protection: a protected value is marked and reversed.
    std::optional<std::string> ReadProtected(const std::string& key) override {
        const std::optional<std::string> stored = Read(key);
        if (!stored || stored->rfind(kProtectedMark, 0) != 0) return std::nullopt;
        return std::string(stored->rbegin(), stored->rend() - kProtectedMark.size());
    }
    bool WriteProtected(const std::string& key, const std::string& value) override {
        return Write(key, std::string(kProtectedMark) + std::string(value.rbegin(), value.rend()));
    }
    static constexpr std::string_view kProtectedMark = "protected:";
    std::unique_ptr<SettingsStore> Shared() {
        auto shared = std::make_unique<MemoryStore>();
        shared->target_ = this;
        return shared;
    }
    std::map<std::string, std::string> values;

private:
    MemoryStore* target_ = this;
};

// The real platform, with the clock, sleep, pump and name questions under the test's control.
class ScriptedSystem : public MailSystem {
public:
    double SecondsSinceMidnight() override { return clock; }
    void PumpEvents() override {
        ++pumps;
        if (onPump) onPump();
    }
    void SleepMilliseconds(unsigned milliseconds) override {
        ++sleeps;
        clock += milliseconds / 1000.0;
        if (clock >= 86400.0) clock -= 86400.0;
    }
    bool StartSockets() override { return true; }
    void StopSockets() override {}
    std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) override {
        const auto found = names.find(hostName);
        return found == names.end() ? std::nullopt : std::optional<IPv4Bytes>(found->second);
    }
    std::string LocalHostName() override { return "testhost"; }
    EchoResult Echo(const IPv4Bytes& address, const std::string& payload, unsigned) override {
        return echoAnswer ? echoAnswer(address, payload) : EchoResult{};
    }
    long TimeZoneBiasMinutes() override { return -60; }
    LocalDateTime LocalNow() override { return real_->LocalNow(); }
    std::optional<std::uint64_t> RegularFileSize(const std::string& path) override {
        return real_->RegularFileSize(path);
    }
    std::optional<std::string> ContentTypeForExtension(const std::string& extension) override {
        return real_->ContentTypeForExtension(extension);
    }
    std::unique_ptr<TcpChannel> MakeTcpChannel() override { return real_->MakeTcpChannel(); }
    UtcStamp UtcNow() override { return real_->UtcNow(); }
    std::uint64_t ClockTicks() override { return real_->ClockTicks(); }
    std::unique_ptr<FileReader> OpenForReading(const std::string& path, std::string& error) override {
        return real_->OpenForReading(path, error);
    }
    std::unique_ptr<TraceLog> OpenTraceLog() override { return real_->OpenTraceLog(); }

    double clock = 12 * 3600.0;
    int pumps = 0, sleeps = 0;
    std::function<void()> onPump;
    std::map<std::string, IPv4Bytes> names;
    std::function<EchoResult(const IPv4Bytes&, const std::string&)> echoAnswer;  // none: no reply

private:
    std::unique_ptr<MailSystem> real_ = MakePlatformMailSystem();
};

// A mail object on the scripted platform with its settings in memory.
struct ScriptedMail {
    OrderedEvents events;
    SendMailCore core{std::make_unique<ScriptedSystem>(), std::make_unique<MemoryStore>(), events};
    MailSettings& s = core.Settings();
};

// A fresh directory removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zankit-mail-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// size bytes of every value 0..255 in a scrambled order, written to dir/name; the full path.
inline std::string BinaryFile(const std::filesystem::path& dir, const std::string& name, std::size_t size) {
    std::mt19937 random(1 + static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(random() & 0xFF);
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
}

// The value of an environment variable, or nothing when unset or empty.
inline std::optional<std::string> FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
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

// One aiosmtpd sink: its port and its spool (received.log and message-N.eml), from the
// environment the runner sets. Since(mark) is what it received after Received() had mark bytes.
struct SinkPeer {
    int port = 0;
    std::string spool;

    std::string Received() const { return ReadWholeFile(spool + "/received.log"); }
    std::string Since(std::size_t mark) const { return Received().substr(mark); }
};

inline std::optional<SinkPeer> SinkPeerFromEnvironment(const char* portName, const char* spoolName) {
    const auto port = FromEnvironment(portName);
    const auto spool = FromEnvironment(spoolName);
    if (!port || !spool) return std::nullopt;
    return SinkPeer{std::stoi(*port), *spool};
}

}  // namespace zankit::mail::testing
