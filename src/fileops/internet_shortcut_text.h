// The text rules of CreateHyperlink: the ".url" ending of the name, the "mailto:" scheme of a
// bare address, and the content of the internet shortcut file.
#pragma once

#include <string>
#include <string_view>

namespace zankit::fileops {

// `name` with ".url" appended unless its trimmed form already ends with ".URL" in any case.
std::wstring NameWithUrlEnding(std::wstring_view name);

// A link holding "@" that does not begin with exactly "mailto:" gets that prefix.
std::wstring WithMailtoScheme(std::wstring_view hyperlink);

// The two-line file for a link that the ANSI code page holds (the link given in its bytes).
std::string InternetShortcutFile(std::string_view ansiLink);

// The file for a link the ANSI code page cannot hold: the first section carries the link with
// every character outside ASCII percent-encoded as UTF-8 (a plain URI every reader can use),
// and the section "[InternetShortcut.W]" carries the exact link in UTF-7, where the shell
// itself looks for links of that kind.
std::string InternetShortcutFileWide(std::wstring_view link, std::string_view utf7Link);

}  // namespace zankit::fileops
