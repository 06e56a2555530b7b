// Shared by the dialog host tests: the remembered folder in the registry, the folder
// browser object reached through the library's class object, an event sink for it, and
// the controls of the two dialogs as a user finds them.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "frame/com_ptr.h"

namespace hosttest {

// The folder remembered between dialogs; "" when none is stored.
std::wstring RememberedFolder();
void SetRememberedFolder(const std::wstring& folder);
void ForgetRememberedFolder();

// A cBrowseForFolder object straight from the DLL's class object (the class is not registered).
zankit::ComPtr<IDispatch> CreateFolderBrowserObject();

// The current directory of this process.
std::wstring CurrentFolder();
// A fresh folder right below C:\ (the folder dialog finds short paths quickest).
std::wstring ShortFolder();
// A fresh folder with these (empty) files in it.
std::wstring FolderWithFiles(const std::vector<std::wstring>& names);

// Records the folder browser's events; handlers may answer them.
class FolderBrowserSink final : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::wstring text;
        long window = 0;
    };
    std::vector<Event> events;
    std::function<void(HWND)> onInitialized;
    std::function<bool(const std::wstring&)> allowOk;  // answer of SelectionChanged
    bool keepOpen = false;                             // answer of ValidationFailed

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    ULONG references_ = 1;
};

// Advises the sink on the object; the cookie for Unadvise, 0 on failure.
DWORD AdviseFolderBrowser(IDispatch* browser, IDispatch* sink);

// The folder dialog's controls.
HWND FolderTree(HWND dialog);
std::wstring FolderPrompt(HWND dialog);
std::wstring FolderStatus(HWND dialog);
// Selects a tree item as a click would (the dialog is told of the change).
void SelectTreeItem(HWND tree, HTREEITEM item);
std::vector<HTREEITEM> ChildItems(HWND tree, HTREEITEM parent);

// The file dialog's controls.
HWND FileNameBox(HWND dialog);
std::wstring SelectedFilter(HWND dialog);
std::vector<std::wstring> FilterChoices(HWND dialog);
std::wstring DialogFolder(HWND dialog);  // the folder it shows
// Types the names into the name box and presses OK, as a user does.
void ChooseFiles(HWND dialog, const std::wstring& nameBoxText);

}  // namespace hosttest
