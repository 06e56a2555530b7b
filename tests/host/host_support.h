// Helpers for the host tests: objects created by ProgID and called late bound the way script
// hosts do (raw HRESULT and EXCEPINFO kept for the assertions), a late-bound stand-in for the
// objects a host hands to the library, files with known bytes, and the test logger's records.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <functional>
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
    static Arg Of(VARTYPE type, double number = 0);  // a number converted to `type`; VT_NULL/VT_EMPTY as they are
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

// Calls a member by name with positional arguments (first argument first); CallNamed gives the
// last arguments the names in `argNames`.
CallResult Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<Arg> args);
CallResult CallNamed(IDispatch* object, const wchar_t* name, WORD flags, std::vector<Arg> args,
                     const std::vector<std::wstring>& argNames);
CallResult Get(IDispatch* object, const wchar_t* name);
CallResult Put(IDispatch* object, const wchar_t* name, Arg value);

std::wstring FromBstr(BSTR value);
std::wstring TempFolder();  // a fresh folder for one test
void WriteBytes(const std::wstring& path, const std::string& bytes = "x");
std::string ReadBytes(const std::wstring& path);  // "<missing>" when it cannot be read
bool Exists(const std::wstring& path);
std::string UnixPath(const std::wstring& path);  // Wine's own conversion; "" outside Wine
// Starts a command with the host's shell and waits (at most a minute) until `done` says its work
// is there: Wine hands out no usable process handle for a host program. Arguments in the
// command are quoted with single quotes.
bool RunOnHost(const std::string& command, const std::function<bool()>& done);
// `count` empty files or folders <prefix>0, <prefix>1, ... made by the host system, where Wine
// would take minutes (it looks through the whole folder for each new name).
bool MakeManyOnHost(const std::wstring& folder, const char* prefix, int count, bool folders);

// Sets the default value of HKEY_CLASSES_ROOT\<key> (made when missing).
bool SetDefaultValue(const std::wstring& key, const std::wstring& value);
// While it lives, the shell opens URLs of `scheme` with `command` (HKCR\<scheme>\shell\open\command);
// then the command it replaced comes back, or the scheme's key goes when there was none.
class SchemeHandler {
public:
    SchemeHandler(const std::wstring& scheme, const std::wstring& command);
    SchemeHandler(const SchemeHandler&) = delete;
    SchemeHandler& operator=(const SchemeHandler&) = delete;
    ~SchemeHandler();
    bool Registered() const { return registered_; }

private:
    std::wstring scheme_, previous_;
    bool registered_ = false;
};
// A program of the tests beside the test executable, its path quoted.
std::wstring BesideTests(const wchar_t* program);

// The test logger: a class of this process that the library finds as "zanErrLogger.Log" while
// it is installed. TakeLoggerRecords gives and clears its records, one per CheckError call.
void RegisterTestLogger(bool installed);
std::vector<std::wstring> TakeLoggerRecords();
HRESULT CanUnloadNow();  // zankit.dll's DllCanUnloadNow

// What a TestDispatch member throws to fail: the HRESULT and its description.
struct Raised {
    HRESULT hr;
    std::wstring description;
};
using Args = std::vector<VARIANT*>;  // first to last, references to variants followed

// A late-bound object whose members all go to one function. The first name is also the default
// member (DISPID_VALUE). The member sets *result or throws Raised.
class TestDispatch final : public IDispatch {
public:
    using Member = std::function<void(const std::wstring& name, const Args& args, VARIANT* result)>;
    static ComPtr<IDispatch> Make(std::vector<std::wstring> names, Member member);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        UINT*) override;

private:
    TestDispatch(std::vector<std::wstring> names, Member member)
        : names_(std::move(names)), member_(std::move(member)) {}
    std::vector<std::wstring> names_;
    Member member_;
    ULONG references_ = 1;
};

// An argument converted as VB converts it; a failure raises "Type mismatch".
std::wstring TextOf(VARIANT* value);
long LongOf(VARIANT* value);
void SetLong(VARIANT* result, long number);
void SetObject(VARIANT* result, IDispatch* object);

}  // namespace hosttest
