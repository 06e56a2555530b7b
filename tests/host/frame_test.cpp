// The COM frame as hosts see it: creation by ProgID, the type library's member order,
// late- and early-bound calls, argument handling and write-back, raised errors and error
// reports, the module's unload answer, and the text conversions against the platform's code pages.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "frame/text_conversion.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

using namespace hosttest;

namespace {

// The members of a dual interface in vtable order, blank-separated: a property whose get and put
// take two neighbouring slots is written "Name*", a slot left out shows as "<gap>".
std::wstring VtableOrder(IDispatch* object) {
    ComPtr<ITypeInfo> dispatchInfo, info;
    HREFTYPE ref = 0;
    TYPEATTR* attr = nullptr;
    if (!object || FAILED(object->GetTypeInfo(0, 0, dispatchInfo.Put())) ||
        FAILED(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
        FAILED(dispatchInfo->GetRefTypeInfo(ref, info.Put())) || FAILED(info->GetTypeAttr(&attr)))
        return L"<no type information>";
    std::map<SHORT, std::wstring> slots;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* desc = nullptr;
        BSTR name = nullptr;
        info->GetFuncDesc(i, &desc);
        info->GetDocumentation(desc->memid, &name, nullptr, nullptr, nullptr);
        slots[desc->oVft] = FromBstr(name);
        SysFreeString(name);
        info->ReleaseFuncDesc(desc);
    }
    info->ReleaseTypeAttr(attr);
    std::wstring order, last;
    size_t expected = 7 * sizeof(void*);
    for (const auto& [offset, name] : slots) {
        order += (static_cast<size_t>(offset) != expected ? L" <gap>" : L"") +
                 (name == last ? L"*" : (order.empty() ? L"" : L" ") + name);
        last = name;
        expected = static_cast<size_t>(offset) + sizeof(void*);
    }
    return order;
}

}  // namespace

TEST(Frame, EveryProgIdCreatesAndItsTypeLibraryKeepsTheSlotOrder) {
    const std::pair<const wchar_t*, const wchar_t*> classes[] = {
        {L"ZanKit.FileSysInfo",
         L"zanSysInfo zanFileInfo zanDriveInfo CDROMpresent zanFolderInfo FilesCopy FilesDelete FolderCreate "
         L"FolderMove FolderCopy FolderDelete FolderFileSetAttribute BrowseForFolder BrowseForFile SendMail ShellEx "
         L"CreateHyperlink CreateShortcut FileNameFromPath FixPath"},
        {L"ZanKit.FileIcon", L"GetAssociatedIcon"},
        {L"ZanKit.FileWriter", L"Filename* WriteLine WriteFinish Encoding*"},
        {L"ZanKit.clsSendMail",
         L"AsHTML* Attachment* BccRecipient* CcDisplayName* CcRecipient* ConnectRetry* ConnectTimeout* ContentBase* "
         L"Delimiter* EmailAddressValidation* EncodeType* from* FromDisplayName* MaxRecipients* Message* "
         L"MessageTimeout* Password* PersistentSettings* Priority* Receipt* Recipient* RecipientDisplayName* "
         L"ReplyToAddress* POP3Host* SMTPHost* SMTPHostValidation* SMTPPort* Subject* UseAuthentication* "
         L"UsePopAuthentication* Username* Connect Disconnect GetContentType GetIPAddress GetIPHost "
         L"IsValidEmailAddress MXQuery Ping Send DecodeBase64String Security* AllowInvalidCertificate* AuthMechanism* "
         L"AccessToken* OAuthTokenUrl* OAuthDeviceCodeUrl* OAuthAuthorizeUrl* OAuthClientId* OAuthClientSecret* "
         L"OAuthScope* OAuthRefreshToken* OAuthTokenExpires OAuthSignIn"},
        {L"ZanKit.WinHttpWrapper",
         L"IsWinHttpReady Terminate ErrorDescription OpenRequest SetRequestHeader Send ResponseText Status StatusText "
         L"GetResponseHeader GetAllResponseHeaders ResponseBody SetTimeouts SetProxy SetCredentials Option* "
         L"WaitForResponse Abort"},
    };
    for (const auto& [progId, slots] : classes) {
        EXPECT_EQ(VtableOrder(Create(progId).Get()), slots) << progId;
        EXPECT_TRUE(Create((std::wstring(progId) + L".1").c_str())) << progId << ".1";
    }
}

TEST(Frame, LateBoundArgumentsAreMatchedCoercedOrRefused) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    Arg object;
    V_VT(&object.value) = VT_UNKNOWN;
    V_UNKNOWN(&object.value) = info.Get();
    info->AddRef();
    const Arg path = Arg::Text(L"C:\\x"), no = Arg::Bool(false);
    const wchar_t* const kSet = L"FolderFileSetAttribute";
    const struct {
        const wchar_t* what;
        const wchar_t* member;
        std::vector<Arg> args;
        std::vector<std::wstring> names;  // named arguments: the last args, in this order
        HRESULT hr;
        std::wstring text{};  // the result as text ("" for a failed call)
        UINT argError = ~0u;  // checked when not ~0u
    } rows[] = {
        {L"a named argument", L"FixPath", {Arg::Text(L"D:")}, {L"sPath"}, S_OK, L"D:\\"},
        {L"a missing required argument", L"FixPath", {}, {}, DISP_E_PARAMNOTOPTIONAL},
        {L"one argument too many", L"FixPath", {Arg::Text(L"a"), Arg::Text(L"b")}, {}, DISP_E_BADPARAMCOUNT},
        {L"a named argument that does not exist", L"FixPath", {Arg::Text(L"a")}, {L"nope"}, DISP_E_UNKNOWNNAME},
        {L"an object for a String", L"FixPath", {object}, {}, DISP_E_TYPEMISMATCH, L"", 0},
        // rgvarg holds the last argument first: the third argument is at 0, the second at 1.
        {L"text for a Boolean (arg 3)", kSet, {path, Arg::Long(0), Arg::Text(L"?")}, {}, DISP_E_TYPEMISMATCH, L"", 0},
        {L"text for a Long (arg 2)", kSet, {path, Arg::Text(L"?"), no}, {}, DISP_E_TYPEMISMATCH, L"", 1},
        {L"a Long overflows (arg 2)", kSet, {path, Arg::Of(VT_R8, 1e20), no}, {}, DISP_E_OVERFLOW, L"", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CallResult result = CallNamed(info.Get(), row.member, DISPATCH_METHOD, row.args, row.names);
        EXPECT_EQ(result.hr, row.hr);
        EXPECT_EQ(result.Text(), row.text);
        if (row.argError != ~0u) {
            EXPECT_EQ(result.argError, row.argError);
        }
    }
    EXPECT_EQ(Call(info.Get(), L"NoSuchMember", DISPATCH_METHOD, {}).hr, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(Put(info.Get(), L"FixPath", Arg::Text(L"x")).hr, DISP_E_MEMBERNOTFOUND);
}

// Put() passes the value as the named argument DISPID_PROPERTYPUT, as every script host does
// (every writer test relies on it); some hosts give it positionally.
TEST(Frame, PropertyPutsTakeTheValueByPositionToo) {
    ComPtr<IDispatch> writer = Create(L"ZanKit.FileWriter");
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Filename")};
    ASSERT_EQ(writer->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    Arg value = Arg::Text(L"C:\\positional.txt");
    DISPPARAMS params = {&value.value, nullptr, 1, 0};
    EXPECT_EQ(writer->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Get(writer.Get(), L"Filename").Text(), L"C:\\positional.txt");
}

// A by-reference String parameter and the caller's variable: script variables
// (VT_BYREF|VT_VARIANT) keep their own type when the text fits it, VB's typed references get the
// text in their type.
TEST(Frame, ByRefWriteBackKeepsTheCallersVariableType) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    const struct {
        VARTYPE type;
        const wchar_t* text;
    } rows[] = {{VT_I2, L"5"}, {VT_I4, L"70000"}, {VT_R8, L"-2"}, {VT_BSTR, L"C:\\Temp"}};
    for (const auto& row : rows) {
        for (bool typedReference : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << row.type << " typed " << typedReference);
            Arg variable = Arg::Text(row.text);
            VariantChangeType(&variable.value, &variable.value, 0, row.type);
            Arg argument = Arg::RefTo(&variable.value);
            if (typedReference) {  // VB passes ByRef As Integer/Long/String like this
                V_VT(&argument.value) = VT_BYREF | row.type;
                V_BYREF(&argument.value) = &V_I4(&variable.value);
            }
            EXPECT_EQ(Call(info.Get(), L"FixPath", DISPATCH_METHOD, {argument}).Text(), row.text + std::wstring(L"\\"));
            EXPECT_EQ(V_VT(&variable.value), row.type);
            VariantChangeType(&variable.value, &variable.value, 0, VT_BSTR);
            EXPECT_EQ(FromBstr(V_BSTR(&variable.value)), row.text);
        }
    }
    // Where the written-back text does not fit the variable's type, the variable takes the text:
    // GetIPAddress writes the trimmed name back with a NUL at its end, and "127" + NUL is no number.
    Arg host = Arg::Of(VT_I2, 127);
    EXPECT_EQ(Call(Create(L"ZanKit.clsSendMail").Get(), L"GetIPAddress", DISPATCH_METHOD, {Arg::RefTo(&host.value)}).hr,
              S_OK);
    ASSERT_EQ(V_VT(&host.value), VT_BSTR);
    EXPECT_EQ(FromBstr(V_BSTR(&host.value)), std::wstring(L"127\0", 4));
    // A property put writes back as well: SMTPHost takes the NULs out of the caller's variable.
    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    Put(mail.Get(), L"SMTPHostValidation", Arg::Long(1));
    Arg name = Arg::Text(std::wstring(L"mail.exa\0mple.com", 17));
    EXPECT_EQ(Put(mail.Get(), L"SMTPHost", Arg::RefTo(&name.value)).hr, S_OK);
    EXPECT_EQ(TextOf(&name.value), L"mail.example.com");
    EXPECT_EQ(Get(mail.Get(), L"SMTPHost").Text(), L"mail.example.com");
}

TEST(Frame, EarlyBoundCallsWorkAndNullOutPointersAreRefusedWithEPointer) {
    ComPtr<IDispatch> object = Create(L"ZanKit.FileSysInfo");
    ComPtr<_FileSysInfo> info;
    ASSERT_EQ(object.As(info, IID__FileSysInfo), S_OK);
    BSTR path = SysAllocString(L"C:\\Windows");
    BSTR fixed = nullptr;
    EXPECT_EQ(info->FixPath(&path, &fixed), S_OK);
    EXPECT_EQ(FromBstr(fixed), L"C:\\Windows\\");
    SysFreeString(fixed);

    ComPtr<IDispatch> mail = Create(L"ZanKit.clsSendMail");
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(mail.As(container, IID_IConnectionPointContainer), S_OK);
    ASSERT_EQ(container->FindConnectionPoint(DIID___clsSendMail, point.Put()), S_OK);
    ASSERT_EQ(mail.As(classInfo, IID_IProvideClassInfo2), S_OK);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"FixPath")};
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

// After Terminate the wrapper has no request object: run-time error 91 for every call. The
// scripts see it late bound; an early-bound caller gets the HRESULT and the error object.
TEST(Frame, ARaisedErrorReachesEarlyBoundCallers) {
    ComPtr<IDispatch> http = Create(L"ZanKit.WinHttpWrapper");
    ComPtr<_WinHttpWrapper> early;
    ComPtr<ISupportErrorInfo> supports;
    ASSERT_EQ(http.As(early, IID__WinHttpWrapper), S_OK);
    ASSERT_EQ(http.As(supports, IID_ISupportErrorInfo), S_OK);
    ASSERT_EQ(early->Terminate(), S_OK);
    Arg method = Arg::Text(L"GET"), url = Arg::Text(L"http://127.0.0.1/");
    VARIANT_BOOL async = VARIANT_FALSE;
    EXPECT_EQ(early->OpenRequest(&V_BSTR(&method.value), &V_BSTR(&url.value), &async),
              static_cast<HRESULT>(0x800A005B));
    EXPECT_EQ(supports->InterfaceSupportsErrorInfo(IID__WinHttpWrapper), S_OK);
    ComPtr<IErrorInfo> error;
    ASSERT_EQ(GetErrorInfo(0, error.Put()), S_OK);
    Arg description;
    V_VT(&description.value) = VT_BSTR;
    error->GetDescription(&V_BSTR(&description.value));
    EXPECT_EQ(FromBstr(V_BSTR(&description.value)), L"Object variable or With block variable not set");
}

TEST(ErrorReports, AFailingMemberReachesTheLoggerAndWithoutOneNothingIsRaised) {
    RegisterTestLogger(true);
    TakeLoggerRecords();
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    // Title, path, version, tag, text, the two Booleans, then the argument types: the App
    // object by value and the four others by reference. An empty path is a bad path as well.
    for (const wchar_t* path : {L"relative\\path", L""}) {
        EXPECT_EQ(Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(path)}).Flag(), 0);
        std::vector<std::wstring> records = TakeLoggerRecords();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].substr(0, 7), L"ZanKit\t");
        EXPECT_NE(records[0].find(L"\t1.0\tZanKit|FileSysInfo:FolderCreate#0\t1000:(Bad path: )|| " +
                                  std::wstring(path) + L"\t0\t-1\t9,16392,16392,16395,16395"),
                  std::wstring::npos)
            << records[0];
    }
    RegisterTestLogger(false);
    info = Create(L"ZanKit.FileSysInfo");
    EXPECT_EQ(Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(L"x")}).Flag(), 0);
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
    const struct {
        const wchar_t* what;
        std::wstring path, created;  // created: the folder that must exist afterwards
    } rows[] = {
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
    for (const auto& row : rows) {
        EXPECT_EQ(Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(row.path)}).Flag(), 1) << row.what;
        std::wstring check = row.created.size() >= MAX_PATH - 12 ? L"\\\\?\\" + row.created : row.created;
        DWORD attributes = GetFileAttributesW(check.c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << row.what;
    }
    // A drive that does not exist cannot be created: False without a report.
    TakeLoggerRecords();
    EXPECT_EQ(Call(info.Get(), L"FolderCreate", DISPATCH_METHOD, {Arg::Text(L"Q:\\nothing\\here")}).Flag(), 0);
    EXPECT_TRUE(TakeLoggerRecords().empty());
}

TEST(Server, DllCanUnloadNowAnswersOkAfterTheLastRelease) {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    // A collection handed out keeps the module busy as long as the object that made it.
    CallResult names = Call(info.Get(), L"zanFolderInfo", DISPATCH_METHOD, {Arg::Text(TempFolder()), Arg::Long(59)});
    info.Reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    VariantClear(&names.value);
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

// What converts comes back unchanged, what cannot is an error, never a shortened text.
TEST(TextConversion, RoundTripsAndRefusals) {
    using namespace zankit;
    const std::wstring text = L"Gr\u00FC\u00DFe \u20AC \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(FromUtf8(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));  // NULs are text like any other
    EXPECT_THROW(ToUtf8(std::wstring{L'a', wchar_t(0xD800), L'b'}), TextConversionError);  // a lone surrogate
    EXPECT_THROW(FromUtf8("a\xC3"), TextConversionError);                                  // cut short
    EXPECT_THROW(FromUtf8("\xFF\xFE"), TextConversionError);                               // no UTF-8 at all
}
