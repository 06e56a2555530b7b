// Helpers for the host tests: create objects by ProgID and call them late bound, the way
// script hosts do, keeping the raw HRESULT and EXCEPINFO for the assertions.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "frame/com_ptr.h"

namespace hosttest {

using zankit::ComPtr;

ComPtr<IDispatch> Create(const wchar_t* progId);

// One argument as a script engine would pass it.
struct Arg {
    VARIANT value;
    Arg();
    Arg(const Arg&);
    Arg& operator=(const Arg&) = delete;
    ~Arg();
    static Arg Text(const std::wstring& text);
    static Arg Long(long number);
    static Arg Bool(bool flag);
    static Arg Missing();
    // VBScript passes variables like this: a reference to its own VARIANT.
    static Arg RefTo(VARIANT* variable);
};

struct CallResult {
    HRESULT hr = E_FAIL;
    VARIANT value;
    EXCEPINFO exception;
    UINT argError = 0;
    CallResult();
    CallResult(const CallResult&) = delete;
    CallResult(CallResult&&) noexcept;
    ~CallResult();
    std::wstring Text() const;  // value converted to a string
    long Number() const;
    // 1 for a Boolean True, 0 for False, -1 for anything that is not a Boolean.
    int Flag() const;
    std::wstring Description() const;
    std::wstring Source() const;
};

// Calls a member by name with positional arguments (first argument first).
CallResult Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<Arg> args);
CallResult CallNamed(IDispatch* object, const wchar_t* name, WORD flags, std::vector<Arg> args,
                     const std::vector<std::wstring>& argNames);
CallResult Get(IDispatch* object, const wchar_t* name);
CallResult Put(IDispatch* object, const wchar_t* name, Arg value);

std::wstring FromBstr(BSTR value);
std::wstring TempFolder();  // a fresh folder for one test, removed at process end is not needed

// Reads and clears the test logger's file; one string per CheckError call.
std::vector<std::wstring> TakeLoggerRecords();
void RegisterTestLogger(bool installed);

}  // namespace hosttest
