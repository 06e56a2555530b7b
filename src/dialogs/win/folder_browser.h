// cBrowseForFolder: the shell's folder-browse dialog as an automation object. Its
// properties make the request; while the dialog runs it raises Initialized,
// SelectionChanged and ValidationFailed to advised sinks and to one in-library listener
// (FileSysInfo.BrowseForFolder), and SetFolder/SetStatus steer the open dialog.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/folder_browser_rules.h"
#include "frame/dispatch_object.h"
#include "frame/event_source.h"
#include "frame/zankit_interfaces.h"
#include "shell/win/item_id_list.h"

namespace zankit::dialogs {

// What a member of the library does with the dialog's notifications.
class FolderBrowserListener {
public:
    virtual void Initialized(HWND dialog) = 0;
    virtual void SelectionChanged(const std::wstring& path, bool& allowOk) = 0;

protected:
    ~FolderBrowserListener() = default;
};

class FolderBrowser final : public DispatchObject<_cBrowseForFolder> {
public:
    FolderBrowser();

    void SetListener(FolderBrowserListener* listener) { listener_ = listener; }

    // Shows the dialog; the chosen folder's path ("" after Cancel or for an item without
    // one). A root or initial folder that cannot be expanded gives a raised error.
    HRESULT Browse(std::wstring& answer);

    // From the dialog's callback, on the dialog's thread.
    void OnInitialized(HWND dialog);
    void OnSelectionChanged(HWND dialog, LPCITEMIDLIST item);
    LRESULT OnValidationFailed(HWND dialog, const std::wstring& typedName);

    STDMETHODIMP get_SpecialFolderLocation(LONG folder, BSTR* path) override;
    STDMETHODIMP get_EditBox(VARIANT_BOOL* state) override;
    STDMETHODIMP put_EditBox(VARIANT_BOOL state) override;
    STDMETHODIMP get_StatusText(VARIANT_BOOL* state) override;
    STDMETHODIMP put_StatusText(VARIANT_BOOL state) override;
    STDMETHODIMP get_FileSystemOnly(VARIANT_BOOL* state) override;
    STDMETHODIMP put_FileSystemOnly(VARIANT_BOOL state) override;
    STDMETHODIMP get_ValidateEditBox(VARIANT_BOOL* state) override;
    STDMETHODIMP put_ValidateEditBox(VARIANT_BOOL state) override;
    STDMETHODIMP get_UseNewUI(VARIANT_BOOL* state) override;
    STDMETHODIMP put_UseNewUI(VARIANT_BOOL state) override;
    STDMETHODIMP get_Title(BSTR* title) override;
    STDMETHODIMP put_Title(BSTR title) override;
    STDMETHODIMP get_hwndOwner(LONG* window) override;
    STDMETHODIMP put_hwndOwner(LONG window) override;
    STDMETHODIMP get_InitialDir(BSTR* folder) override;
    STDMETHODIMP put_InitialDir(BSTR folder) override;
    STDMETHODIMP get_RootDir(BSTR* folder) override;
    STDMETHODIMP put_RootDir(BSTR folder) override;
    STDMETHODIMP put_Caption(BSTR caption) override;
    STDMETHODIMP BrowseForFolder(BSTR* path) override;
    STDMETHODIMP get_DisplayName(VARIANT* name) override;
    STDMETHODIMP SetFolder(BSTR path) override;
    STDMETHODIMP SetStatus(BSTR text) override;

private:
    ~FolderBrowser() override;
    void* QueryOtherInterface(REFIID riid) override { return events_.Find(riid); }

    // The item of a path, expanded against the current directory (path is replaced by the
    // expanded text); an empty list when the shell cannot parse it. A path the system cannot
    // expand gives a raised error.
    HRESULT PathToItem(std::wstring& path, shell::ItemIdList& item);
    HRESULT RaiseNotShowing();
    bool FireFlagEvent(const wchar_t* eventName, const std::wstring& text, bool flag);

    EventSource events_;
    FolderBrowserListener* listener_ = nullptr;
    HWND owner_ = nullptr;
    std::wstring title_ = L"W\u00E4hle einen Ordner";
    std::wstring initialDir_;
    std::wstring rootDir_;
    FolderBrowserSettings settings_;
    std::wstring displayName_;
    shell::ItemIdList initialItem_;
    bool showing_ = false;
    HWND dialog_ = nullptr;
    std::wstring caption_;
};

HRESULT CreateFolderBrowser(REFIID iid, void** out);

// The shell calls it with the dialog's notifications; data is the FolderBrowser showing it.
int CALLBACK BrowseCallbackProc(HWND dialog, UINT message, LPARAM parameter, LPARAM data);

}  // namespace zankit::dialogs
