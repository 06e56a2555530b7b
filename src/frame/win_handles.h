// The Windows handle kinds the library owns, each a UniqueHandle with its close function.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "frame/unique_handle.h"

namespace zankit {

namespace handle_close {
inline void Kernel(HANDLE handle) { ::CloseHandle(handle); }
inline void Find(HANDLE handle) { ::FindClose(handle); }
inline void RegistryKey(HKEY key) { ::RegCloseKey(key); }
inline void Socket(SOCKET socket) { ::closesocket(socket); }
inline void Library(HMODULE module) { ::FreeLibrary(module); }
inline void GdiObject(HGDIOBJ object) { ::DeleteObject(object); }
inline void Icon(HICON icon) { ::DestroyIcon(icon); }
inline void DeviceContext(HDC dc) { ::DeleteDC(dc); }
inline void LocalMemory(HLOCAL memory) { ::LocalFree(memory); }
inline bool UsableHandle(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
}  // namespace handle_close

// Files, processes, events, ICMP handles: null and INVALID_HANDLE_VALUE both mean none.
using KernelHandle = UniqueHandle<HANDLE, &handle_close::Kernel, nullptr, &handle_close::UsableHandle>;
using FindHandle = UniqueHandle<HANDLE, &handle_close::Find, nullptr, &handle_close::UsableHandle>;
using RegistryKeyHandle = UniqueHandle<HKEY, &handle_close::RegistryKey>;
using SocketHandle = UniqueHandle<SOCKET, &handle_close::Socket, INVALID_SOCKET>;
using LibraryHandle = UniqueHandle<HMODULE, &handle_close::Library>;
using GdiObjectHandle = UniqueHandle<HGDIOBJ, &handle_close::GdiObject>;
using IconHandle = UniqueHandle<HICON, &handle_close::Icon>;
using MemoryDcHandle = UniqueHandle<HDC, &handle_close::DeviceContext>;
// Memory the system allocated for the caller with LocalAlloc (data protection's output).
using LocalMemoryHandle = UniqueHandle<HLOCAL, &handle_close::LocalMemory>;

}  // namespace zankit
