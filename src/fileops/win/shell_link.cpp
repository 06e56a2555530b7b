// CreateShortcut: creates a shell link (".lnk") to an existing file or folder
// through the shell's link object. Answers the HRESULT of the last call made (0 = saved).
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "fileops/win/fileops_members.h"
#include "frame/bstr.h"
#include "frame/com_ptr.h"
#include "frame/error_info.h"
#include "frame/raised_error.h"
#include "paths/path_text.h"
#include "shell/win/item_id_list.h"

namespace zankit::fileops {
namespace {

// Initialises COM for the thread and undoes it only when this call did the initialising or
// added a reference to it. In a thread that already lives in the multithreaded apartment the
// answer is "changed mode": COM is usable there, and nothing is undone.
class ComForThisCall {
public:
    ComForThisCall() : answer_(CoInitialize(nullptr)) {}
    ~ComForThisCall() {
        if (SUCCEEDED(answer_)) CoUninitialize();
    }
    ComForThisCall(const ComForThisCall&) = delete;
    ComForThisCall& operator=(const ComForThisCall&) = delete;

    bool Usable() const { return SUCCEEDED(answer_) || answer_ == RPC_E_CHANGED_MODE; }
    HRESULT Answer() const { return answer_; }

private:
    HRESULT answer_;
};

struct ShortcutRequest {
    std::wstring linkFile;
    std::wstring title;
    std::wstring target;
    std::wstring workingDir;
    std::wstring iconPath;
    int iconIndex = 0;
    WORD hotKey = 0;
    int showCommand = 0;
};

// Sets every part of the link and saves it; stops at the first call that answers anything but
// S_OK (a success code such as S_FALSE too: the caller gets that code, as for a failure).
HRESULT FillAndSave(IShellLinkW* link, PCIDLIST_ABSOLUTE target, const ShortcutRequest& request) {
    HRESULT hr = link->SetIDList(target);
    if (hr != S_OK) return hr;
    hr = link->SetDescription(request.title.c_str());
    if (hr != S_OK) return hr;
    if (!request.workingDir.empty()) {
        hr = link->SetWorkingDirectory(paths::StripTrailingSeparator(request.workingDir).c_str());
        if (hr != S_OK) return hr;
    }
    if (!request.iconPath.empty()) {
        hr = link->SetIconLocation(request.iconPath.c_str(), request.iconIndex);
        if (hr != S_OK) return hr;
    }
    if (request.hotKey != 0) {
        hr = link->SetHotkey(request.hotKey);
        if (hr != S_OK) return hr;
    }
    if (request.showCommand != 0) {
        hr = link->SetShowCmd(request.showCommand);
        if (hr != S_OK) return hr;
    }
    hr = link->Resolve(nullptr, SLR_UPDATE);
    if (hr != S_OK) return hr;
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.PutVoid());
    if (hr != S_OK) return hr;
    return file->Save(request.linkFile.c_str(), FALSE);
}

HRESULT CreateLink(const ShortcutRequest& request) {
    ComForThisCall com;
    if (!com.Usable()) return com.Answer();
    ComPtr<IShellFolder> desktop;
    HRESULT hr = SHGetDesktopFolder(desktop.Put());
    if (hr != S_OK) return hr;
    shell::ItemIdList target;
    std::wstring targetName = request.target;  // ParseDisplayName takes a writable string
    hr = desktop->ParseDisplayName(nullptr, nullptr, targetName.data(), nullptr, target.Put(), nullptr);
    if (hr != S_OK) return hr;
    ComPtr<IShellLinkW> link;
    hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
    if (hr != S_OK) return hr;
    return FillAndSave(link.Get(), target.Get(), request);
}

}  // namespace

HRESULT CreateShortcut(BSTR title, BSTR targetFile, BSTR createInPath, BSTR workingDir, BSTR iconPath, LONG iconIndex,
                       BYTE hotKey, HOTKEYF hotKeyModifier, SW showCommand, LONG* result) {
    if (!result) return E_POINTER;
    *result = 0;
    const long modifier = static_cast<long>(hotKeyModifier);
    if (hotKey != 0 && (modifier < 0 || modifier > 255)) throw RaisedError{VbError(6), L"Overflow"};
    ShortcutRequest request;
    request.title = FromBstr(title);
    request.linkFile = paths::FixPath(FromBstr(createInPath)) + request.title + L".lnk";
    request.target = FromBstr(targetFile);
    request.workingDir = FromBstr(workingDir);
    request.iconPath = FromBstr(iconPath);
    request.iconIndex = static_cast<int>(iconIndex);
    request.hotKey = static_cast<WORD>(hotKey | (modifier << 8));
    request.showCommand = static_cast<int>(showCommand);
    *result = CreateLink(request);
    return S_OK;
}

}  // namespace zankit::fileops
