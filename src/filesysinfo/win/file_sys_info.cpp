#include "filesysinfo/win/file_sys_info.h"

#include "frame/bstr.h"
#include "paths/path_text.h"

namespace zankit {

FileSysInfo::FileSysInfo() : DispatchObject(IID__FileSysInfo, L"ZanKit.FileSysInfo") {}

STDMETHODIMP FileSysInfo::FixPath(BSTR* path, BSTR* result) {
    if (!path || !result) return E_POINTER;
    return Guarded([&] { return ToBstr(path::FixPath(FromBstr(*path)), result); });
}

STDMETHODIMP FileSysInfo::FileNameFromPath(BSTR* sourceFileName, BSTR* result) {
    if (!sourceFileName || !result) return E_POINTER;
    return Guarded([&] { return ToBstr(path::FileNameFromPath(FromBstr(*sourceFileName)), result); });
}

HRESULT CreateFileSysInfo(REFIID iid, void** out) { return CreateAndQuery<FileSysInfo>(iid, out); }

}  // namespace zankit
