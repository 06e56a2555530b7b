#include "fileops/shell_execute_rules.h"

#include "frame/vb_numbers.h"

namespace zankit::fileops {
namespace {

bool ContainsProgramEnding(std::wstring_view file) {
    const std::wstring_view ending = L".EXE";
    for (size_t at = 0; at + ending.size() <= file.size(); ++at) {
        bool same = true;
        for (size_t k = 0; k < ending.size() && same; ++k) {
            wchar_t c = file[at + k];
            if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
            same = c == ending[k];
        }
        if (same) return true;
    }
    return false;
}

}  // namespace

const wchar_t* VerbFor(long operation) {
    switch (operation) {
        case 0:
            return L"open";
        case 1:
            return L"print";
        case 2:
            return L"explore";
        default:
            return nullptr;
    }
}

int ShowCommandFor(std::wstring_view file, std::wstring_view parameters, std::wstring_view directory, int showCmd) {
    if (parameters.empty() && directory.empty()) return 1;
    return ContainsProgramEnding(file) ? 0 : showCmd;
}

ShellError ErrorForShellCode(long code) {
    const std::uint32_t defaultNumber = ObjectErrorNumber(1048) + static_cast<std::uint32_t>(code);
    const wchar_t* const tryAgain = L"  Please try again in a moment.";
    switch (code) {
        case 0:
        case 8:
            return {VbErrorNumber(7), L"Out of memory"};
        case 2:
            return {VbErrorNumber(53), L"File not found"};
        case 3:
            return {VbErrorNumber(76), L"Path not found"};
        case 5:
            return {VbErrorNumber(75), L"Path/file access error"};
        case 11:
            return {defaultNumber, L"The executable file is invalid or corrupt"};
        case 26:
            return {VbErrorNumber(75), L"A sharing violation occurred."};
        case 27:
            return {defaultNumber, L"This file type does not have a valid file association."};
        case 28:
            return {VbErrorNumber(286), std::wstring(L"The file could not be opened due to time out.") + tryAgain};
        case 29:
            return {VbErrorNumber(285),
                    std::wstring(L"The file could not be opened because the DDE transaction failed.") + tryAgain};
        case 30:
            return {VbErrorNumber(285),
                    std::wstring(L"The file could not be opened because the target application is busy.") + tryAgain};
        case 31:
            return {VbErrorNumber(31), L"No application is associated with this file type."};
        case 32:
            return {VbErrorNumber(48), L"The specified dynamic-link library was not found."};
        default:
            return {defaultNumber, L"An error occurred occurred whilst trying to open or print the selected file."};
    }
}

}  // namespace zankit::fileops
