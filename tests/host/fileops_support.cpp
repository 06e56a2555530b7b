#include "fileops_support.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <functional>

#include "frame/com_ptr.h"

namespace fileopstest {

std::wstring FreshFolder() {
    GUID id = {};
    CoCreateGuid(&id);
    wchar_t text[64] = {};
    StringFromGUID2(id, text, 64);
    const std::wstring folder = hosttest::TempFolder() + L"\\fileops-" + std::wstring(text).substr(1, 8);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

std::vector<std::wstring> RecycleBinNames() {
    std::vector<std::wstring> names;
    hosttest::ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Put()))) return names;
    LPITEMIDLIST binId = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &binId))) return names;
    hosttest::ComPtr<IShellFolder> bin;
    HRESULT hr = desktop->BindToObject(binId, nullptr, IID_IShellFolder, bin.PutVoid());
    CoTaskMemFree(binId);
    if (FAILED(hr)) return names;
    hosttest::ComPtr<IEnumIDList> items;
    if (bin->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, items.Put()) != S_OK)
        return names;
    LPITEMIDLIST item = nullptr;
    while (items->Next(1, &item, nullptr) == S_OK) {
        STRRET name = {};
        wchar_t* text = nullptr;
        if (SUCCEEDED(bin->GetDisplayNameOf(item, SHGDN_NORMAL, &name)) &&
            SUCCEEDED(StrRetToStrW(&name, item, &text))) {
            names.push_back(text);
            CoTaskMemFree(text);
        }
        CoTaskMemFree(item);
    }
    return names;
}

namespace {
std::string HostPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    char* unix = toUnix(path.c_str());
    if (!unix) return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Starts a command with the host's shell and waits until `done` says its work is there (at
// most a minute). Wine hands out no usable process handle for a host program, so the work
// itself is what the caller waits for. The command goes as one argument in double quotes and
// quotes its own arguments with single quotes.
bool RunOnHost(const std::string& command, const std::function<bool()>& done) {
    std::wstring line = L"sh -c \"" + std::wstring(command.begin(), command.end()) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    for (int waited = 0; waited < 60000; waited += 50) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

}  // namespace

bool MakeHostSymlink(const std::wstring& target, const std::wstring& link) {
    const std::string from = HostPath(target);
    const std::string to = HostPath(link);
    return !from.empty() && !to.empty() &&
           RunOnHost("ln -sfn '" + from + "' '" + to + "'", [&] { return Exists(link); });
}

bool MakeManyOnHost(const std::wstring& folder, const char* prefix, int count, bool folders) {
    const std::string where = HostPath(folder);
    if (where.empty() || count < 1) return false;
    // The last name appears last: xargs works through the names in order.
    const std::wstring last =
        folder + L"\\" + std::wstring(prefix, prefix + strlen(prefix)) + std::to_wstring(count - 1);
    return RunOnHost("cd '" + where + "' && seq -f '" + prefix + "%.0f' 0 " + std::to_string(count - 1) + " | xargs " +
                         (folders ? "mkdir" : "touch"),
                     [&] { return Exists(last); });
}

void RemoveTree(const std::wstring& folder) {
    const std::string where = HostPath(folder);
    if (!where.empty()) RunOnHost("rm -rf '" + where + "'", [&] { return !Exists(folder); });
}

Arg NameArray(const std::vector<std::wstring>& names, LONG lowerBound, VARTYPE elementType) {
    SAFEARRAYBOUND bound = {static_cast<ULONG>(names.size()), lowerBound};
    SAFEARRAY* array = SafeArrayCreate(elementType, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(names.size()); ++i) {
        LONG index = lowerBound + i;
        BSTR text = SysAllocStringLen(names[i].data(), static_cast<UINT>(names[i].size()));
        if (elementType == VT_BSTR) {
            SafeArrayPutElement(array, &index, text);
        } else {
            VARIANT element;
            V_VT(&element) = VT_BSTR;
            V_BSTR(&element) = text;
            SafeArrayPutElement(array, &index, &element);
        }
        SysFreeString(text);
    }
    Arg arg;
    V_VT(&arg.value) = VT_ARRAY | elementType;
    V_ARRAY(&arg.value) = array;
    return arg;
}

CallResult FilesCopy(IDispatch* info, const Arg& names, const std::wstring& moveTo, bool confirm, bool hideProgress,
                     bool renameOnCollision) {
    return hosttest::Call(info, L"FilesCopy", DISPATCH_METHOD,
                          {names, Arg::Text(moveTo), Arg::Bool(confirm), Arg::Bool(hideProgress),
                           Arg::Bool(renameOnCollision), Arg::Long(0)});
}

CallResult FilesDelete(IDispatch* info, const Arg& names, bool allowUndo, bool confirm) {
    return hosttest::Call(info, L"FilesDelete", DISPATCH_METHOD,
                          {names, Arg::Bool(allowUndo), Arg::Bool(confirm), Arg::Bool(true), Arg::Long(0)});
}

CallResult FolderDelete(IDispatch* info, const std::wstring& folder, bool allowUndo, bool confirm) {
    return hosttest::Call(info, L"FolderDelete", DISPATCH_METHOD,
                          {Arg::Text(folder), Arg::Bool(allowUndo), Arg::Bool(confirm), Arg::Bool(true), Arg::Long(0)});
}

CallResult FolderCopyMove(IDispatch* info, bool move, const std::wstring& source, const std::wstring& destination,
                          bool confirm) {
    return hosttest::Call(info, move ? L"FolderMove" : L"FolderCopy", DISPATCH_METHOD,
                          {Arg::Text(source), Arg::Text(destination), Arg::Bool(confirm), Arg::Long(0)});
}

}  // namespace fileopstest
