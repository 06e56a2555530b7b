#include "dialog_support.h"

#include <commdlg.h>
#include <shlobj.h>

#include "dialog_driver.h"
#include "frame/zankit_interfaces.h"
#include "host_support.h"

namespace hosttest {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\Postwerk\\Dialogs";
constexpr int kFolderTitleId = 0x3742;
constexpr int kFolderStatusId = 0x3743;
constexpr int kFileNameId = 0x480;  // edt1
constexpr int kFilterId = 0x470;    // cmb1

std::wstring ComboText(HWND combo, LRESULT index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
    if (length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace

std::wstring RememberedFolder() {
    wchar_t text[MAX_PATH * 4] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"LastDir", RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    return text;
}

void SetRememberedFolder(const std::wstring& folder) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"LastDir", REG_SZ, folder.c_str(),
                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

void ForgetRememberedFolder() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"LastDir"); }

zankit::ComPtr<IDispatch> CreateFolderBrowserObject() {
    zankit::ComPtr<IDispatch> browser;
    // The DLL that FileSysInfo is registered with.
    wchar_t path[MAX_PATH] = {};
    LONG size = sizeof(path);
    RegQueryValueW(HKEY_CLASSES_ROOT, L"CLSID\\{CBDC7FB2-21FD-42CA-B3F7-50953ADCD9D6}\\InprocServer32", path, &size);
    HMODULE library = LoadLibraryW(path);
    if (!library) return browser;
    using Entry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    zankit::ComPtr<IClassFactory> factory;
    if (entry && SUCCEEDED(entry(CLSID_cBrowseForFolder, IID_IClassFactory, factory.PutVoid()))) {
        factory->CreateInstance(nullptr, IID_IDispatch, browser.PutVoid());
    }
    return browser;
}

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, folder);
    return folder;
}

// A name no earlier run has used: process ids repeat between runs of a fresh Wine server.
std::wstring UniqueName() {
    static int counter = 0;
    return L"zankit-dialog-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
}

// Removes the folders made below C:\ (and the files in them) when the test program ends.
class ShortFolders {
public:
    ~ShortFolders() {
        for (const std::wstring& folder : folders_) {
            WIN32_FIND_DATAW entry;
            HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
            if (search != INVALID_HANDLE_VALUE) {
                do {
                    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                        DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
                    }
                } while (FindNextFileW(search, &entry));
                FindClose(search);
            }
            RemoveDirectoryW((folder + L"\\Unter").c_str());
            RemoveDirectoryW(folder.c_str());
        }
    }
    void Add(const std::wstring& folder) { folders_.push_back(folder); }

private:
    std::vector<std::wstring> folders_;
};

std::wstring ShortFolder() {
    static ShortFolders made;
    const std::wstring folder = L"C:\\" + UniqueName();
    CreateDirectoryW(folder.c_str(), nullptr);
    made.Add(folder);
    return folder;
}

std::wstring FolderWithFiles(const std::vector<std::wstring>& names) {
    const std::wstring folder = TempFolder() + L"\\" + UniqueName();
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const std::wstring& name : names) {
        HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return folder;
}

// ---- the event sink -------------------------------------------------------------------------

STDMETHODIMP FolderBrowserSink::QueryInterface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID___cBrowseForFolder)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FolderBrowserSink::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP FolderBrowserSink::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

STDMETHODIMP FolderBrowserSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    // Arguments arrive last first.
    Event event{id, {}, 0};
    if (id == 1 && params->cArgs == 1) {
        event.window = V_I4(&params->rgvarg[0]);
        events.push_back(event);
        if (onInitialized) onInitialized(reinterpret_cast<HWND>(static_cast<LONG_PTR>(event.window)));
    } else if ((id == 2 || id == 3) && params->cArgs == 2) {
        event.text = FromBstr(V_BSTR(&params->rgvarg[1]));
        events.push_back(event);
        VARIANT_BOOL* flag = V_BOOLREF(&params->rgvarg[0]);
        if (id == 2 && allowOk && !allowOk(event.text)) *flag = VARIANT_FALSE;
        if (id == 3 && keepOpen) *flag = VARIANT_TRUE;
    }
    return S_OK;
}

DWORD AdviseFolderBrowser(IDispatch* browser, IDispatch* sink) {
    zankit::ComPtr<IConnectionPointContainer> container;
    zankit::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    if (SUCCEEDED(browser->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
        SUCCEEDED(container->FindConnectionPoint(DIID___cBrowseForFolder, point.Put()))) {
        point->Advise(sink, &cookie);
    }
    return cookie;
}

// ---- the folder dialog ----------------------------------------------------------------------

HWND FolderTree(HWND dialog) { return FindDescendant(dialog, WC_TREEVIEWW); }
std::wstring FolderPrompt(HWND dialog) { return TextOf(GetDlgItem(dialog, kFolderTitleId)); }
std::wstring FolderStatus(HWND dialog) { return TextOf(GetDlgItem(dialog, kFolderStatusId)); }

void SelectTreeItem(HWND tree, HTREEITEM item) {
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

std::vector<HTREEITEM> ChildItems(HWND tree, HTREEITEM parent) {
    std::vector<HTREEITEM> items;
    if (parent) SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    while (item) {
        items.push_back(item);
        item =
            reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    return items;
}

// ---- the file dialog ------------------------------------------------------------------------

HWND FileNameBox(HWND dialog) {
    HWND box = FindDescendant(dialog, L"Edit", kFileNameId);
    return box ? box : FindDescendant(dialog, L"Edit");
}

std::wstring SelectedFilter(HWND dialog) {
    HWND combo = FindDescendant(dialog, L"ComboBox", kFilterId);
    return combo ? ComboText(combo, SendMessageW(combo, CB_GETCURSEL, 0, 0)) : std::wstring();
}

std::vector<std::wstring> FilterChoices(HWND dialog) {
    std::vector<std::wstring> choices;
    HWND combo = FindDescendant(dialog, L"ComboBox", kFilterId);
    const LRESULT count = combo ? SendMessageW(combo, CB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i) choices.push_back(ComboText(combo, i));
    return choices;
}

std::wstring DialogFolder(HWND dialog) {
    wchar_t folder[MAX_PATH * 4] = {};
    SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH * 4, reinterpret_cast<LPARAM>(folder));
    return folder;
}

void ChooseFiles(HWND dialog, const std::wstring& nameBoxText) {
    SetTextOf(FileNameBox(dialog), nameBoxText);
    Press(dialog, IDOK);
}

}  // namespace hosttest
