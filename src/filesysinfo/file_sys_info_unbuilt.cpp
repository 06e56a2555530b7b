// FileSysInfo members whose work is not built yet: each answers E_NOTIMPL with the
// description "not implemented" and changes nothing. A member moves out of this file when
// it is built.
#include "filesysinfo/file_sys_info.h"

namespace zankit {

STDMETHODIMP FileSysInfo::BrowseForFolder(BSTR, BSTR*, zanBrowseModeConstants*, zanPositionModeConstants*, BSTR*, BSTR*,
                                          LONG*, VARIANT_BOOL*, LONG*, LONG*, VARIANT_BOOL*, BSTR*) {
    return NotBuilt();
}
STDMETHODIMP FileSysInfo::BrowseForFile(BSTR*, BSTR*, enum zanFileType*, BSTR*, VARIANT_BOOL*, LONG*,
                                        zanPositionModeConstants*, BSTR*, LONG*, VARIANT*) {
    return NotBuilt();
}

}  // namespace zankit
