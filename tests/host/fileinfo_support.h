// Helpers for the FileSysInfo query tests: the four query members called late bound,
// answers compared with what the platform itself says, files made for one test.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host_support.h"

namespace fileinfotest {

using hosttest::CallResult;
using hosttest::ComPtr;

// zanSysInfo(type), zanFileInfo(fileSpec, type), zanDriveInfo(fileSpec, type), zanFolderInfo(fileSpec, type).
CallResult SysInfo(IDispatch* info, long type);
CallResult FileInfo(IDispatch* info, const std::wstring& fileSpec, long type);
CallResult DriveInfo(IDispatch* info, const std::wstring& fileSpec, long type);
CallResult FolderInfo(IDispatch* info, const std::wstring& fileSpec, long type);

// The strings of a collection answer, read through Count and Item as a script would.
std::vector<std::wstring> CollectionItems(const CallResult& answer);

// Writes a file with `size` bytes of "x" (a sparse file when `sparse` is set).
void MakeFile(const std::wstring& path, std::int64_t size);
void MakeSparseFile(const std::wstring& path, std::int64_t size);

// The platform's own answers, for comparisons.
std::wstring PlatformLocaleText(LCID locale, LCTYPE item);
std::wstring PlatformSizeText(std::int64_t bytes);  // "1.50MB" with the user's separator
double LocalDateOf(const FILETIME& time);           // seconds precision, through SystemTimeToVariantTime
double LocalNowDate();
std::wstring EnvironmentText(const wchar_t* name);  // "" when not set

// Reading an answer: Empty, a Boolean, its type, a Date or a Double (-1 when of another type).
bool IsEmpty(const CallResult& answer);
inline bool IsTrue(const CallResult& answer) {
    return V_VT(&answer.value) == VT_BOOL && V_BOOL(&answer.value) == VARIANT_TRUE;
}
inline bool IsFalse(const CallResult& answer) {
    return V_VT(&answer.value) == VT_BOOL && V_BOOL(&answer.value) == VARIANT_FALSE;
}
inline VARTYPE TypeOf(const CallResult& answer) { return V_VT(&answer.value); }
inline double DateOf(const CallResult& answer) { return V_VT(&answer.value) == VT_DATE ? V_DATE(&answer.value) : -1.0; }
inline double DoubleOf(const CallResult& answer) { return V_VT(&answer.value) == VT_R8 ? V_R8(&answer.value) : -1.0; }

}  // namespace fileinfotest
