// The text rules of the shell members: mail links, internet shortcut files and ShellEx's
// verbs, show commands and error table.
#include <gtest/gtest.h>

#include "fileops/internet_shortcut_text.h"
#include "fileops/mail_link.h"
#include "fileops/shell_execute_rules.h"

using namespace zankit;

TEST(MailLink, BuildsTheLinkAndEncodesWhatWouldCutIt) {
    struct Case {
        const wchar_t* address;
        const wchar_t* subject;
        const wchar_t* body;
        const wchar_t* link;
    } cases[] = {
        {L"a@b.org", L"Hi there", L"  ", L"mailto:a@b.org?Subject=Hi%20there"},
        {L"a@b.org", L"", L"x", L"mailto:a@b.org?Subject=&Body=x"},
        {L"a@b.org", L"", L"  x y  ", L"mailto:a@b.org?Subject=&Body=x%20y"},
        // "&", "#", "?", "=" and line breaks would end or split a header value.
        {L"a@b.org", L"Q&A #1?", L"one\r\ntwo & three=4",
         L"mailto:a@b.org?Subject=Q%26A%20%231%3F"
         L"&Body=one%0D%0Atwo%20%26%20three%3D4"},
        // Text that is already encoded keeps its meaning.
        {L"a@b.org", L"50%", L"line%0D%0Aline", L"mailto:a@b.org?Subject=50%&Body=line%0D%0Aline"},
        // Outside ASCII: the UTF-8 bytes, a surrogate pair as one character.
        {L"a@b.org", L"Gr\u00FC\u00DFe \u20AC", L"\U0001F600",
         L"mailto:a@b.org?Subject=Gr%C3%BC%C3%9Fe%20%E2%82%AC"
         L"&Body=%F0%9F%98%80"},
        // The address keeps list separators but not what would end it.
        {L"a@b.org,c@d.org; e@f.org", L"s", L"", L"mailto:a@b.org,c@d.org;%20e@f.org?Subject=s"},
        {L"a@b.org?cc=x@y.org", L"", L"", L"mailto:a@b.org%3Fcc=x@y.org?Subject="},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(links::MailLink(c.address, c.subject, c.body), c.link) << c.body;
    }
}

TEST(MailLink, LoneSurrogateBecomesTheReplacementCharacter) {
    std::wstring body = L"a";
    body.push_back(static_cast<wchar_t>(0xD800));
    EXPECT_EQ(links::MailLink(L"a@b.org", L"", body), L"mailto:a@b.org?Subject=&Body=a%EF%BF%BD");
}

TEST(InternetShortcutText, UrlEndingAndMailtoScheme) {
    struct NameCase {
        const wchar_t* name;
        const wchar_t* result;
    } names[] = {
        {L"Homepage", L"Homepage.url"}, {L"Homepage.URL", L"Homepage.URL"},
        {L"x.Url  ", L"x.Url  "},       {L"  Home ", L"  Home .url"},
        {L"url", L"url.url"},           {L"a.urls", L"a.urls.url"},
    };
    for (const NameCase& c : names) EXPECT_EQ(links::NameWithUrlEnding(c.name), c.result) << c.name;

    struct LinkCase {
        const wchar_t* link;
        const wchar_t* result;
    } linkCases[] = {
        {L"info@example.org", L"mailto:info@example.org"},
        {L"mailto:info@example.org", L"mailto:info@example.org"},
        {L"MAILTO:info@example.org", L"mailto:MAILTO:info@example.org"},
        {L"http://example.org/", L"http://example.org/"},
        {L"http://user@example.org/", L"mailto:http://user@example.org/"},
    };
    for (const LinkCase& c : linkCases) EXPECT_EQ(links::WithMailtoScheme(c.link), c.result) << c.link;
}

TEST(InternetShortcutText, FileContent) {
    EXPECT_EQ(links::InternetShortcutFile("http://example.org/"), "[InternetShortcut]\r\nURL=http://example.org/\r\n");
    EXPECT_EQ(links::InternetShortcutFileWide(L"http://example.org/\u65E5 x", "http://example.org/+ZeU- x"),
              "[InternetShortcut]\r\nURL=http://example.org/%E6%97%A5 x\r\n"
              "[InternetShortcut.W]\r\nURL=http://example.org/+ZeU- x\r\n");
}

TEST(ShellExecuteRules, VerbsAndShowCommands) {
    EXPECT_STREQ(shellexec::VerbFor(0), L"open");
    EXPECT_STREQ(shellexec::VerbFor(1), L"print");
    EXPECT_STREQ(shellexec::VerbFor(2), L"explore");
    for (long none : {3L, 6L, -1L, 1000L}) EXPECT_EQ(shellexec::VerbFor(none), nullptr) << none;

    struct Case {
        const wchar_t* file;
        const wchar_t* parameters;
        const wchar_t* directory;
        int showCmd;
        int result;
    } cases[] = {
        {L"C:\\Tools\\Setup.exe", L"/q", L"", 3, 0},
        {L"C:\\Tools\\Setup.exe", L"", L"", 3, 1},
        {L"C:\\my.ExE.files\\a.txt", L"", L"C:\\", 7, 0},
        {L"C:\\a.txt", L"", L"C:\\", 7, 7},
        {L"C:\\a.txt", L"", L"", 3, 1},
        {L"C:\\a.ex", L"x", L"", 2, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shellexec::ShowCommandFor(c.file, c.parameters, c.directory, c.showCmd), c.result) << c.file;
    }
}

TEST(ShellExecuteRules, ErrorTable) {
    struct Case {
        long code;
        std::uint32_t number;
        const wchar_t* description;
    } cases[] = {
        {0, 0x800A0007, L"Out of memory"},
        {2, 0x800A0035, L"File not found"},
        {3, 0x800A004C, L"Path not found"},
        {5, 0x800A004B, L"Path/file access error"},
        {11, 0x80040423, L"The executable file is invalid or corrupt"},
        {27, 0x80040433, L"This file type does not have a valid file association."},
        {28, 0x800A011E, L"The file could not be opened due to time out.  Please try again in a moment."},
        {30, 0x800A011D,
         L"The file could not be opened because the target application is busy.  Please try again in a moment."},
        {31, 0x800A001F, L"No application is associated with this file type."},
        {32, 0x800A0030, L"The specified dynamic-link library was not found."},
        {1, 0x80040419, L"An error occurred occurred whilst trying to open or print the selected file."},
        {12, 0x80040424, L"An error occurred occurred whilst trying to open or print the selected file."},
    };
    for (const Case& c : cases) {
        const shellexec::ShellError error = shellexec::ErrorForShellCode(c.code);
        EXPECT_EQ(error.number, c.number) << c.code;
        EXPECT_EQ(error.description, c.description) << c.code;
    }
    EXPECT_TRUE(shellexec::IsShellSuccess(33));
    EXPECT_TRUE(shellexec::IsShellSuccess(-5));
    EXPECT_FALSE(shellexec::IsShellSuccess(32));
    EXPECT_FALSE(shellexec::IsShellSuccess(0));
}
