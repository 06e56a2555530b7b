// The request that the shell's file operation service receives for copying, moving and
// deleting: operation, source list, destination, flag word, owner window and progress title.
// Pure logic, so every rule of how the members fill it is checked without calling the shell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zankit::fileops {

// Operation codes and flags with the shell's own values.
enum class Operation : unsigned { Move = 1, Copy = 2, Delete = 3 };

inline constexpr std::uint16_t kSilent = 0x0004;
inline constexpr std::uint16_t kRenameOnCollision = 0x0008;
inline constexpr std::uint16_t kNoConfirmation = 0x0010;
inline constexpr std::uint16_t kAllowUndo = 0x0040;
inline constexpr std::uint16_t kSimpleProgress = 0x0100;
inline constexpr std::uint16_t kNoConfirmMakeFolder = 0x0200;

struct ShellRequest {
    Operation operation = Operation::Copy;
    // Each name followed by one NUL. The shell needs one more NUL after the last name; the
    // terminator of the string's buffer (c_str) is that closing NUL.
    std::wstring from;
    std::wstring to;  // same form as `from`; empty for delete
    std::uint16_t flags = 0;
    long owner = 0;  // 0 = no owner window
    bool hasTitle = false;
    std::wstring title;
};

// The names, each followed by one NUL, in the given order.
std::wstring SourceList(const std::vector<std::wstring>& names);

struct FilesCopyOptions {
    bool showConfirmation = true;
    bool hideProgress = false;
    bool renameOnCollision = false;
    long owner = 0;
};
// `sourceList` as SourceList built it; `moveTo` is passed on unchanged (no NUL appended).
ShellRequest FilesCopyRequest(const std::wstring& sourceList, const std::wstring& moveTo,
                              const FilesCopyOptions& options);

struct DeleteOptions {
    bool allowUndo = false;
    bool showConfirmation = true;
    bool hideProgress = false;
    long owner = 0;
};
ShellRequest FilesDeleteRequest(const std::wstring& sourceList, const DeleteOptions& options);
ShellRequest FolderDeleteRequest(const std::wstring& folderName, const DeleteOptions& options);

struct FolderCopyMoveOptions {
    bool confirmation = true;
    long window = 0;
    std::wstring caption;
};
ShellRequest FolderCopyMoveRequest(Operation operation, const std::wstring& source, const std::wstring& destination,
                                   const FolderCopyMoveOptions& options);

// The shell's answer: 0 and no cancellation is success.
inline bool OperationSucceeded(int returnCode, bool aborted) { return returnCode == 0 && !aborted; }

// The report text of a failing FilesCopy, NUL separators of the source list included.
std::wstring FilesCopyFailureText(int returnCode, const std::wstring& sourceList, const std::wstring& moveTo);

}  // namespace zankit::fileops
