#include "mail/win/support.h"

namespace zankit::mail {

std::wstring AnsiToWide(std::string_view text) { return zankit::FromAnsi(text); }

std::string WideToAnsi(std::wstring_view text) { return zankit::ToAnsi(text); }

std::wstring Utf8ToWide(std::string_view text) { return zankit::FromUtf8(text); }

std::string WideToUtf8(std::wstring_view text) { return zankit::ToUtf8(text); }

std::wstring CoreTextToWide(std::string_view text) {
    try {
        return zankit::FromUtf8(text);
    } catch (const zankit::TextConversionError&) {
        return zankit::FromAnsi(text);
    }
}

}  // namespace zankit::mail
