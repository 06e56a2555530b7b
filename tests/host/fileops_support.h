// Helpers for the file operation and FileWriter host tests: files with known bytes, the
// FileNames argument in its array forms, and the calls of the shell members.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "host_support.h"

namespace fileopstest {

using hosttest::Arg;
using hosttest::CallResult;
using hosttest::ComPtr;

// A new empty folder for one test. Folder names from earlier runs (Wine reuses process ids)
// never come back, so nothing left behind can turn a copy into an overwrite.
std::wstring FreshFolder();
// Removes a folder tree through the host system (fast for tens of thousands of entries).
void RemoveTree(const std::wstring& folder);

void WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes, or "<missing>" when it cannot be read.
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
DWORD Attributes(const std::wstring& path);

// Display names of the items in the platform's recycle bin.
std::vector<std::wstring> RecycleBinNames();

// A symbolic link made on the host system (Wine's CreateSymbolicLinkW creates nothing): runs
// the host's ln through Wine, which starts host programs by their Z: path.
bool MakeHostSymlink(const std::wstring& target, const std::wstring& link);

// `count` empty files or folders named <prefix>0, <prefix>1, ... made by the host system.
// Wine looks through a whole folder for each new name, so making tens of thousands of
// entries through it takes minutes; the host's tools take a moment.
bool MakeManyOnHost(const std::wstring& folder, const char* prefix, int count, bool folders);

// A one-dimensional array with the given lower bound: VT_VARIANT or VT_BSTR elements.
Arg NameArray(const std::vector<std::wstring>& names, LONG lowerBound, VARTYPE elementType);

// The members with every argument given (first the names, then the options).
CallResult FilesCopy(IDispatch* info, const Arg& names, const std::wstring& moveTo, bool confirm, bool hideProgress,
                     bool renameOnCollision = false);
CallResult FilesDelete(IDispatch* info, const Arg& names, bool allowUndo, bool confirm);
CallResult FolderDelete(IDispatch* info, const std::wstring& folder, bool allowUndo, bool confirm);
// Move (true) or copy (false), without an owner window.
CallResult FolderCopyMove(IDispatch* info, bool move, const std::wstring& source, const std::wstring& destination,
                          bool confirm);

inline bool IsTrue(const CallResult& answer) { return answer.hr == S_OK && answer.Flag() == 1; }
inline bool IsFalse(const CallResult& answer) { return answer.hr == S_OK && answer.Flag() == 0; }

}  // namespace fileopstest
