// ReportError: the one error-report procedure of the file-system classes. It hands a
// failure to the outside logger "zanErrLogger.Log" (a new object for every report) and
// never raises; without a logger installed it does nothing.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace zankit {

// A failure caught inside a reporting member.
struct Failure {
    HRESULT number = S_OK;
    std::wstring source;  // the component that raised it
    std::wstring description;
};

// "<low 16 bits of number>:(<description>)"
std::wstring StandardErrorText(HRESULT number, std::wstring_view description);

// <source><fixed tag><line>
std::wstring SourceTag(std::wstring_view errorSource, std::wstring_view fixedTag, int line);

// Calls CheckError(App, tag, text, False, True) on a new logger object, then clears the
// thread's pending error. Nothing inside it reaches the caller.
void ReportError(const std::wstring& tag, const std::wstring& text);

// The usual report of a reporting member: SourceTag(f.source, fixedTag, 0) and
// StandardErrorText, followed by ")|| " and context when context is given.
void ReportFailure(const Failure& failure, std::wstring_view fixedTag);
void ReportFailure(const Failure& failure, std::wstring_view fixedTag, std::wstring_view context);

}  // namespace zankit
