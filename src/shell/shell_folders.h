// The file-system path of one of the shell's special folders (CSIDL number), as the folder
// browser and the folder queries use it.
#pragma once

#include <string>

namespace zankit::shell {

// "" for a folder the system does not have or that has no file-system path (printers).
// Failures are reported with the tag "|cBrowseForFolder.SpecialFolderLocation#".
std::wstring SpecialFolderLocation(long folder);

}  // namespace zankit::shell
