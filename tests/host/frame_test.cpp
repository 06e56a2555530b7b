// The COM frame as hosts see it: creation by ProgID, the type library's member order,
// late- and early-bound calls, argument handling and write-back, raised errors and error
// reports, and the module's unload answer.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

const wchar_t* const kProgIds[] = {L"ZanKit.FileSysInfo", L"ZanKit.FileIcon", L"ZanKit.FileWriter",
                                   L"ZanKit.clsSendMail", L"ZanKit.WinHttpWrapper"};

// Member names of a dual interface in vtable order (a property's get and put both listed).
std::vector<std::wstring> VtableOrder(IDispatch* object) {
    std::vector<std::wstring> names;
    ComPtr<ITypeInfo> dispatchInfo;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatchInfo.Put()))) return names;
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> info;
    if (FAILED(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
        FAILED(dispatchInfo->GetRefTypeInfo(ref, info.Put()))) {
        return names;
    }
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    std::vector<std::pair<SHORT, std::wstring>> slots;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* desc = nullptr;
        info->GetFuncDesc(i, &desc);
        BSTR name = nullptr;
        info->GetDocumentation(desc->memid, &name, nullptr, nullptr, nullptr);
        slots.emplace_back(desc->oVft, FromBstr(name));
        SysFreeString(name);
        info->ReleaseFuncDesc(desc);
    }
    info->ReleaseTypeAttr(attr);
    std::sort(slots.begin(), slots.end());
    SHORT expected = static_cast<SHORT>(7 * sizeof(void*));
    for (auto& [offset, name] : slots) {
        if (offset != expected) names.push_back(L"<gap before " + name + L">");
        names.push_back(name);
        expected = static_cast<SHORT>(offset + sizeof(void*));
    }
    return names;
}

// Names separated by blanks; a property written "Name*" has two slots (get and put).
std::vector<std::wstring> Slots(const std::wstring& list) {
    std::vector<std::wstring> names;
    std::wistringstream words(list);
    std::wstring word;
    while (words >> word) {
        if (word.back() == L'*') {
            word.pop_back();
            names.push_back(word);
        }
        names.push_back(word);
    }
    return names;
}

}  // namespace

TEST(Frame, EveryProgIdCreatesAnObjectAndTheVersionedProgIdToo) {
    for (const wchar_t* progId : kProgIds) {
        EXPECT_TRUE(Create(progId)) << progId;
        std::wstring versioned = std::wstring(progId) + L".1";
        EXPECT_TRUE(Create(versioned.c_str())) << versioned;
    }
}

TEST(Frame, TypeLibraryKeepsTheSlotOrderOfEveryInterface) {
    const std::pair<const wchar_t*, const wchar_t*> classes[] = {
        {L"ZanKit.FileSysInfo",
         L"zanSysInfo zanFileInfo zanDriveInfo CDROMpresent zanFolderInfo FilesCopy FilesDelete FolderCreate "
         L"FolderMove FolderCopy FolderDelete FolderFileSetAttribute BrowseForFolder BrowseForFile SendMail ShellEx "
         L"CreateHyperlink CreateShortcut FileNameFromPath FixPath"},
        {L"ZanKit.FileIcon", L"GetAssociatedIcon"},
        {L"ZanKit.FileWriter", L"Filename* WriteLine WriteFinish"},
        {L"ZanKit.clsSendMail",
         L"AsHTML* Attachment* BccRecipient* CcDisplayName* CcRecipient* ConnectRetry* ConnectTimeout* ContentBase* "
         L"Delimiter* EmailAddressValidation* EncodeType* from* FromDisplayName* MaxRecipients* Message* "
         L"MessageTimeout* Password* PersistentSettings* Priority* Receipt* Recipient* RecipientDisplayName* "
         L"ReplyToAddress* POP3Host* SMTPHost* SMTPHostValidation* SMTPPort* Subject* UseAuthentication* "
         L"UsePopAuthentication* Username* Connect Disconnect GetContentType GetIPAddress GetIPHost "
         L"IsValidEmailAddress MXQuery Ping Send DecodeBase64String"},
        {L"ZanKit.WinHttpWrapper",
         L"IsWinHttpReady Terminate ErrorDescription OpenRequest SetRequestHeader Send ResponseText Status StatusText "
         L"GetResponseHeader GetAllResponseHeaders ResponseBody SetTimeouts"},
    };
    for (const auto& [progId, slots] : classes) EXPECT_EQ(VtableOrder(Create(progId).Get()), Slots(slots)) << progId;
}

namespace {

// One late-bound call and what the host must see.
struct CallRow {
    const wchar_t* what;
    const wchar_t* member;
    std::vector<Arg> args;
    std::vector<std::wstring> names;  // named arguments: the last args, in this order
    HRESULT hr;
    std::wstring text;    // the result as text, when hr is S_OK
    UINT argError = ~0u;  // checked when not ~0u
};

}  // namespace

TEST(Frame, LateBoundArgumentsAreMatchedCoercedOrRefused) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ASSERT_TRUE(info);
    Arg object;
    V_VT(&object.value) = VT_UNKNOWN;
    V_UNKNOWN(&object.value) = info.Get();
    info->AddRef();
    Arg huge;
    V_VT(&huge.value) = VT_R8;
    V_R8(&huge.value) = 1e20;
    const CallRow rows[] = {
        {L"one separator added", L"FixPath", {Arg::Text(L"C:\\Temp")}, {}, S_OK, L"C:\\Temp\\"},
        {L"an existing separator kept", L"FixPath", {Arg::Text(L"C:\\Temp\\")}, {}, S_OK, L"C:\\Temp\\"},
        {L"a number becomes its text", L"FixPath", {Arg::Long(12)}, {}, S_OK, L"12\\"},
        {L"a named argument", L"FixPath", {Arg::Text(L"D:")}, {L"sPath"}, S_OK, L"D:\\"},
        {L"the last path piece", L"FileNameFromPath", {Arg::Text(L"\\\\server\\share\\x")}, {}, S_OK, L"x"},
        {L"no name after the last separator", L"FileNameFromPath", {Arg::Text(L"C:\\a\\")}, {}, S_OK, L""},
        {L"a missing required argument", L"FixPath", {}, {}, DISP_E_PARAMNOTOPTIONAL, L""},
        {L"one argument too many", L"FixPath", {Arg::Text(L"a"), Arg::Text(L"b")}, {}, DISP_E_BADPARAMCOUNT, L""},
        {L"a named argument that does not exist", L"FixPath", {Arg::Text(L"a")}, {L"nope"}, DISP_E_UNKNOWNNAME, L""},
        {L"an object for a String", L"FixPath", {object}, {}, DISP_E_TYPEMISMATCH, L"", 0},
        // rgvarg holds the last argument first: the third argument is at 0, the second at 1.
        {L"text for a Boolean (third argument)",
         L"FolderFileSetAttribute",
         {Arg::Text(L"C:\\x"), Arg::Long(0), Arg::Text(L"maybe")},
         {},
         DISP_E_TYPEMISMATCH,
         L"",
         0},
        {L"text for a Long (second argument)",
         L"FolderFileSetAttribute",
         {Arg::Text(L"C:\\x"), Arg::Text(L"many"), Arg::Bool(false)},
         {},
         DISP_E_TYPEMISMATCH,
         L"",
         1},
        {L"a Long overflows (second argument)",
         L"FolderFileSetAttribute",
         {Arg::Text(L"C:\\x"), huge, Arg::Bool(false)},
         {},
         DISP_E_OVERFLOW,
         L"",
         1},
    };
    for (const CallRow& row : rows) {
        CallResult result = CallNamed(info.Get(), row.member, DISPATCH_METHOD, row.args, row.names);
        EXPECT_EQ(result.hr, row.hr) << row.what;
        if (row.hr == S_OK) {
            EXPECT_EQ(result.Text(), row.text) << row.what;
        }
        if (row.argError != ~0u) {
            EXPECT_EQ(result.argError, row.argError) << row.what;
        }
    }
    EXPECT_EQ(Call(info.Get(), L"NoSuchMember", DISPATCH_METHOD, {}).hr, DISP_E_UNKNOWNNAME);
    // A property put on a method finds no member to put.
    EXPECT_EQ(Put(info.Get(), L"FixPath", Arg::Text(L"x")).hr, DISP_E_MEMBERNOTFOUND);
}

TEST(Frame, PropertyPutsTakeTheValueByNameOrByPosition) {
    ComPtr<IDispatch> writer = Create(L"ZanKit.FileWriter");
    // Put() passes the value as the named argument DISPID_PROPERTYPUT, as every script host does.
    EXPECT_EQ(Put(writer.Get(), L"Filename", Arg::Text(L"C:\\named.txt")).hr, S_OK);
    EXPECT_EQ(Get(writer.Get(), L"Filename").Text(), L"C:\\named.txt");
    // Some hosts give it positionally.
    DISPID id = 0;
    wchar_t name[] = L"Filename";
    LPOLESTR names[] = {name};
    ASSERT_EQ(writer->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    Arg value = Arg::Text(L"C:\\positional.txt");
    DISPPARAMS params = {&value.value, nullptr, 1, 0};
    EXPECT_EQ(
        writer->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(Get(writer.Get(), L"Filename").Text(), L"C:\\positional.txt");
}

// A by-reference String parameter and the caller's variable: script variables
// (VT_BYREF|VT_VARIANT) keep their own type when the text fits it, VB's typed references get the
// text in their type.
TEST(Frame, ByRefWriteBackKeepsTheCallersVariableType) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    struct Row {
        const wchar_t* what;
        VARTYPE type;
        long number;
        const wchar_t* text;
    };
    const Row rows[] = {
        {L"Integer variable", VT_I2, 5, nullptr},
        {L"Long variable", VT_I4, 70000, nullptr},
        {L"Double variable", VT_R8, -2, nullptr},
        {L"String variable", VT_BSTR, 0, L"C:\\Temp"},
    };
    for (const Row& row : rows) {
        for (bool typedReference : {false, true}) {
            VARIANT variable;
            VariantInit(&variable);
            if (row.text) {
                V_VT(&variable) = VT_BSTR;
                V_BSTR(&variable) = SysAllocString(row.text);
            } else {
                V_VT(&variable) = VT_I4;
                V_I4(&variable) = row.number;
                VariantChangeType(&variable, &variable, 0, row.type);
            }
            Arg argument = Arg::RefTo(&variable);
            if (typedReference) {  // VB passes ByRef As Integer/Long/String like this
                V_VT(&argument.value) = VT_BYREF | row.type;
                V_BYREF(&argument.value) = &V_I4(&variable);
            }
            CallResult result = Call(info.Get(), L"FixPath", DISPATCH_METHOD, {argument});
            std::wstring expectedText = row.text ? std::wstring(row.text) : std::to_wstring(row.number);
            EXPECT_EQ(result.Text(), expectedText + L"\\") << row.what << " typed " << typedReference;
            EXPECT_EQ(V_VT(&variable), row.type) << row.what << " typed " << typedReference;
            VARIANT text;
            VariantInit(&text);
            VariantChangeType(&text, &variable, 0, VT_BSTR);
            EXPECT_EQ(FromBstr(V_BSTR(&text)), expectedText) << row.what << " typed " << typedReference;
            VariantClear(&text);
            VariantClear(&variable);
        }
    }
}

// Where the written-back text does not fit the variable's type, the variable takes the text.
TEST(Frame, ByRefWriteBackGivesTextWhenTheNumberCannotHoldIt) {
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    VARIANT host;
    VariantInit(&host);
    V_VT(&host) = VT_I2;
    V_I2(&host) = 127;
    // GetIPAddress writes the trimmed name back with a NUL at its end: "127" + NUL is no number.
    CallResult result = Call(mail.Get(), L"GetIPAddress", DISPATCH_METHOD, {Arg::RefTo(&host)});
    EXPECT_EQ(result.hr, S_OK);
    ASSERT_EQ(V_VT(&host), VT_BSTR);
    EXPECT_EQ(FromBstr(V_BSTR(&host)), std::wstring(L"127") + L'\0');
    VariantClear(&host);
}

TEST(Frame, EarlyBoundCallsGoThroughTheVtable) {
    ComPtr<IDispatch> object = Create(L"ZanKit.FileSysInfo");
    ComPtr<_FileSysInfo> info;
    ASSERT_EQ(object.As(info, IID__FileSysInfo), S_OK);
    BSTR path = SysAllocString(L"C:\\Windows");
    BSTR result = nullptr;
    EXPECT_EQ(info->FixPath(&path, &result), S_OK);
    EXPECT_EQ(FromBstr(result), L"C:\\Windows\\");
    SysFreeString(path);
    SysFreeString(result);
}

TEST(Frame, NullOutPointersAreRefusedWithEPointer) {
    ComPtr<IDispatch> object = Create(L"ZanKit.FileSysInfo");
    ComPtr<_FileSysInfo> info;
    ASSERT_EQ(object.As(info, IID__FileSysInfo), S_OK);
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(mail.As(container, IID_IConnectionPointContainer), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(DIID___clsSendMail, point.Put()), S_OK);
    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(mail.As(classInfo, IID_IProvideClassInfo2), S_OK);
    BSTR path = SysAllocString(L"C:\\x");
    wchar_t name[] = L"FixPath";
    LPOLESTR names[] = {name};
    const std::pair<const char*, std::function<HRESULT()>> rows[] = {
        {"QueryInterface", [&] { return object->QueryInterface(IID_IDispatch, nullptr); }},
        {"GetTypeInfoCount", [&] { return object->GetTypeInfoCount(nullptr); }},
        {"GetTypeInfo", [&] { return object->GetTypeInfo(0, 0, nullptr); }},
        {"GetIDsOfNames", [&] { return object->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr); }},
        {"FixPath result", [&] { return info->FixPath(&path, nullptr); }},
        {"FixPath argument", [&] { return info->FixPath(nullptr, &path); }},
        {"CDROMpresent", [&] { return info->CDROMpresent(nullptr); }},
        {"FindConnectionPoint", [&] { return container->FindConnectionPoint(DIID___clsSendMail, nullptr); }},
        {"EnumConnectionPoints", [&] { return container->EnumConnectionPoints(nullptr); }},
        {"Advise cookie", [&] { return point->Advise(object.Get(), nullptr); }},
        {"GetConnectionInterface", [&] { return point->GetConnectionInterface(nullptr); }},
        {"EnumConnections", [&] { return point->EnumConnections(nullptr); }},
        {"GetClassInfo", [&] { return classInfo->GetClassInfo(nullptr); }},
        {"GetGUID", [&] { return classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr); }},
    };
    for (const auto& [what, call] : rows) EXPECT_EQ(call(), E_POINTER) << what;
    SysFreeString(path);
}

TEST(Frame, AMemberThatIsNotBuiltSaysSoWithAnError) {
    ComPtr<IDispatch> writer = Create(L"ZanKit.FileWriter");
    CallResult late = Call(writer.Get(), L"WriteFinish", DISPATCH_METHOD, {Arg::Text(L"line")});
    EXPECT_EQ(late.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(late.exception.scode, E_NOTIMPL);
    EXPECT_EQ(late.exception.wCode, 0);
    EXPECT_EQ(late.Description(), L"not implemented");
    EXPECT_EQ(late.Source(), L"ZanKit.FileWriter");

    ComPtr<_FileWriter> early;
    ASSERT_EQ(writer.As(early, IID__FileWriter), S_OK);
    VARIANT line;
    VariantInit(&line);
    EXPECT_EQ(early->WriteFinish(&line), E_NOTIMPL);
    ComPtr<ISupportErrorInfo> supports;
    ASSERT_EQ(writer.As(supports, IID_ISupportErrorInfo), S_OK);
    EXPECT_EQ(supports->InterfaceSupportsErrorInfo(IID__FileWriter), S_OK);
    ComPtr<IErrorInfo> error;
    ASSERT_EQ(GetErrorInfo(0, error.Put()), S_OK);
    BSTR description = nullptr;
    error->GetDescription(&description);
    EXPECT_EQ(FromBstr(description), L"not implemented");
    SysFreeString(description);
}

TEST(ErrorReports, AFailingReportingMemberReachesTheLoggerWithTagAndText) {
    RegisterTestLogger(true);
    TakeLoggerRecords();
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    CallResult result = Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(L"relative\\path")});
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(V_VT(&result.value), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result.value), VARIANT_FALSE);
    std::vector<std::wstring> records = TakeLoggerRecords();
    ASSERT_EQ(records.size(), 1u);
    // Title, path, version, tag, text, the two Booleans, then the argument types: the App
    // object by value and the four others by reference.
    std::wstring record = records[0];
    EXPECT_EQ(record.substr(0, 7), L"ZanKit\t");
    EXPECT_NE(record.find(L"\t1.0\tZanKit|FileSysInfo:FolderCreate#0\t1000:(Bad path: )|| "
                          L"relative\\path\t0\t-1\t9,16392,16392,16395,16395"),
              std::wstring::npos)
        << record;

    // An empty path is a bad path as well.
    Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(L"")});
    records = TakeLoggerRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find(L"\t1000:(Bad path: )|| \t"), std::wstring::npos) << records[0];
}

TEST(ErrorReports, WithoutALoggerNothingIsRaisedAndNoErrorIsLeftPending) {
    RegisterTestLogger(false);
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    CallResult result = Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(L"x")});
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(V_BOOL(&result.value), VARIANT_FALSE);
    ComPtr<IErrorInfo> pending;
    EXPECT_EQ(GetErrorInfo(0, pending.Put()), S_FALSE);
    RegisterTestLogger(true);
}

// FolderCreate makes the whole path and checks it in the form it created it.
TEST(FolderCreate, PathFormsThatNameAFolderAnswerTrue) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const std::wstring base = TempFolder();
    std::wstring longPath = base;
    while (longPath.size() < 300) longPath += L"\\level-of-a-long-path";
    struct Row {
        const wchar_t* what;
        std::wstring path;
        std::wstring created;  // the folder that must exist afterwards
    };
    const Row rows[] = {
        {L"every missing level", base + L"\\A\\B\\C", base + L"\\A\\B\\C"},
        {L"an existing folder", base + L"\\A\\B\\C", base + L"\\A\\B\\C"},
        {L"two trailing separators", base + L"\\D\\\\", base + L"\\D"},
        {L"three trailing separators of an existing folder", base + L"\\A\\\\\\", base + L"\\A"},
        {L"forward slashes and a parent step", base + L"/E/../F", base + L"\\F"},
        {L"a drive root", L"C:\\", L"C:\\"},
        {L"a drive root with two separators", L"C:\\\\", L"C:\\"},
        {L"a drive alone", L"C:", L"C:\\"},
        {L"a path over 259 characters", longPath, longPath},
    };
    for (const Row& row : rows) {
        CallResult result = Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(row.path)});
        EXPECT_EQ(result.Flag(), 1) << row.what;
        std::wstring check = row.created.size() >= MAX_PATH - 12 ? L"\\\\?\\" + row.created : row.created;
        DWORD attributes = GetFileAttributesW(check.c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << row.what;
    }
    // A drive that does not exist cannot be created: False without a report.
    TakeLoggerRecords();
    CallResult missingDrive = Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(L"Q:\\nothing\\here")});
    EXPECT_EQ(missingDrive.Flag(), 0);
    EXPECT_TRUE(TakeLoggerRecords().empty());
}

TEST(Server, DllCanUnloadNowAnswersOkAfterTheLastRelease) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    HMODULE module = GetModuleHandleW(L"zankit.dll");
    ASSERT_NE(module, nullptr);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    // A collection handed out keeps the module busy as long as the object that made it.
    CallResult names = Call(info.Get(), L"zanFolderInfo", DISPATCH_METHOD, {Arg::Text(TempFolder()), Arg::Long(59)});
    info.Reset();
    EXPECT_EQ(canUnload(), S_FALSE);
    VariantClear(&names.value);
    EXPECT_EQ(canUnload(), S_OK);
}
