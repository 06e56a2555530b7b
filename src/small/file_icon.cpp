#include "small/file_icon.h"

namespace zankit {

FileIcon::FileIcon() : DispatchObject(IID__FileIcon, L"ZanKit.FileIcon") {}

// Not built yet: answers E_NOTIMPL, "not implemented".
STDMETHODIMP FileIcon::GetAssociatedIcon(BSTR, VARIANT*, BSTR*, VARIANT_BOOL*) { return NotBuilt(); }

HRESULT CreateFileIcon(REFIID iid, void** out) { return CreateAndQuery<FileIcon>(iid, out); }

}  // namespace zankit
