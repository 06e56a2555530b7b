#include "frame/escaped_text.h"

namespace zankit {
namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

std::wstring UnescapeUnicode(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 5 < text.size() && text[i + 1] == L'u') {
            int value = 0;
            bool valid = true;
            for (size_t k = 2; k < 6; ++k) {
                int digit = HexValue(text[i + k]);
                if (digit < 0) {
                    valid = false;
                    break;
                }
                value = value * 16 + digit;
            }
            if (valid) {
                result.push_back(static_cast<wchar_t>(value));
                i += 5;
                continue;
            }
        }
        result.push_back(text[i]);
    }
    return result;
}

}  // namespace zankit
