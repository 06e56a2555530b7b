#include "dialogs/file_dialog_rules.h"

namespace zankit::dialogs {
namespace {

constexpr std::uint32_t kReadOnly = 0x0001;
constexpr std::uint32_t kOverwritePrompt = 0x0002;
constexpr std::uint32_t kHideReadOnly = 0x0004;
constexpr std::uint32_t kEnableHook = 0x0020;
constexpr std::uint32_t kEnableTemplate = 0x0040;
constexpr std::uint32_t kAllowMultiSelect = 0x0200;
constexpr std::uint32_t kFileMustExist = 0x1000;
constexpr std::uint32_t kExplorer = 0x80000;

// A caller cannot hand a hook procedure or a dialog template through an automation call.
std::uint32_t UsableExtraFlags(std::uint32_t extraFlags) { return extraFlags & ~(kEnableHook | kEnableTemplate); }

std::vector<std::wstring> SplitAt(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

}  // namespace

FilterPreset PresetForFileType(long fileType) {
    switch (fileType) {
        case 0:
            return {L"Alle Dateien (*.*)|*.*", L""};
        case 1:
            return {L"RichText-Dokument (*.rtf)|*.rtf|Textdatei (*.txt)|*.txt", L"rtf"};
        case 2:
            return {
                L"Grafik-Dateien (*.bmp; *.gif; *.jpg; *.dib; *.wmf; *.emf; *.ico; *.cur)|"
                L"*.bmp;*.gif;*.jpg;*.dib;*.wmf;*.emf;*.ico;*.cur",
                L"bmp"};
        case 3:
            return {L"Internet-Dokumente (*.htm)|*.htm|Webarchiv (*.mht)|*.mht", L"htm"};
        case 4:
            return {
                L"Access-Datenbank (*.mdb)|*.mdb|"
                L"Excel-Tabelle (*.xls)|*.xls|"
                L"Word-Dokument (*.doc)|*.doc|"
                L"RichText-Dokument (*.rtf)|*.rtf|Textdatei (*.txt)|*.txt|"
                L"Internet-Dokumente (*.htm; *.xml)|*.htm;*.xml|"
                L"Adobe-Dokument (*.pdf)|*.pdf|"
                L"Lotus 123 (*.wk1)|*.wk1|"
                L"dBase IV (*.dbf)|*.dbf|Paradox 4.x (*.db)|*.db",
                L"xls"};
        default:
            return {};
    }
}

std::wstring DialogFilter(const std::wstring& filter) {
    std::wstring converted;
    converted.reserve(filter.size() + 2);
    for (wchar_t c : filter) converted.push_back(c == L'|' || c == L':' ? L'\0' : c);
    converted.append(2, L'\0');
    return converted;
}

CallerFilter ChooseCallerFilter(const std::wstring& filter, long filterIndex) {
    const std::vector<std::wstring> parts = SplitAt(filter, L'|');
    CallerFilter chosen;
    chosen.filterCount = static_cast<long>(parts.size() / 2);
    chosen.limitedIndex = filterIndex > chosen.filterCount ? chosen.filterCount : filterIndex;
    const long part = 2 * chosen.limitedIndex - 1;
    if (part >= 0 && part < static_cast<long>(parts.size())) chosen.pattern = parts[static_cast<size_t>(part)];
    return chosen;
}

std::uint32_t OpenDialogFlags(bool fileMustExist, bool multiSelect, bool readOnly, bool hideReadOnly,
                              std::uint32_t extraFlags) {
    std::uint32_t flags = UsableExtraFlags(extraFlags);
    if (fileMustExist) flags |= kFileMustExist;
    if (multiSelect) flags |= kAllowMultiSelect;
    if (readOnly) flags |= kReadOnly;
    if (hideReadOnly) flags |= kHideReadOnly;
    if (flags & kAllowMultiSelect) flags |= kExplorer;
    return flags;
}

std::uint32_t SaveDialogFlags(bool promptOnOverwrite, std::uint32_t extraFlags) {
    std::uint32_t flags = UsableExtraFlags(extraFlags) | kHideReadOnly;
    if (promptOnOverwrite) flags |= kOverwritePrompt;
    return flags;
}

std::vector<std::wstring> ParseMultiSelection(const std::wstring& buffer) {
    const size_t end = buffer.find(std::wstring(2, L'\0'));
    const std::wstring used = buffer.substr(0, end);
    std::vector<std::wstring> pieces = SplitAt(used, L'\0');
    if (pieces.size() == 1) return pieces;
    const std::wstring& folder = pieces.front();
    const std::wstring prefix = !folder.empty() && folder.back() == L'\\' ? folder : folder + L"\\";
    std::vector<std::wstring> paths;
    paths.reserve(pieces.size() - 1);
    for (size_t i = 1; i < pieces.size(); ++i) paths.push_back(prefix + pieces[i]);
    return paths;
}

std::wstring SaveDialogTitle(const std::wstring& title) {
    return title == L"\u00D6ffnen" ? std::wstring(L"Speichern unter") : title;
}

}  // namespace zankit::dialogs
