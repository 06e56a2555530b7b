// The rules of the open/save dialogs that need no window: the German filter presets, the
// caller's filter notation, the request flags and the reading of a multiple selection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zankit::dialogs {

// A filter list as the caller writes it ("description|pattern|...") and its default
// extension ("" for none).
struct FilterPreset {
    std::wstring filter;
    std::wstring defaultExtension;
};

// The preset of a file-type number (0 to 4); any other number gives an empty filter.
FilterPreset PresetForFileType(long fileType);

// The filter in the dialog's form: "|" and ":" become NUL, and two NULs close the list.
std::wstring DialogFilter(const std::wstring& filter);

// The caller's own filter and the index that picks the initial file name and extension.
struct CallerFilter {
    long filterCount = 0;                 // the whole number of "description|pattern" pairs
    long limitedIndex = 0;                // the index after limiting it to filterCount
    std::optional<std::wstring> pattern;  // the chosen filter's pattern; none for an index below 1
};
CallerFilter ChooseCallerFilter(const std::wstring& filter, long filterIndex);

// Request flags of the two dialogs (the platform's OFN_ values).
std::uint32_t OpenDialogFlags(bool fileMustExist, bool multiSelect, bool readOnly, bool hideReadOnly,
                              std::uint32_t extraFlags);
std::uint32_t SaveDialogFlags(bool promptOnOverwrite, std::uint32_t extraFlags);

// The full paths of a returned file buffer: one path, or a folder followed by NUL-separated
// names. A folder that ends with "\" (a drive root) gets no second one.
std::vector<std::wstring> ParseMultiSelection(const std::wstring& buffer);

// The title of the save dialog: the caller's, except that the open dialog's default
// "Öffnen" becomes "Speichern unter".
std::wstring SaveDialogTitle(const std::wstring& title);

}  // namespace zankit::dialogs
