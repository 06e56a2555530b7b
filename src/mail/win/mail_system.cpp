// The mail object's platform on Windows (inside the DLL).
#define _WINSOCK_DEPRECATED_NO_WARNINGS
#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <memory>

#include "mail/address_validation.h"
#include "mail/mail_seam.h"
#include "mail/win/icmp_echo.h"
#include "mail/win/schannel_engine.h"
#include "mail/tcp_channel.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

class WindowsFileReader final : public FileReader {
public:
    WindowsFileReader(KernelHandle file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool Read(char* buffer, std::size_t size, std::size_t& count) override {
        DWORD got = 0;
        const DWORD wanted = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        const bool read = ::ReadFile(file_.Get(), buffer, wanted, &got, nullptr) != FALSE;
        count = read ? got : 0;
        return read;
    }

private:
    KernelHandle file_;
    std::uint64_t size_;
};

class WindowsTraceLog final : public TraceLog {
public:
    explicit WindowsTraceLog(KernelHandle file) : file_(std::move(file)) {}
    void Line(std::string_view text) override {
        std::string line(text);
        line.append("\r\n");
        DWORD written = 0;
        ::WriteFile(file_.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

private:
    KernelHandle file_;
};

class WindowsMailSystem final : public MailSystem {
public:
    double SecondsSinceMidnight() override {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
    }

    // Runs the thread's pending window messages once, so the socket's and the host's events
    // arrive while a wait polls. A quit request is put back for the host's own loop.
    void PumpEvents() override {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }

    void SleepMilliseconds(unsigned milliseconds) override { ::Sleep(milliseconds); }

    // Windows Sockets 1.1, with at least one socket available.
    bool StartSockets() override {
        WSADATA data{};
        if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
        if (data.iMaxSockets < 1) {
            ::WSACleanup();
            return false;
        }
        return true;
    }

    void StopSockets() override { ::WSACleanup(); }

    std::optional<IPv4Bytes> ResolveIPv4(const std::string& hostName) override {
        // A name with non-ASCII letters is asked for in its A-labels.
        const hostent* host = ::gethostbyname(ToAsciiDomain(hostName).c_str());
        if (host == nullptr) {
            ::WSAGetLastError();
            return std::nullopt;
        }
        if (host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list == nullptr ||
            host->h_addr_list[0] == nullptr) {
            return std::nullopt;
        }
        IPv4Bytes bytes{};
        std::memcpy(bytes.data(), host->h_addr_list[0], bytes.size());
        return bytes;
    }

    std::string LocalHostName() override {
        char buffer[256] = {};
        if (::gethostname(buffer, static_cast<int>(sizeof buffer) - 1) != 0) return {};
        return WideToUtf8(AnsiToWide(buffer));
    }

    EchoResult Echo(const IPv4Bytes& address, const std::string& payload, unsigned timeoutMs) override {
        return WindowsIcmpEcho(address, payload, timeoutMs);
    }

    LocalDateTime LocalNow() override {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        LocalDateTime result;
        result.year = now.wYear;
        result.month = now.wMonth;
        result.day = now.wDay;
        result.weekday = now.wDayOfWeek + 1;
        result.hour = now.wHour;
        result.minute = now.wMinute;
        result.second = now.wSecond;
        return result;
    }

    long TimeZoneBiasMinutes() override {
        TIME_ZONE_INFORMATION zone{};
        const DWORD state = ::GetTimeZoneInformation(&zone);
        if (state == TIME_ZONE_ID_INVALID) return 0;
        if (state == TIME_ZONE_ID_DAYLIGHT) return zone.Bias + zone.DaylightBias;
        return zone.Bias + zone.StandardBias;
    }

    std::optional<std::uint64_t> RegularFileSize(const std::string& path) override {
        const std::wstring widePath = Utf8ToWide(path);
        if (widePath.empty()) return std::nullopt;
        // Hidden and system files open like any other; folders do not open without backup
        // semantics, and the type check keeps devices and pipes out.
        const KernelHandle file(::CreateFileW(widePath.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return std::nullopt;
        LARGE_INTEGER bytes{};
        if (::GetFileType(file.Get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.Get(), &bytes)) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(bytes.QuadPart);
    }

    std::optional<std::string> ContentTypeForExtension(const std::string& extension) override {
        RegistryKey key;
        if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, Utf8ToWide(extension).c_str(), 0, KEY_QUERY_VALUE, key.Put()) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        const std::optional<std::wstring> type = ReadRegistryText(key.Get(), L"Content Type");
        if (!type) return std::nullopt;
        return WideToUtf8(*type);
    }

    UtcStamp UtcNow() override {
        SYSTEMTIME now{};
        ::GetSystemTime(&now);
        return UtcStamp{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    }

    std::uint64_t ClockTicks() override {
        LARGE_INTEGER ticks{};
        ::QueryPerformanceCounter(&ticks);
        return static_cast<std::uint64_t>(ticks.QuadPart);
    }

    std::unique_ptr<FileReader> OpenForReading(const std::string& path, std::string& error) override {
        const std::wstring widePath = Utf8ToWide(path);
        KernelHandle file(::CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file.Valid()) {
            const DWORD attributes =
                widePath.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(widePath.c_str());
            const bool exists = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
            error = exists ? kPermissionDenied : kFileNotFound;
            return nullptr;
        }
        LARGE_INTEGER bytes{};
        if (::GetFileType(file.Get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.Get(), &bytes)) {
            error = kFileNotFound;
            return nullptr;
        }
        return std::make_unique<WindowsFileReader>(std::move(file), static_cast<std::uint64_t>(bytes.QuadPart));
    }

    std::unique_ptr<TraceLog> OpenTraceLog() override {
        wchar_t path[MAX_PATH + 1] = {};
        const DWORD length = ::GetEnvironmentVariableW(L"ZANKIT_MAIL_TRACE", path, MAX_PATH + 1);
        if (length == 0 || length > MAX_PATH) return nullptr;
        KernelHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return nullptr;
        return std::make_unique<WindowsTraceLog>(std::move(file));
    }

    std::unique_ptr<TcpChannel> MakeTcpChannel() override { return MakePlatformTcpChannel(); }
    std::unique_ptr<TlsEngine> MakeTlsEngine() override { return MakeSchannelEngine(); }
    std::unique_ptr<OAuthNetwork> MakeOAuthNetwork() override { return MakePlatformOAuthNetwork(); }
};

}  // namespace

std::unique_ptr<MailSystem> MakePlatformMailSystem() { return std::make_unique<WindowsMailSystem>(); }

}  // namespace zankit::mail
