// FileSysInfo members whose work is not built yet: each answers E_NOTIMPL with the
// description "not implemented" and changes nothing. A member moves out of this file when
// it is built.
#include "filesysinfo/file_sys_info.h"

namespace zankit {

STDMETHODIMP FileSysInfo::FilesCopy(VARIANT*, BSTR*, VARIANT_BOOL*, VARIANT_BOOL*, VARIANT_BOOL*, LONG*,
                                    VARIANT_BOOL*) {
    return NotBuilt();
}
STDMETHODIMP FileSysInfo::FilesDelete(VARIANT*, VARIANT_BOOL, VARIANT_BOOL, VARIANT_BOOL, LONG, VARIANT_BOOL*) {
    return NotBuilt();
}

STDMETHODIMP FileSysInfo::FolderMove(BSTR, BSTR, VARIANT_BOOL*, LONG*, BSTR*, VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP FileSysInfo::FolderCopy(BSTR, BSTR, VARIANT_BOOL*, LONG*, BSTR*, VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP FileSysInfo::FolderDelete(BSTR*, VARIANT_BOOL, VARIANT_BOOL, VARIANT_BOOL, LONG, VARIANT_BOOL*) {
    return NotBuilt();
}
STDMETHODIMP FileSysInfo::FolderFileSetAttribute(BSTR, LONG, VARIANT_BOOL, VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP FileSysInfo::SendMail(BSTR, BSTR*, BSTR*) { return NotBuilt(); }
STDMETHODIMP FileSysInfo::ShellEx(BSTR, EShellShowConstants, BSTR, BSTR, shellOperation*, LONG*, LONG*) {
    return NotBuilt();
}
STDMETHODIMP FileSysInfo::CreateHyperlink(BSTR*, BSTR*, BSTR*, VARIANT_BOOL*) { return NotBuilt(); }
STDMETHODIMP FileSysInfo::CreateShortcut(BSTR, BSTR, BSTR, BSTR, BSTR, LONG, BYTE, HOTKEYF, SW, LONG*) {
    return NotBuilt();
}

}  // namespace zankit
