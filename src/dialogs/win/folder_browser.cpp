#include "dialogs/win/folder_browser.h"

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include "frame/bstr.h"
#include "frame/error_info.h"
#include "frame/out_param.h"
#include "shell/shell_folders.h"

namespace zankit::dialogs {
namespace {

constexpr wchar_t kErrorSource[] = L"ZanKit.cBrowseForFolder";

// The system's message text for an error code, as FormatMessage gives it.
std::wstring SystemMessage(DWORD code) {
    wchar_t text[256] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, 256, nullptr);
    return std::wstring(text, length);
}

// The name the shell shows for an item, for shells that leave the request's buffer empty.
std::wstring DisplayNameOf(LPCITEMIDLIST item) {
    SHFILEINFOW information{};
    if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(item), 0, &information, sizeof(information),
                        SHGFI_PIDL | SHGFI_DISPLAYNAME)) {
        return {};
    }
    information.szDisplayName[MAX_PATH - 1] = L'\0';
    return information.szDisplayName;
}

}  // namespace

FolderBrowser::FolderBrowser()
    : DispatchObject(IID__cBrowseForFolder, kErrorSource),
      events_(static_cast<_cBrowseForFolder*>(this), CLSID_cBrowseForFolder, DIID___cBrowseForFolder) {}

FolderBrowser::~FolderBrowser() { events_.DisconnectAll(); }

HRESULT FolderBrowser::RaiseNotShowing() {
    return Raise(VbError(26002), L"Operation invalid unless dialog is displayed.");
}

HRESULT FolderBrowser::PathToItem(std::wstring& path, shell::ItemIdList& item) {
    item.Reset();
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring expanded(needed, L'\0');
    const DWORD written = needed ? GetFullPathNameW(path.c_str(), needed, expanded.data(), nullptr) : 0;
    if (written == 0 || written >= needed) {
        const DWORD code = GetLastError();
        return Raise(ObjectError(29000 + static_cast<int>(code)), SystemMessage(code));
    }
    expanded.resize(written);
    path = expanded;
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Put()))) return S_OK;
    HRESULT parsed = desktop->ParseDisplayName(nullptr, nullptr, expanded.data(), nullptr, item.Put(), nullptr);
    if (parsed != S_OK) item.Reset();
    return S_OK;
}

HRESULT FolderBrowser::Browse(std::wstring& answer) {
    answer.clear();
    shell::ItemIdList rootItem;
    if (!rootDir_.empty()) {
        HRESULT hr = PathToItem(rootDir_, rootItem);
        if (FAILED(hr)) return hr;
    }
    if (!initialDir_.empty()) {
        HRESULT hr = PathToItem(initialDir_, initialItem_);
        if (FAILED(hr)) return hr;
    }
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW request{};
    request.hwndOwner = owner_;
    request.pidlRoot = rootItem.Get();
    request.pszDisplayName = displayName;
    request.lpszTitle = title_.c_str();
    request.ulFlags = FolderRequestFlags(settings_);
    request.lpfn = &BrowseCallbackProc;
    request.lParam = reinterpret_cast<LPARAM>(this);

    AddRef();  // the dialog's callback holds on to the object until the dialog is gone
    showing_ = true;
    shell::ItemIdList chosen(SHBrowseForFolderW(&request));
    showing_ = false;
    dialog_ = nullptr;
    displayName[MAX_PATH - 1] = L'\0';
    displayName_ = displayName;
    if (displayName_.empty() && chosen.Get()) displayName_ = DisplayNameOf(chosen.Get());
    answer = shell::FileSystemPathOf(chosen.Get());
    initialItem_.Reset();
    Release();
    return S_OK;
}

void FolderBrowser::OnInitialized(HWND dialog) {
    if (initialItem_.Get())
        SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(initialItem_.Get()));
    dialog_ = dialog;
    if (!caption_.empty()) SetWindowTextW(dialog, caption_.c_str());
    VARIANT window;
    VariantInit(&window);
    V_VT(&window) = VT_I4;
    V_I4(&window) = HandleToLong(dialog);
    events_.Fire(L"Initialized", &window, 1);
    if (listener_) listener_->Initialized(dialog);
}

bool FolderBrowser::FireFlagEvent(const wchar_t* eventName, const std::wstring& text, bool flag) {
    Bstr textValue(text);
    VARIANT_BOOL flagValue = flag ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    V_VT(&args[0]) = VT_BYREF | VT_BOOL;  // arguments in reverse order: the flag is the last one
    V_BOOLREF(&args[0]) = &flagValue;
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = textValue.Get();
    events_.Fire(eventName, args, 2);
    return flagValue != VARIANT_FALSE;
}

void FolderBrowser::OnSelectionChanged(HWND dialog, LPCITEMIDLIST item) {
    const std::wstring path = shell::FileSystemPathOf(item);
    SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path.c_str()));
    bool allowOk = FireFlagEvent(L"SelectionChanged", path, true);
    if (listener_) listener_->SelectionChanged(path, allowOk);
    if (!allowOk) {
        SendMessageW(dialog, BFFM_ENABLEOK, 0, 0);
        // Some shells check the selection themselves after this notification and enable OK
        // again; the posted request comes after that check.
        PostMessageW(dialog, BFFM_ENABLEOK, 0, 0);
    }
}

LRESULT FolderBrowser::OnValidationFailed(HWND dialog, const std::wstring& typedName) {
    SendMessageW(dialog, BFFM_ENABLEOK, 0, 0);
    const std::wstring text = InvalidPathText(typedName);
    SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return FireFlagEvent(L"ValidationFailed", text, false) ? 1 : 0;
}

// ---- properties --------------------------------------------------------------------------

STDMETHODIMP FolderBrowser::get_SpecialFolderLocation(LONG folder, BSTR* path) {
    if (!path) return E_POINTER;
    return Guarded([&] { return ToBstr(shell::SpecialFolderLocation(folder), path); });
}

STDMETHODIMP FolderBrowser::get_EditBox(VARIANT_BOOL* state) { return PutFlag(state, settings_.editBox); }
STDMETHODIMP FolderBrowser::put_EditBox(VARIANT_BOOL state) {
    settings_.editBox = state != VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP FolderBrowser::get_StatusText(VARIANT_BOOL* state) { return PutFlag(state, settings_.statusText); }
STDMETHODIMP FolderBrowser::put_StatusText(VARIANT_BOOL state) {
    settings_.statusText = state != VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP FolderBrowser::get_FileSystemOnly(VARIANT_BOOL* state) { return PutFlag(state, settings_.fileSystemOnly); }
STDMETHODIMP FolderBrowser::put_FileSystemOnly(VARIANT_BOOL state) {
    settings_.fileSystemOnly = state != VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP FolderBrowser::get_ValidateEditBox(VARIANT_BOOL* state) {
    return PutFlag(state, settings_.validateEditBox);
}
STDMETHODIMP FolderBrowser::put_ValidateEditBox(VARIANT_BOOL state) {
    settings_.validateEditBox = state != VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP FolderBrowser::get_UseNewUI(VARIANT_BOOL* state) { return PutFlag(state, settings_.useNewUI); }
STDMETHODIMP FolderBrowser::put_UseNewUI(VARIANT_BOOL state) {
    settings_.useNewUI = state != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP FolderBrowser::get_Title(BSTR* title) {
    if (!title) return E_POINTER;
    return Guarded([&] { return ToBstr(title_, title); });
}
STDMETHODIMP FolderBrowser::put_Title(BSTR title) {
    return Guarded([&] {
        title_ = FromBstr(title);
        return S_OK;
    });
}
STDMETHODIMP FolderBrowser::get_hwndOwner(LONG* window) {
    if (!window) return E_POINTER;
    *window = HandleToLong(owner_);
    return S_OK;
}
STDMETHODIMP FolderBrowser::put_hwndOwner(LONG window) {
    owner_ = static_cast<HWND>(LongToHandle(window));
    return S_OK;
}
STDMETHODIMP FolderBrowser::get_InitialDir(BSTR* folder) {
    if (!folder) return E_POINTER;
    return Guarded([&] { return ToBstr(initialDir_, folder); });
}
STDMETHODIMP FolderBrowser::put_InitialDir(BSTR folder) {
    return Guarded([&] {
        initialDir_ = FromBstr(folder);
        return S_OK;
    });
}
STDMETHODIMP FolderBrowser::get_RootDir(BSTR* folder) {
    if (!folder) return E_POINTER;
    return Guarded([&] { return ToBstr(rootDir_, folder); });
}
STDMETHODIMP FolderBrowser::put_RootDir(BSTR folder) {
    return Guarded([&] {
        rootDir_ = FromBstr(folder);
        return S_OK;
    });
}
STDMETHODIMP FolderBrowser::put_Caption(BSTR caption) {
    return Guarded([&] {
        caption_ = FromBstr(caption);
        return S_OK;
    });
}

// ---- methods -----------------------------------------------------------------------------

STDMETHODIMP FolderBrowser::BrowseForFolder(BSTR* path) {
    if (!path) return E_POINTER;
    if (showing_) return Raise(E_UNEXPECTED, L"The dialog is already displayed.");
    return Guarded([&] {
        std::wstring answer;
        HRESULT hr = Browse(answer);
        if (FAILED(hr)) return hr;
        return ToBstr(answer, path);
    });
}

STDMETHODIMP FolderBrowser::get_DisplayName(VARIANT* name) {
    if (!name) return E_POINTER;
    return Guarded([&] {
        VariantInit(name);
        BSTR text = nullptr;
        HRESULT hr = ToBstr(displayName_, &text);
        if (FAILED(hr)) return hr;
        V_VT(name) = VT_BSTR;
        V_BSTR(name) = text;
        return S_OK;
    });
}

STDMETHODIMP FolderBrowser::SetFolder(BSTR path) {
    if (!showing_ || !dialog_) return RaiseNotShowing();
    return Guarded([&] {
        std::wstring folder = FromBstr(path);
        shell::ItemIdList item;
        HRESULT hr = PathToItem(folder, item);
        if (FAILED(hr)) return hr;
        SendMessageW(dialog_, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(item.Get()));
        SetFocus(dialog_);
        return S_OK;
    });
}

STDMETHODIMP FolderBrowser::SetStatus(BSTR text) {
    if (!showing_ || !dialog_) return RaiseNotShowing();
    return Guarded([&] {
        const std::wstring status = FromBstr(text);
        SendMessageW(dialog_, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
        return S_OK;
    });
}

HRESULT CreateFolderBrowser(REFIID iid, void** out) { return CreateAndQuery<FolderBrowser>(iid, out); }

}  // namespace zankit::dialogs
