// Helpers shared by the mail core's native tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mail/mail_core.h"

namespace zankit::mail::testing {

// Records every event the core raises.
class RecordingEvents : public MailEvents {
public:
    void SendSuccesful() override { ++successes; }
    void SendFailed(std::string& explanation) override { failures.push_back(explanation); }
    void Status(std::string& status) override { statuses.push_back(status); }
    void Progress(long& percent) override { progress.push_back(percent); }

    int successes = 0;
    std::vector<std::string> failures;
    std::vector<std::string> statuses;
    std::vector<long> progress;
};

// A settings store in memory that counts writes.
class MemoryStore : public SettingsStore {
public:
    std::optional<std::string> Read(const std::string& key) override {
        const auto found = values.find(key);
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    bool Write(const std::string& key, const std::string& value) override {
        values[key] = value;
        ++writes;
        return true;
    }
    std::map<std::string, std::string> values;
    int writes = 0;
};

// Forwards to a store owned elsewhere, so a test can hand the same store to several objects.
class SharedStore : public SettingsStore {
public:
    explicit SharedStore(SettingsStore& target) : target_(target) {}
    std::optional<std::string> Read(const std::string& key) override { return target_.Read(key); }
    bool Write(const std::string& key, const std::string& value) override { return target_.Write(key, value); }

private:
    SettingsStore& target_;
};

// The real platform, with the clock, sleep, pump and host questions under the test's control.
class ScriptedSystem : public MailSystem {
public:
    ScriptedSystem() : real_(MakePlatformMailSystem()) {}

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
    bool StartSockets() override {
        ++socketStarts;
        return socketsStart;
    }
    void StopSockets() override { ++socketStops; }
    std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) override {
        const auto found = names.find(hostName);
        if (found == names.end()) return std::nullopt;
        return found->second;
    }
    std::string LocalHostName() override { return localName; }
    EchoResult Echo(const IPv4Bytes& address, const std::string& payload, unsigned) override {
        echoed.push_back(address);
        lastPayload = payload;
        return echoAnswer ? echoAnswer(address, payload) : EchoResult{};
    }
    LocalDateTime LocalNow() override { return real_->LocalNow(); }
    long TimeZoneBiasMinutes() override { return -60; }
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
    int pumps = 0;
    int sleeps = 0;
    std::function<void()> onPump;
    bool socketsStart = true;
    int socketStarts = 0;
    int socketStops = 0;
    std::map<std::string, IPv4Bytes> names;
    std::string localName = "testhost";
    std::vector<IPv4Bytes> echoed;
    std::string lastPayload;
    std::function<EchoResult(const IPv4Bytes&, const std::string&)> echoAnswer;  // none: no reply

private:
    std::unique_ptr<MailSystem> real_;
};

// A fresh directory removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zankit-mail-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// An echo answer from `from` (the address asked when left empty) carrying `data` (the data
// sent when left empty), 3 ms after the request.
inline auto EchoReply(IPv4Bytes from = {}, std::string data = {}) {
    return [from, data](const IPv4Bytes& to, const std::string& payload) {
        EchoResult reply;
        reply.status = 0;
        reply.roundTripMs = 3;
        reply.replyAddress = from == IPv4Bytes{} ? to : from;
        reply.data = data.empty() ? payload : data;
        return reply;
    };
}

// Writes a file with the given content.
inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Sets an environment variable for the life of the object and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace zankit::mail::testing
