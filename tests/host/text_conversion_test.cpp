// The frame's text conversions: what converts comes back unchanged, what cannot is an error,
// never a shortened text.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "frame/text_conversion.h"

using namespace zankit;

TEST(TextConversion, RoundTripsAndRefusals) {
    const std::wstring text = L"Gr\u00FC\u00DFe \u20AC \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(L"\u00FC"), "\xC3\xBC");
    EXPECT_EQ(FromAnsi(ToAnsi(L"plain ASCII")), L"plain ASCII");
    EXPECT_EQ(ToAnsi(L""), "");
    EXPECT_EQ(FromUtf8(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));  // NULs are text like any other
    EXPECT_THROW(ToUtf8(std::wstring{L'a', wchar_t(0xD800), L'b'}), TextConversionError);  // a lone surrogate
    EXPECT_THROW(FromUtf8("a\xC3"), TextConversionError);                                  // cut short
    EXPECT_THROW(FromUtf8("\xFF\xFE"), TextConversionError);                               // no UTF-8 at all
}
