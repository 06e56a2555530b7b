// The OAuth sign-in's network on Windows: form posts through WinHTTP (certificates always
// checked, no redirects followed: a token request must not travel on to another address), the
// loopback listener on Winsock, the default browser through the shell, random bytes from CNG.
#include <winsock2.h>
#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>
#include <winhttp.h>

#include <string>

#include "mail/oauth/oauth_seam.h"
#include "mail/win/support.h"

namespace zankit::mail {
namespace {

inline void CloseInternet(HINTERNET handle) { ::WinHttpCloseHandle(handle); }
using InternetHandle = UniqueHandle<HINTERNET, &CloseInternet>;

constexpr int kTimeoutMilliseconds = 30000;
constexpr DWORD kTls13Flag = 0x00002000;  // WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
// A request line and headers longer than this are not a browser's redirect.
constexpr std::size_t kRequestLimit = 16 * 1024;
constexpr unsigned kRequestWaitMilliseconds = 5000;

std::string SystemText(DWORD error) {
    if (error == ERROR_WINHTTP_SECURE_FAILURE || error == ERROR_WINHTTP_SECURE_INVALID_CA ||
        error == ERROR_WINHTTP_SECURE_CERT_CN_INVALID || error == ERROR_WINHTTP_SECURE_CERT_DATE_INVALID ||
        error == ERROR_WINHTTP_SECURE_CERT_REVOKED || error == ERROR_WINHTTP_SECURE_INVALID_CERT) {
        return "the server's certificate was not accepted";
    }
    if (error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR) {
        return "no secure connection (the server's certificate or TLS version was not accepted)";
    }
    if (error == ERROR_WINHTTP_TIMEOUT) return "no answer in time";
    if (error == ERROR_WINHTTP_CANNOT_CONNECT) return "the connection was refused";
    if (error == ERROR_WINHTTP_NAME_NOT_RESOLVED) return "the host name was not found";
    return "error " + std::to_string(error);
}

[[noreturn]] void FailPost(const std::wstring& host, DWORD error) {
    throw OAuthError("The request to " + WideToUtf8(host) + " failed: " + SystemText(error));
}

std::wstring QueryHeader(HINTERNET request, DWORD which) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    if (size == 0) return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    value.resize(size / sizeof(wchar_t));
    return value;
}

// Starts Winsock for the listener's life.
class SocketsStarted {
public:
    SocketsStarted() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~SocketsStarted() {
        if (started_) WSACleanup();
    }
    SocketsStarted(const SocketsStarted&) = delete;
    SocketsStarted& operator=(const SocketsStarted&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

// True when socket becomes readable within milliseconds.
bool Readable(SOCKET socket, unsigned milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{static_cast<long>(milliseconds / 1000), static_cast<long>((milliseconds % 1000) * 1000)};
    return select(0, &set, nullptr, nullptr, &wait) == 1;
}

class WinsockLoopbackListener final : public LoopbackListener {
public:
    WinsockLoopbackListener() {
        if (!sockets_.Started()) throw OAuthError("The sign-in could not start the sockets library");
        listener_.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int length = sizeof(address);
        if (!listener_ || bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(listener_.Get(), 4) != 0 ||
            getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw OAuthError("The sign-in could not listen on 127.0.0.1");
        }
        port_ = ntohs(address.sin_port);
    }

    int Port() const override { return port_; }

    std::optional<std::string> NextRequest(unsigned waitMilliseconds) override {
        client_.Reset();
        if (!Readable(listener_.Get(), waitMilliseconds)) return std::nullopt;
        client_.Reset(accept(listener_.Get(), nullptr, nullptr));
        if (!client_) return std::nullopt;
        std::string request;
        char buffer[2048];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < kRequestLimit) {
            if (!Readable(client_.Get(), kRequestWaitMilliseconds)) break;
            const int count = recv(client_.Get(), buffer, sizeof(buffer), 0);
            if (count <= 0) break;
            request.append(buffer, static_cast<std::size_t>(count));
        }
        // "GET <target> HTTP/1.1"
        const std::size_t lineEnd = request.find("\r\n");
        const std::string line = request.substr(0, lineEnd);
        const std::size_t firstSpace = line.find(' ');
        const std::size_t lastSpace = line.rfind(' ');
        if (lineEnd == std::string::npos || line.compare(0, 4, "GET ") != 0 || lastSpace <= firstSpace) {
            Answer(400, "<!DOCTYPE html><html><body><p>Bad request.</p></body></html>");
            return std::nullopt;
        }
        return line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    }

    void Answer(int status, const std::string& html) override {
        if (!client_) return;
        const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Bad Request";
        const std::string response =
            "HTTP/1.1 " + std::to_string(status) + " " + reason +
            "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + std::to_string(html.size()) +
            "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + html;
        send(client_.Get(), response.data(), static_cast<int>(response.size()), 0);
        shutdown(client_.Get(), SD_SEND);
        client_.Reset();
    }

private:
    SocketsStarted sockets_;
    SocketHandle listener_;
    SocketHandle client_;
    int port_ = 0;
};

class WinOAuthNetwork final : public OAuthNetwork {
public:
    HttpsAnswer PostForm(const std::string& url, const std::string& form, std::size_t maxBodyBytes) override {
        std::wstring wideUrl = Utf8ToWide(url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof(parts);
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTPS) {
            throw OAuthError("OAuth endpoints must use https: " + url);
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (path.empty()) path = L"/";

        const InternetHandle session(WinHttpOpen(L"ZanKit", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                                 WINHTTP_NO_PROXY_BYPASS, 0));
        if (!session) FailPost(host, GetLastError());
        WinHttpSetTimeouts(session.Get(), kTimeoutMilliseconds, kTimeoutMilliseconds, kTimeoutMilliseconds,
                           kTimeoutMilliseconds);
        DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | kTls13Flag;
        if (!WinHttpSetOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
            protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
            WinHttpSetOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
        }
        const InternetHandle connection(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
        if (!connection) FailPost(host, GetLastError());
        const InternetHandle request(WinHttpOpenRequest(connection.Get(), L"POST", path.c_str(), nullptr,
                                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                        WINHTTP_FLAG_SECURE));
        if (!request) FailPost(host, GetLastError());
        DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never));

        const wchar_t* headers = L"Content-Type: application/x-www-form-urlencoded\r\nAccept: application/json\r\n";
        const DWORD length = static_cast<DWORD>(form.size());
        if (!WinHttpSendRequest(request.Get(), headers, static_cast<DWORD>(-1), const_cast<char*>(form.data()), length,
                                length, 0) ||
            !WinHttpReceiveResponse(request.Get(), nullptr)) {
            FailPost(host, GetLastError());
        }
        HttpsAnswer answer;
        DWORD status = 0;
        DWORD size = sizeof(status);
        WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        answer.status = static_cast<long>(status);
        answer.contentType = WideToUtf8(QueryHeader(request.Get(), WINHTTP_QUERY_CONTENT_TYPE));
        char buffer[8192];
        while (answer.body.size() <= maxBodyBytes) {
            DWORD read = 0;
            if (!WinHttpReadData(request.Get(), buffer, sizeof(buffer), &read)) FailPost(host, GetLastError());
            if (read == 0) break;
            answer.body.append(buffer, read);
        }
        if (answer.body.size() > maxBodyBytes + 1) answer.body.resize(maxBodyBytes + 1);
        return answer;
    }

    std::unique_ptr<LoopbackListener> ListenOnLoopback() override {
        return std::make_unique<WinsockLoopbackListener>();
    }

    bool OpenInBrowser(const std::string& url) override {
        const std::wstring wide = Utf8ToWide(url);
        const auto result =
            reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    }

    std::string RandomBytes(std::size_t count) override {
        std::string bytes(count, '\0');
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data()),
                                            static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            throw OAuthError("The system gave no random bytes for the sign-in");
        }
        return bytes;
    }
};

}  // namespace

std::unique_ptr<OAuthNetwork> MakePlatformOAuthNetwork() { return std::make_unique<WinOAuthNetwork>(); }

}  // namespace zankit::mail
