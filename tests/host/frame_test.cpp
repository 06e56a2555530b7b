// The COM frame as hosts see it: creation by ProgID, the type library's member order,
// late- and early-bound calls, argument handling, raised errors and error reports.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

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

std::vector<std::wstring> WithPropertyPairs(const std::vector<std::wstring>& properties) {
    std::vector<std::wstring> names;
    for (const std::wstring& p : properties) {
        names.push_back(p);
        names.push_back(p);
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
    EXPECT_EQ(VtableOrder(Create(L"ZanKit.FileSysInfo").Get()),
              (std::vector<std::wstring>{
                  L"zanSysInfo",      L"zanFileInfo",    L"zanDriveInfo",     L"CDROMpresent",
                  L"zanFolderInfo",   L"FilesCopy",      L"FilesDelete",      L"FolderCreate",
                  L"FolderMove",      L"FolderCopy",     L"FolderDelete",     L"FolderFileSetAttribute",
                  L"BrowseForFolder", L"BrowseForFile",  L"SendMail",         L"ShellEx",
                  L"CreateHyperlink", L"CreateShortcut", L"FileNameFromPath", L"FixPath"}));
    EXPECT_EQ(VtableOrder(Create(L"ZanKit.FileIcon").Get()), (std::vector<std::wstring>{L"GetAssociatedIcon"}));
    EXPECT_EQ(VtableOrder(Create(L"ZanKit.FileWriter").Get()),
              (std::vector<std::wstring>{L"Filename", L"Filename", L"WriteLine", L"WriteFinish"}));
    std::vector<std::wstring> mail = WithPropertyPairs({L"AsHTML",
                                                        L"Attachment",
                                                        L"BccRecipient",
                                                        L"CcDisplayName",
                                                        L"CcRecipient",
                                                        L"ConnectRetry",
                                                        L"ConnectTimeout",
                                                        L"ContentBase",
                                                        L"Delimiter",
                                                        L"EmailAddressValidation",
                                                        L"EncodeType",
                                                        L"from",
                                                        L"FromDisplayName",
                                                        L"MaxRecipients",
                                                        L"Message",
                                                        L"MessageTimeout",
                                                        L"Password",
                                                        L"PersistentSettings",
                                                        L"Priority",
                                                        L"Receipt",
                                                        L"Recipient",
                                                        L"RecipientDisplayName",
                                                        L"ReplyToAddress",
                                                        L"POP3Host",
                                                        L"SMTPHost",
                                                        L"SMTPHostValidation",
                                                        L"SMTPPort",
                                                        L"Subject",
                                                        L"UseAuthentication",
                                                        L"UsePopAuthentication",
                                                        L"Username"});
    for (const wchar_t* method : {L"Connect", L"Disconnect", L"GetContentType", L"GetIPAddress", L"GetIPHost",
                                  L"IsValidEmailAddress", L"MXQuery", L"Ping", L"Send", L"DecodeBase64String"}) {
        mail.push_back(method);
    }
    EXPECT_EQ(VtableOrder(Create(L"ZanKit.clsSendMail").Get()), mail);
    EXPECT_EQ(
        VtableOrder(Create(L"ZanKit.WinHttpWrapper").Get()),
        (std::vector<std::wstring>{L"IsWinHttpReady", L"Terminate", L"ErrorDescription", L"OpenRequest",
                                   L"SetRequestHeader", L"Send", L"ResponseText", L"Status", L"StatusText",
                                   L"GetResponseHeader", L"GetAllResponseHeaders", L"ResponseBody", L"SetTimeouts"}));
}

TEST(Frame, FixPathLateBoundWithValuesAndScriptVariables) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ASSERT_TRUE(info);
    EXPECT_EQ(Call(info.Get(), L"FixPath", DISPATCH_METHOD, {Arg::Text(L"C:\\Temp")}).Text(), L"C:\\Temp\\");
    EXPECT_EQ(Call(info.Get(), L"FixPath", DISPATCH_METHOD, {Arg::Text(L"C:\\Temp\\")}).Text(), L"C:\\Temp\\");
    EXPECT_EQ(Call(info.Get(), L"FixPath", DISPATCH_METHOD, {Arg::Text(L"")}).Text(), L"\\");

    // A VBScript variable arrives as VT_BYREF|VT_VARIANT; the by-reference String parameter
    // takes it, and the variable keeps its text.
    VARIANT variable;
    VariantInit(&variable);
    V_VT(&variable) = VT_BSTR;
    V_BSTR(&variable) = SysAllocString(L"C:\\Temp");
    CallResult viaVariable =
        Call(info.Get(), L"FixPath", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Arg::RefTo(&variable)});
    EXPECT_EQ(viaVariable.hr, S_OK);
    EXPECT_EQ(viaVariable.Text(), L"C:\\Temp\\");
    EXPECT_EQ(V_VT(&variable), VT_BSTR);
    EXPECT_EQ(FromBstr(V_BSTR(&variable)), L"C:\\Temp");
    VariantClear(&variable);

    // A number is converted to its text, as VB does.
    EXPECT_EQ(Call(info.Get(), L"FixPath", DISPATCH_METHOD, {Arg::Long(12)}).Text(), L"12\\");
    // Named argument.
    EXPECT_EQ(CallNamed(info.Get(), L"FixPath", DISPATCH_METHOD, {Arg::Text(L"D:")}, {L"sPath"}).Text(), L"D:\\");
}

TEST(Frame, FileNameFromPathSplitsAtTheLastSeparator) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    auto name = [&](const wchar_t* path) {
        return Call(info.Get(), L"FileNameFromPath", DISPATCH_METHOD, {Arg::Text(path)}).Text();
    };
    EXPECT_EQ(name(L"C:\\a\\b.txt"), L"b.txt");
    EXPECT_EQ(name(L"b.txt"), L"b.txt");
    EXPECT_EQ(name(L"C:\\a\\"), L"");
    EXPECT_EQ(name(L"\\\\server\\share\\x"), L"x");
    EXPECT_EQ(name(L"C:file.txt"), L"C:file.txt");
    EXPECT_EQ(name(L""), L"");
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

TEST(Frame, BadArgumentsGiveTheStandardDispatchErrors) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    EXPECT_EQ(Call(info.Get(), L"FixPath", DISPATCH_METHOD, {}).hr, DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(Call(info.Get(), L"FixPath", DISPATCH_METHOD, {Arg::Text(L"a"), Arg::Text(L"b")}).hr,
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(info.Get(), L"NoSuchMember", DISPATCH_METHOD, {}).hr, DISP_E_UNKNOWNNAME);
    Arg object;
    V_VT(&object.value) = VT_UNKNOWN;
    V_UNKNOWN(&object.value) = info.Get();
    info->AddRef();
    CallResult mismatch = Call(info.Get(), L"FixPath", DISPATCH_METHOD, {object});
    EXPECT_EQ(mismatch.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(mismatch.argError, 0u);
    // A Boolean parameter refuses text that is no Boolean.
    CallResult notBoolean = Call(info.Get(), L"FolderFileSetAttribute", DISPATCH_METHOD,
                                 {Arg::Text(L"C:\\x"), Arg::Long(0), Arg::Text(L"maybe")});
    EXPECT_EQ(notBoolean.hr, DISP_E_TYPEMISMATCH);
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

TEST(Frame, TheFilenamePropertyOfFileWriterRoundTrips) {
    ComPtr<IDispatch> writer = Create(L"ZanKit.FileWriter");
    EXPECT_EQ(Get(writer.Get(), L"Filename").Text(), L"");
    EXPECT_EQ(Put(writer.Get(), L"Filename", Arg::Text(L"C:\\out.txt")).hr, S_OK);
    EXPECT_EQ(Get(writer.Get(), L"Filename").Text(), L"C:\\out.txt");
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

TEST(FolderCreate, CreatesEveryMissingLevelAndAnswersTrueForAnExistingFolder) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    std::wstring base = TempFolder();
    std::wstring deep = base + L"\\A\\B\\C";
    CallResult created = Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(deep)});
    EXPECT_EQ(V_BOOL(&created.value), VARIANT_TRUE);
    DWORD attributes = GetFileAttributesW(deep.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    CallResult again = Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(deep)});
    EXPECT_EQ(V_BOOL(&again.value), VARIANT_TRUE);
    // A drive that does not exist cannot be created: False without a report.
    TakeLoggerRecords();
    CallResult missingDrive = Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(L"Q:\\nothing\\here")});
    EXPECT_EQ(V_BOOL(&missingDrive.value), VARIANT_FALSE);
    EXPECT_TRUE(TakeLoggerRecords().empty());
}

TEST(Server, DllCanUnloadNowFollowsTheLiveObjects) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    HMODULE module = GetModuleHandleW(L"zankit.dll");
    ASSERT_NE(module, nullptr);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    info.Reset();
    CoFreeUnusedLibrariesEx(INFINITE, 0);
    // The DLL may now be gone; if it is still there, it must say it can go.
    module = GetModuleHandleW(L"zankit.dll");
    if (module) {
        canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        EXPECT_EQ(canUnload(), S_OK);
    }
}

TEST(Frame, DefaultTextsOfOptionalStringParametersAreInTheTypeLibrary) {
    // {2E0B2D6A-6C1B-4A0F-9E55-7A4C3B1D9F01}: the default text of an optional BSTR* parameter.
    const GUID stringDefault = {0x2e0b2d6a, 0x6c1b, 0x4a0f, {0x9e, 0x55, 0x7a, 0x4c, 0x3b, 0x1d, 0x9f, 0x01}};
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    ComPtr<ITypeInfo> dispatchInfo;
    ASSERT_EQ(info->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatchInfo.Put()), S_OK);
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtableInfo;
    ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(dispatchInfo->GetRefTypeInfo(ref, vtableInfo.Put()), S_OK);
    ComPtr<ITypeInfo2> info2;
    ASSERT_EQ(vtableInfo->QueryInterface(IID_ITypeInfo2, info2.PutVoid()), S_OK);
    auto defaultText = [&](UINT func, UINT param) {
        VARIANT value;
        VariantInit(&value);
        info2->GetParamCustData(func, param, stringDefault, &value);
        std::wstring text = V_VT(&value) == VT_BSTR ? FromBstr(V_BSTR(&value)) : L"<none>";
        VariantClear(&value);
        return text;
    };
    // BrowseForFolder is the 13th member (index 12), BrowseForFile the 14th (index 13).
    EXPECT_EQ(defaultText(12, 1), L"Desktop");
    EXPECT_EQ(defaultText(12, 5), L"Ordner suchen");
    // Stored escaped (type library strings are 8-bit); the dispatch glue unescapes it.
    EXPECT_EQ(defaultText(13, 3), L"\\u00D6ffnen");
}
