// Item identifier lists (PIDLs) handed out by the shell, owned as a handle kind of their own:
// freed with the shell's allocator (the COM task allocator) when they go.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "frame/unique_handle.h"

namespace zankit::shell {

inline void FreeItemIdList(LPITEMIDLIST list) { CoTaskMemFree(list); }

using ItemIdList = UniqueHandle<LPITEMIDLIST, &FreeItemIdList>;

// The file-system path of an item; "" when it has none (the control panel, a network computer).
std::wstring FileSystemPathOf(LPCITEMIDLIST item);

}  // namespace zankit::shell
