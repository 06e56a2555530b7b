// The text rules of the shell members: mail links, internet shortcut names and schemes, and
// ShellEx's show commands and error table.
#include <gtest/gtest.h>

#include "fileops/internet_shortcut_text.h"
#include "fileops/mail_link.h"
#include "fileops/shell_execute_rules.h"

using namespace zankit::fileops;

TEST(MailLink, BuildsTheLinkAndEncodesWhatWouldCutIt) {
    struct Case {
        const wchar_t* address;
        const wchar_t* subject;
        const wchar_t* body;
        const wchar_t* link;
    } cases[] = {
        {L"a@b.org", L"", L"  x y  ", L"mailto:a@b.org?Subject=&Body=x%20y"},
        // "&", "#", "?", "=" and line breaks would end or split a header value.
        {L"a@b.org", L"Q&A #1?", L"one\r\ntwo & three=4",
         L"mailto:a@b.org?Subject=Q%26A%20%231%3F&Body=one%0D%0Atwo%20%26%20three%3D4"},
        // Text that is already encoded keeps its meaning.
        {L"a@b.org", L"50%", L"line%0D%0Aline", L"mailto:a@b.org?Subject=50%&Body=line%0D%0Aline"},
        // Outside ASCII: the UTF-8 bytes; a surrogate pair is one character, a lone one U+FFFD.
        {L"a@b.org", L"Gr\u00FC\u00DFe \u20AC", L"\U0001F600",
         L"mailto:a@b.org?Subject=Gr%C3%BC%C3%9Fe%20%E2%82%AC&Body=%F0%9F%98%80"},
        {L"a@b.org", L"", L"a\xD800", L"mailto:a@b.org?Subject=&Body=a%EF%BF%BD"},
        // The address stands as written: lists, and header fields the caller put in it.
        {L"a@b.org,c@d.org; e@f.org", L"s", L"", L"mailto:a@b.org,c@d.org; e@f.org?Subject=s"},
        {L"a@b.org?cc=x@y.org", L"", L"", L"mailto:a@b.org?cc=x@y.org?Subject="},
    };
    for (const Case& c : cases) EXPECT_EQ(MailLink(c.address, c.subject, c.body), c.link) << c.link;
}

TEST(InternetShortcutText, UrlEndingAndMailtoScheme) {
    const wchar_t* names[][2] = {
        {L"Homepage", L"Homepage.url"}, {L"Homepage.URL", L"Homepage.URL"},
        {L"x.Url  ", L"x.Url  "},       {L"  Home ", L"  Home .url"},
        {L"url", L"url.url"},           {L"a.urls", L"a.urls.url"},
    };
    for (const auto& c : names) EXPECT_EQ(NameWithUrlEnding(c[0]), c[1]) << c[0];
    const wchar_t* hyperlinks[][2] = {
        {L"mailto:info@example.org", L"mailto:info@example.org"},
        {L"MAILTO:info@example.org", L"mailto:MAILTO:info@example.org"},
        {L"http://example.org/", L"http://example.org/"},
        {L"http://user@example.org/", L"mailto:http://user@example.org/"},
    };
    for (const auto& c : hyperlinks) EXPECT_EQ(WithMailtoScheme(c[0]), c[1]) << c[0];
}

TEST(ShellExecuteRules, VerbsShowCommandsAndErrors) {
    // 0 to 2 name a verb; 3 and values outside the enumeration leave the shell its default.
    const std::pair<long, const wchar_t*> verbs[] = {{-1, nullptr}, {0, L"open"}, {2, L"explore"}, {3, nullptr}};
    for (const auto& [operation, verb] : verbs) EXPECT_STREQ(VerbFor(operation), verb) << operation;
    struct Case {
        const wchar_t* file;
        const wchar_t* parameters;
        const wchar_t* directory;
        int showCmd, result;
    } cases[] = {
        {L"C:\\Tools\\Setup.exe", L"/q", L"", 3, 0},
        {L"C:\\Tools\\Setup.exe", L"", L"", 3, 1},
        {L"C:\\my.ExE.files\\a.txt", L"", L"C:\\", 7, 0},
        {L"C:\\a.txt", L"", L"C:\\", 7, 7},
        {L"C:\\a.ex", L"x", L"", 2, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShowCommandFor(c.file, c.parameters, c.directory, c.showCmd), c.result) << c.file;
    // The shell's answers up to 32 are refusals; the host tests raise 2, 11 and 31, which Wine
    // produces on demand. The others, and codes without a text of their own:
    const std::wstring general = L"An error occurred occurred whilst trying to open or print the selected file.";
    struct Error {
        long code;
        std::uint32_t number;
        std::wstring description;
    } errors[] = {
        {0, 0x800A0007, L"Out of memory"},  {1, 0x80040419, general},
        {3, 0x800A004C, L"Path not found"}, {5, 0x800A004B, L"Path/file access error"},
        {12, 0x80040424, general},          {32, 0x800A0030, L"The specified dynamic-link library was not found."},
    };
    for (long success : {-1L, 33L}) EXPECT_TRUE(IsShellSuccess(success)) << success;
    for (const Error& e : errors) {
        EXPECT_FALSE(IsShellSuccess(e.code)) << e.code;
        const ShellError error = ErrorForShellCode(e.code);
        EXPECT_EQ(error.number, e.number) << e.code;
        EXPECT_EQ(error.description, e.description) << e.code;
    }
}
