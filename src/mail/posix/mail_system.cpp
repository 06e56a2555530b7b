// The mail object's platform on POSIX systems (the native build).
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <cstring>

#include "mail/message/content_type_map.h"
#include "mail/mail_seam.h"
#include "mail/posix/fd.h"
#include "mail/posix/resolve_ipv4.h"
#include "mail/posix/icmp_echo.h"
#include "mail/tcp_channel.h"

namespace zankit::mail {
namespace {

std::tm LocalBrokenDown(std::time_t when) {
    ::tzset();
    std::tm local{};
    ::localtime_r(&when, &local);
    return local;
}

const ContentTypeMap& SystemContentTypes() {
    static const ContentTypeMap map = [] {
        ContentTypeMap types;
        std::ifstream mimeTypes("/etc/mime.types");
        if (mimeTypes) types.AddMimeTypes(mimeTypes);
        return types;
    }();
    return map;
}

class PosixFileReader final : public FileReader {
public:
    PosixFileReader(FileDescriptor file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool Read(char* buffer, std::size_t size, std::size_t& count) override {
        count = 0;
        while (true) {
            const ssize_t got = ::read(file_.Get(), buffer, size);
            if (got >= 0) {
                count = static_cast<std::size_t>(got);
                return true;
            }
            if (errno != EINTR) return false;
        }
    }

private:
    FileDescriptor file_;
    std::uint64_t size_;
};

class PosixTraceLog final : public TraceLog {
public:
    explicit PosixTraceLog(FileDescriptor file) : file_(std::move(file)) {}
    void Line(std::string_view text) override {
        std::string line(text);
        line.push_back('\n');
        std::size_t at = 0;
        while (at < line.size()) {
            const ssize_t put = ::write(file_.Get(), line.data() + at, line.size() - at);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return;
            at += static_cast<std::size_t>(put);
        }
    }

private:
    FileDescriptor file_;
};

class PosixMailSystem final : public MailSystem {
public:
    double SecondsSinceMidnight() override {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const std::tm local = LocalBrokenDown(now.tv_sec);
        return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + static_cast<double>(now.tv_nsec) / 1e9;
    }

    // A native process has no window-message queue; socket work pumps its own events.
    void PumpEvents() override {}

    void SleepMilliseconds(unsigned milliseconds) override {
        timespec wanted{static_cast<std::time_t>(milliseconds / 1000),
                        static_cast<long>(milliseconds % 1000) * 1000000L};
        timespec left{};
        while (::nanosleep(&wanted, &left) != 0 && errno == EINTR) wanted = left;
    }

    // POSIX sockets need no library start.
    bool StartSockets() override { return true; }
    void StopSockets() override {}

    std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) override { return ResolveHostIPv4(hostName); }

    std::string LocalHostName() override {
        char buffer[256] = {};
        if (::gethostname(buffer, sizeof buffer - 1) != 0) return {};
        return std::string(buffer);
    }

    EchoResult Echo(const IPv4Bytes& address, const std::string& payload, unsigned timeoutMs) override {
        in_addr target{};
        std::memcpy(&target, address.data(), address.size());
        return PosixIcmpEcho(target, payload, timeoutMs);
    }

    LocalDateTime LocalNow() override {
        const std::tm local = LocalBrokenDown(std::time(nullptr));
        LocalDateTime now;
        now.year = local.tm_year + 1900;
        now.month = local.tm_mon + 1;
        now.day = local.tm_mday;
        now.weekday = local.tm_wday + 1;
        now.hour = local.tm_hour;
        now.minute = local.tm_min;
        now.second = local.tm_sec;
        return now;
    }

    long TimeZoneBiasMinutes() override {
        const std::tm local = LocalBrokenDown(std::time(nullptr));
        return -static_cast<long>(local.tm_gmtoff / 60);
    }

    std::optional<std::uint64_t> RegularFileSize(const std::string& path) override {
        // Non-blocking, so that a FIFO given as a path cannot hang the open.
        const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (!file.Valid()) return std::nullopt;
        struct stat info {};
        if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
        return static_cast<std::uint64_t>(info.st_size);
    }

    std::optional<std::string> ContentTypeForExtension(const std::string& extension) override {
        return SystemContentTypes().Find(extension);
    }

    UtcStamp UtcNow() override {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        std::tm utc{};
        ::gmtime_r(&now.tv_sec, &utc);
        return UtcStamp{utc.tm_year + 1900,
                        utc.tm_mon + 1,
                        utc.tm_mday,
                        utc.tm_hour,
                        utc.tm_min,
                        utc.tm_sec,
                        static_cast<int>(now.tv_nsec / 1000000)};
    }

    std::uint64_t ClockTicks() override {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ULL + static_cast<std::uint64_t>(now.tv_nsec);
    }

    std::unique_ptr<FileReader> OpenForReading(const std::string& path, std::string& error) override {
        FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        struct stat info {};
        if (!file.Valid()) {
            const bool exists = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
            error = exists ? kPermissionDenied : kFileNotFound;
            return nullptr;
        }
        if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            error = kFileNotFound;
            return nullptr;
        }
        return std::make_unique<PosixFileReader>(std::move(file), static_cast<std::uint64_t>(info.st_size));
    }

    std::unique_ptr<TraceLog> OpenTraceLog() override {
        const char* path = std::getenv("ZANKIT_MAIL_TRACE");
        if (path == nullptr || *path == '\0') return nullptr;
        FileDescriptor file(::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
        if (!file.Valid()) return nullptr;
        return std::make_unique<PosixTraceLog>(std::move(file));
    }

    std::unique_ptr<TcpChannel> MakeTcpChannel() override { return MakePlatformTcpChannel(); }
};

}  // namespace

std::unique_ptr<MailSystem> MakePlatformMailSystem() { return std::make_unique<PosixMailSystem>(); }

}  // namespace zankit::mail
