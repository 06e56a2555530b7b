// The path helpers that work on text alone: path text, path parts and the long form.
#include <gtest/gtest.h>

#include "paths/long_path.h"
#include "paths/path_parts.h"
#include "paths/path_text.h"
#include "frame/escaped_text.h"

using namespace zankit;

TEST(PathText, TextPartsLongFormsAttributeLettersSizesAndDrives) {
    using Helper = std::wstring (*)(std::wstring_view);
    const Helper fixPath = paths::FixPath, fileName = paths::FileNameFromPath, strip = paths::StripTrailingSeparator,
                 extension = paths::ExtensionOf, unescape = UnescapeUnicode;
    const Helper trim = [](std::wstring_view text) {
        std::wstring copy(text);
        paths::TrimAtNull(copy);
        return copy;
    };
    const Helper longForm = [](std::wstring_view text) { return paths::LongPathForm(std::wstring(text)); };
    // From 248 characters on (260 less room for an 8.3 name) an absolute path is prefixed.
    const std::wstring limit = L"C:\\" + std::wstring(244, L'd'), share = L"\\\\server\\s\\" + std::wstring(300, L's');
    const struct {
        const char* what;
        Helper helper;
        std::wstring in, out;
    } rows[] = {
        {"FixPath adds one separator", fixPath, L"C:\\Temp", L"C:\\Temp\\"},
        {"FixPath keeps two", fixPath, L"C:\\Temp\\\\", L"C:\\Temp\\\\"},
        {"FixPath of nothing", fixPath, L"", L"\\"},
        {"name after the last separator", fileName, L"C:\\a\\b.txt", L"b.txt"},
        {"no name after a separator", fileName, L"C:\\a\\", L""},
        {"a drive-relative name is kept whole", fileName, L"C:file.txt", L"C:file.txt"},
        {"one separator stripped", strip, L"C:\\\\", L"C:\\"},
        {"a dot in a folder is no extension", extension, L"C:\\a.b\\c", L""},
        {"the last extension", extension, L"archive.tar.gz", L"gz"},
        {"a trailing dot", extension, L"name.", L""},
        {"cut at the first NUL", trim, std::wstring(L"abc\0def\0", 8), L"abc"},
        {"two escapes in either case", unescape, L"\\u00e4\\u00F6", L"\u00e4\u00f6"},
        {"\\u without four hex digits", unescape, L"C:\\users", L"C:\\users"},
        {"an escape cut short", unescape, L"end\\u00", L"end\\u00"},
        {"the last extension goes", paths::NameWithoutExtension, L"Report.final.docx", L"Report.final"},
        {"a dot file is all extension", paths::NameWithoutExtension, L".profile", L""},
        {"no separator: all of it", paths::TextBeforeLastSeparator, L"bare.txt", L"bare.txt"},
        {"folder name", paths::FolderName, L"C:\\Windows\\", L"Windows"},
        {"a root's folder name", paths::FolderName, L"C:\\", L"C:"},
        {"parent folder", paths::ParentFolderPath, L"C:\\a\\b\\", L"C:\\a\\"},
        {"a drive's parent", paths::ParentFolderPath, L"C:", L"C:\\"},
        {"a drive's root", paths::FolderRoot, L"C:\\a\\b", L"C:\\"},
        {"a share's root", paths::FolderRoot, L"\\\\server\\share\\new", L"\\\\server\\share\\"},
        {"a bare share gets its separator", paths::FolderRoot, L"\\\\server\\share", L"\\\\server\\share\\"},
        {"a server alone has no root", paths::FolderRoot, L"\\\\server\\", L""},
        {"nor has an empty server name", paths::FolderRoot, L"\\\\\\share\\x", L""},
        {"nor a drive without separator", paths::FolderRoot, L"C:", L""},
        {"a short path stays", longForm, L"C:\\short\\a.txt", L"C:\\short\\a.txt"},
        {"247 characters stay", longForm, limit, limit},
        {"248 characters get the prefix", longForm, limit + L"d", L"\\\\?\\" + limit + L"d"},
        {"a share gets the UNC prefix", longForm, share, L"\\\\?\\UNC\\server\\s\\" + std::wstring(300, L's')},
        {"already prefixed", longForm, L"\\\\?\\" + limit + L"d", L"\\\\?\\" + limit + L"d"},
        {"a relative path stays", longForm, std::wstring(300, L'r'), std::wstring(300, L'r')},
    };
    for (const auto& row : rows) EXPECT_EQ(row.helper(row.in), row.out) << row.what;

    EXPECT_EQ(paths::AttributeLetters(255), L"RHASLC");  // in their fixed order
    EXPECT_EQ(paths::AttributeLetters(16), L"");
    // Two places, rounded, with the given separator.
    EXPECT_EQ(paths::SizeText(1048575, L"."), L"1.00MB");
    EXPECT_EQ(paths::SizeText(1572864, L","), L"1,50MB");
    EXPECT_EQ(paths::SizeText(1073741823, L"."), L"1024.00MB");
    EXPECT_EQ(paths::SizeText(500107862016LL, L"."), L"465.76GB");  // beyond 32 bits, not wrapped
    for (const wchar_t* drive : {L"q:", L"C:"}) EXPECT_TRUE(paths::IsBareDrive(drive)) << drive;
    for (const wchar_t* other : {L"C", L"C:\\", L"CD"}) EXPECT_FALSE(paths::IsBareDrive(other)) << other;
    // The shell numbers drives 0 (A) to 25 (Z); anything else has no name.
    const std::pair<int, const wchar_t*> drives[] = {{-1, L""}, {0, L"A:"}, {25, L"Z:"}, {26, L""}};
    for (const auto& [number, name] : drives) EXPECT_EQ(paths::DriveNameFromNumber(number), name) << number;
}
