// CreateHyperlink: writes an internet shortcut (".url" file) for a web address or,
// with the "mailto:" scheme, for an e-mail address. Answers True or False; never raises.
#include <windows.h>

#include <string>

#include "fileops/internet_shortcut_text.h"
#include "fileops/percent_encoding.h"
#include "fileops/win/fileops_members.h"
#include "frame/bstr.h"
#include "frame/win_handles.h"
#include "paths/path_text.h"

namespace zankit::fileops {
namespace {

// The link in the ANSI code page, or nothing when a character has no exact form there.
bool TryAnsi(const std::wstring& text, std::string& bytes) {
    bytes.clear();
    if (text.empty()) return true;
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    bytes.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(), size, nullptr, &usedDefault);
    return !usedDefault;
}

std::string Utf7(const std::wstring& text) {
    const int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_UTF7, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF7, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::string ShortcutContent(const std::wstring& link) {
    std::string ansi;
    if (TryAnsi(link, ansi)) return InternetShortcutFile(ansi);
    return InternetShortcutFileWide(link, Utf7(link));
}

// Creates or replaces the file with exactly `content`; a file left half written is removed.
bool WriteWholeFile(const std::wstring& path, const std::string& content) {
    bool written = false;
    {
        KernelHandle file(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD count = 0;
        written = WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &count, nullptr) &&
                  count == content.size();
    }
    if (!written) DeleteFileW(path.c_str());
    return written;
}

}  // namespace

HRESULT CreateHyperlink(BSTR* hyperlink, BSTR* name, BSTR* folder, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    if (!hyperlink || !name || !folder) return S_OK;
    try {
        const std::wstring nameText = FromBstr(*name);
        if (TrimSpaces(nameText).empty()) return S_OK;
        const std::wstring fullName = NameWithUrlEnding(nameText);
        if (fullName != nameText && FAILED(AssignBstr(name, fullName))) return S_OK;

        std::wstring link = FromBstr(*hyperlink);
        if (TrimSpaces(link).empty()) return S_OK;
        const std::wstring withScheme = WithMailtoScheme(link);
        if (withScheme != link) {
            if (FAILED(AssignBstr(hyperlink, withScheme))) return S_OK;
            link = withScheme;
        }

        const std::wstring path = paths::FixPath(FromBstr(*folder)) + fullName;
        if (WriteWholeFile(path, ShortcutContent(link))) *result = VARIANT_TRUE;
    } catch (...) {
        // Any failure answers False; nothing reaches the caller.
    }
    return S_OK;
}

}  // namespace zankit::fileops
