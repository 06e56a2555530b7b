#include "frame/text_conversion.h"

#include <windows.h>

#include <climits>

namespace zankit {
namespace {

int CheckedLength(size_t size) {
    if (size > static_cast<size_t>(INT_MAX)) throw TextConversionError("text too long to convert");
    return static_cast<int>(size);
}

std::string Narrow(UINT codePage, DWORD flags, std::wstring_view text) {
    if (text.empty()) return {};
    const int length = CheckedLength(text.size());
    const int needed = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) throw TextConversionError("text cannot be converted to bytes");
    std::string bytes(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), needed, nullptr, nullptr) != needed) {
        throw TextConversionError("text cannot be converted to bytes");
    }
    return bytes;
}

std::wstring Widen(UINT codePage, DWORD flags, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = CheckedLength(bytes.size());
    const int needed = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (needed <= 0) throw TextConversionError("bytes cannot be converted to text");
    std::wstring text(static_cast<size_t>(needed), L'\0');
    if (MultiByteToWideChar(codePage, flags, bytes.data(), length, text.data(), needed) != needed) {
        throw TextConversionError("bytes cannot be converted to text");
    }
    return text;
}

}  // namespace

std::string ToAnsi(std::wstring_view text) { return Narrow(CP_ACP, 0, text); }
std::wstring FromAnsi(std::string_view bytes) { return Widen(CP_ACP, 0, bytes); }
std::string ToUtf8(std::wstring_view text) { return Narrow(CP_UTF8, WC_ERR_INVALID_CHARS, text); }
std::wstring FromUtf8(std::string_view bytes) { return Widen(CP_UTF8, MB_ERR_INVALID_CHARS, bytes); }

}  // namespace zankit
