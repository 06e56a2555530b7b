// Text rules for file names: the characters a name may not hold, whether a text is a
// usable file name, turning a text into one, and the extensions that mark a file the
// system may run.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zankit::fileinfo {

// The characters a file name may not contain, in this order. The double quote is not one.
inline constexpr std::array<wchar_t, 8> kForbiddenNameCharacters = {L'?', L'*', L'\\', L':', L'/', L'<', L'>', L'|'};

// Extensions of potentially executable files, upper case, without the dot.
inline constexpr std::array<std::wstring_view, 54> kExecutableExtensions = {
    L"ADE", L"ADP", L"ASP", L"ASX", L"BAS", L"BAT", L"CHM", L"CMD", L"COM", L"CPL",   L"CRT", L"DLL", L"EXE", L"OCX",
    L"HLP", L"HTA", L"INF", L"INS", L"ISP", L"JS",  L"JSE", L"LNK", L"MDB", L"ACCDB", L"MDE", L"MDT", L"MDW", L"MDZ",
    L"MSC", L"MSI", L"MSP", L"MST", L"PCD", L"PIF", L"PL",  L"REG", L"SCF", L"SCR",   L"SCT", L"SHB", L"SHS", L"URL",
    L"VB",  L"VBE", L"VBS", L"WS",  L"WSC", L"WSF", L"WSH", L"ZIP", L"7Z",  L"JAR",   L"HTM", L"HTML"};

// The longest text that counts as a file name is one character shorter than this.
inline constexpr size_t kNameLimit = 260;

bool ContainsForbiddenCharacter(std::wstring_view text);

// False for an empty text, one of kNameLimit characters or more, one that starts or ends
// with a space or ends with "."; otherwise true when no forbidden character occurs.
bool IsValidFileName(std::wstring_view name);

// Drops one trailing ".", then leading and trailing spaces, cuts to kNameLimit characters
// and removes every forbidden character ("a:b*c." gives "abc").
std::wstring CleanFileName(std::wstring_view text);

// True when the extension (without dot, any case) is in kExecutableExtensions.
bool IsExecutableExtension(std::wstring_view extension);

}  // namespace zankit::fileinfo
