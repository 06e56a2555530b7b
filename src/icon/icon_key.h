// The key under which FileIcon keeps a file type's image: the shell's type name, or a
// name made from the file name when the shell gives none.
#pragma once

#include <string>
#include <string_view>

namespace zankit {

// True when the text is empty after removing leading and trailing spaces.
bool IsBlankName(std::wstring_view text);

// Upper-cases a text by the platform's mapping (the DLL's is the system's, so "äbc" gives "ÄBC").
using UpperCaseText = std::wstring (*)(std::wstring_view text);

// shellTypeName when it is not empty; otherwise the text after the first "." of fileName
// upper-cased by upperCase followed by "-Datei" (a.b.xyz gives B.XYZ-Datei), or "Datei" for a
// name without a dot.
std::wstring IconKey(std::wstring_view fileName, std::wstring_view shellTypeName, UpperCaseText upperCase);

}  // namespace zankit
