// Plays the user's browser in the sign-in rows, registered as the handler of https and http URLs:
// it fetches the URL it is started with without following a redirect, then the address the
// answer's Location names, as a browser does once the user has agreed. A first answer without a
// Location still reaches the page named by the URL's redirect_uri, with error=browser_failed,
// so that the waiting side hears of it at once. Every step is appended as a line to the file
// ZANKIT_BROWSER_LOG names: "GET <url> -> <status> <location>" (status 0 when no answer came).
#include <windows.h>
#include <shlwapi.h>
#include <winhttp.h>

#include <cstdio>
#include <string>

#include "frame/unique_handle.h"

namespace {

using Internet = zankit::UniqueHandle<HINTERNET, &WinHttpCloseHandle>;

struct Answer {
    DWORD status = 0;
    std::wstring location;
};

using LogFile = zankit::UniqueHandle<FILE*, &fclose>;

// One GET; the body is read and dropped.
Answer Fetch(HINTERNET session, const std::wstring& url) {
    URL_COMPONENTS parts = {sizeof parts};
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return {};
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring path = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                              std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    Internet connection(WinHttpConnect(session, host.c_str(), parts.nPort, 0));
    Internet request(connection ? WinHttpOpenRequest(connection.Get(), L"GET", path.c_str(), nullptr,
                                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure)
                                : nullptr);
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS, status = 0, size = sizeof status;
    if (!request ||
        !WinHttpSetOption(request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects) ||
        !WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.Get(), nullptr) ||
        !WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    wchar_t location[4096] = {};
    size = sizeof location;
    WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location, &size,
                        WINHTTP_NO_HEADER_INDEX);
    char body[4096];
    for (DWORD read = 0; WinHttpReadData(request.Get(), body, sizeof body, &read) && read > 0;) {
    }
    return {status, location};
}

// The page the URL's redirect_uri names, decoded; empty without one.
std::wstring RedirectTarget(const std::wstring& url) {
    const size_t start = url.find(L"redirect_uri=");
    if (start == std::wstring::npos) return L"";
    std::wstring target = url.substr(start + 13, url.find(L'&', start) - start - 13);
    DWORD length = static_cast<DWORD>(target.size()) + 1;
    return SUCCEEDED(UrlUnescapeW(target.data(), nullptr, &length, URL_UNESCAPE_INPLACE)) ? target.c_str() : L"";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t logPath[MAX_PATH] = {};
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring url = arguments && count > 1 ? arguments[1] : L"";
    LocalFree(arguments);
    if (!GetEnvironmentVariableW(L"ZANKIT_BROWSER_LOG", logPath, MAX_PATH) || url.empty()) return 2;
    Internet session(WinHttpOpen(L"ZanKit test browser", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    LogFile log(_wfopen(logPath, L"a"));
    if (!session || !log) return 3;
    Answer first = Fetch(session.Get(), url);
    fwprintf(log.Get(), L"GET %ls -> %lu %ls\n", url.c_str(), first.status, first.location.c_str());
    const std::wstring next = first.location.empty() ? RedirectTarget(url) + L"?error=browser_failed" : first.location;
    const Answer last = Fetch(session.Get(), next);
    fwprintf(log.Get(), L"GET %ls -> %lu %ls\n", next.c_str(), last.status, last.location.c_str());
    return last.status == 200 ? 0 : 1;
}
