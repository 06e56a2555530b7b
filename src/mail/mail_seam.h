// The operating-system seam of the mail core: everything the portable code needs from the
// platform. One implementation is built on POSIX (native tests), one on Windows (the DLL).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mail/mail_types.h"
#include "mail/oauth/oauth_seam.h"
#include "mail/tcp_channel.h"
#include "mail/tls/tls_engine.h"

namespace zankit::mail {

// Clock, sleep and event pump used by the polling wait. Tests replace them to drive time.
class WaitHooks {
public:
    virtual ~WaitHooks() = default;
    // Local time of day in seconds since midnight, with fractions.
    virtual double SecondsSinceMidnight() = 0;
    // Lets the thread's pending events run once (window messages on Windows).
    virtual void PumpEvents() = 0;
    virtual void SleepMilliseconds(unsigned milliseconds) = 0;
};

// Name resolution and ICMP echo.
class HostNetwork {
public:
    virtual ~HostNetwork() = default;
    // Starts the sockets library; every successful start is matched by one StopSockets.
    virtual bool StartSockets() = 0;
    virtual void StopSockets() = 0;
    // First IPv4 address of a host name; nothing when the name does not resolve.
    virtual std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) = 0;
    // The local host name; empty on failure.
    virtual std::string LocalHostName() = 0;
    // Sends one echo request carrying payload and waits at most timeoutMs for the reply.
    virtual EchoResult Echo(const IPv4Bytes& address, const std::string& payload, unsigned timeoutMs) = 0;
};

// A file opened for reading.
class FileReader {
public:
    virtual ~FileReader() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads up to size bytes; the count read, 0 at the end. False when reading failed.
    virtual bool Read(char* buffer, std::size_t size, std::size_t& count) = 0;
};

// Where the session writes its trace: one call per line, the line end added by the log.
class TraceLog {
public:
    virtual ~TraceLog() = default;
    virtual void Line(std::string_view text) = 0;
};

inline constexpr std::string_view kFileNotFound = "File not found";
inline constexpr std::string_view kPermissionDenied = "Permission denied";

// Everything else the mail object asks the platform.
class MailSystem : public WaitHooks, public HostNetwork {
public:
    virtual LocalDateTime LocalNow() = 0;
    // Minutes to add to local time to get UTC (positive west of Greenwich), daylight saving
    // included when it is in force.
    virtual long TimeZoneBiasMinutes() = 0;
    // Size of a regular file that can be opened for reading; nothing for folders, missing or
    // unreadable files. Hidden and system files count as regular files.
    virtual std::optional<std::uint64_t> RegularFileSize(const std::string& path) = 0;
    // Content type registered for an extension given with its dot (".txt"), compared without
    // regard to case; nothing when none is known.
    virtual std::optional<std::string> ContentTypeForExtension(const std::string& extension) = 0;
    // The current UTC time, and a fast-moving counter for seeding.
    virtual UtcStamp UtcNow() = 0;
    virtual std::uint64_t ClockTicks() = 0;
    // Opens a regular file for reading; without a file, error is kFileNotFound, for one that
    // exists but cannot be opened kPermissionDenied.
    virtual std::unique_ptr<FileReader> OpenForReading(const std::string& path, std::string& error) = 0;
    // The log named by the environment variable ZANKIT_MAIL_TRACE (a file the trace is
    // appended to); nothing when it is not set or the file cannot be opened.
    virtual std::unique_ptr<TraceLog> OpenTraceLog() = 0;
    // A new TCP channel for the mail object's socket.
    virtual std::unique_ptr<TcpChannel> MakeTcpChannel() = 0;
    // A new TLS engine for one connection; nothing where the platform has none.
    virtual std::unique_ptr<TlsEngine> MakeTlsEngine() { return nullptr; }
    // The network of the OAuth sign-in; nothing where the platform has none.
    virtual std::unique_ptr<OAuthNetwork> MakeOAuthNetwork() { return nullptr; }
};

// Per-user store of text values: one section of the library's settings ("Settings" for mail).
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored value of key; nothing when the key is absent or the store cannot be read.
    virtual std::optional<std::string> Read(const std::string& key) = 0;
    // Stores value under key; false when the store cannot be written.
    virtual bool Write(const std::string& key, const std::string& value) = 0;
    // A secret kept encrypted for the current user by the platform's data protection: the
    // store holds only the protected form. Reading gives nothing when the value is absent or
    // cannot be decrypted (another user's, damaged); writing is false where the platform
    // cannot protect it.
    virtual std::optional<std::string> ReadProtected(const std::string& key) {
        static_cast<void>(key);
        return std::nullopt;
    }
    virtual bool WriteProtected(const std::string& key, const std::string& value) {
        static_cast<void>(key);
        static_cast<void>(value);
        return false;
    }
};

// The platform implementations; defined by the POSIX files natively and by the Windows files
// inside the DLL.
std::unique_ptr<MailSystem> MakePlatformMailSystem();
std::unique_ptr<SettingsStore> MakePlatformSettingsStore(const std::string& section);

}  // namespace zankit::mail
