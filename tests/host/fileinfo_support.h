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

// zanSysInfo(type) and member(fileSpec, type) for zanFileInfo, zanDriveInfo and zanFolderInfo.
inline CallResult SysInfo(IDispatch* info, long type) {
    return hosttest::Call(info, L"zanSysInfo", DISPATCH_METHOD, {hosttest::Arg::Long(type)});
}
inline CallResult Query(IDispatch* info, const wchar_t* member, const std::wstring& fileSpec, long type) {
    return hosttest::Call(info, member, DISPATCH_METHOD, {hosttest::Arg::Text(fileSpec), hosttest::Arg::Long(type)});
}
inline CallResult FileInfo(IDispatch* info, const std::wstring& fileSpec, long type) {
    return Query(info, L"zanFileInfo", fileSpec, type);
}
inline CallResult DriveInfo(IDispatch* info, const std::wstring& fileSpec, long type) {
    return Query(info, L"zanDriveInfo", fileSpec, type);
}
inline CallResult FolderInfo(IDispatch* info, const std::wstring& fileSpec, long type) {
    return Query(info, L"zanFolderInfo", fileSpec, type);
}

// An answer as one text: "Empty", "True", "False", or the value converted to text.
std::wstring Shown(const CallResult& answer);
// The strings of a collection answer, read through Count and Item as a script would.
std::vector<std::wstring> CollectionItems(const CallResult& answer);

// Writes a file with `size` bytes of "x", or a sparse file of that size.
void MakeFile(const std::wstring& path, std::int64_t size, bool sparse = false);

// The platform's own answers, for comparisons.
std::wstring PlatformLocaleText(LCID locale, LCTYPE item);
std::wstring PlatformSizeText(std::int64_t bytes);  // "1.50MB" with the user's separator
double LocalDateOf(const FILETIME& time);           // seconds precision, through SystemTimeToVariantTime
std::wstring EnvironmentText(const wchar_t* name);  // "" when not set

inline VARTYPE TypeOf(const CallResult& answer) { return V_VT(&answer.value); }
inline double DateOf(const CallResult& answer) { return V_VT(&answer.value) == VT_DATE ? V_DATE(&answer.value) : -1.0; }
inline double DoubleOf(const CallResult& answer) { return V_VT(&answer.value) == VT_R8 ? V_R8(&answer.value) : -1.0; }

}  // namespace fileinfotest
