#include "fileops/mail_link.h"

#include "fileops/percent_encoding.h"

namespace zankit::fileops {
namespace {

bool IsAsciiLetterOrDigit(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

// What a header value of a mail link may hold as it is: the unreserved characters, a few
// delimiters, and "%" so that already encoded text passes through.
bool KeptInHeaderValue(wchar_t c) {
    if (IsAsciiLetterOrDigit(c)) return true;
    return std::wstring_view(L"-._~!$'()*+,;:@%").find(c) != std::wstring_view::npos;
}

}  // namespace

std::wstring MailLink(std::wstring_view address, std::wstring_view subject, std::wstring_view body) {
    std::wstring link =
        L"mailto:" + std::wstring(address) + L"?Subject=" + PercentEncode(subject, KeptInHeaderValue);
    const std::wstring trimmedBody = TrimSpaces(body);
    if (!trimmedBody.empty()) link += L"&Body=" + PercentEncode(trimmedBody, KeptInHeaderValue);
    return link;
}

}  // namespace zankit::fileops
