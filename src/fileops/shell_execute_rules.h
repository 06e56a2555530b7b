// The text rules of ShellEx: which verb an operation asks for, which show command the shell
// gets, and which automation error stands for each of the shell's error codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zankit::fileops {

// The operations of ShellEx (the values of the shellOperation enumeration).
inline constexpr long kOpen = 0;
inline constexpr long kViewProperties = 4;
inline constexpr long kRunAs = 5;

// "open", "print" or "explore" for 0, 1, 2; nullptr (the shell's default verb) for anything else.
const wchar_t* VerbFor(long operation);

// The show command the shell is called with. A name holding ".EXE" in any letter case starts
// hidden (0); without parameters and directory the window is always shown normally (1).
int ShowCommandFor(std::wstring_view file, std::wstring_view parameters, std::wstring_view directory, int showCmd);

// The error raised for a shell answer from 0 to 32: the HRESULT and the text.
struct ShellError {
    std::uint32_t number = 0;
    std::wstring description;
};
ShellError ErrorForShellCode(long code);

// True when the shell's answer is a success (negative or above 32).
inline bool IsShellSuccess(long code) { return code < 0 || code > 32; }

}  // namespace zankit::fileops
