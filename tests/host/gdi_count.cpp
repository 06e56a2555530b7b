#include "gdi_count.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>

namespace hosttest {
namespace {

// One entry of the GDI handle table that Wine shares with the process (the layout of
// Windows' GDI_HANDLE_ENTRY): an entry is in use while its type is not 0.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "the table's entries are 24 bytes in both bitnesses");
constexpr size_t kTableEntries = 0x10000;

// The table hangs off the 64-bit PEB (GdiSharedHandleTable at 0xF8). A 32-bit process under
// Wine finds its 64-bit TEB through the TEB's GdiBatchCount field (at 0xF70), and that TEB's
// PEB at 0x60.
const GdiHandleEntry* SharedHandleTable() {
    auto* teb = reinterpret_cast<const char*>(NtCurrentTeb());
#ifdef _WIN64
    auto* peb = *reinterpret_cast<const char* const*>(teb + 0x60);
#else
    uint32_t teb64 = *reinterpret_cast<const uint32_t*>(teb + 0xF70);
    if (!teb64) return nullptr;
    uint64_t peb64 = *reinterpret_cast<const uint64_t*>(static_cast<uintptr_t>(teb64) + 0x60);
    if (!peb64 || peb64 > UINT32_MAX) return nullptr;
    auto* peb = reinterpret_cast<const char*>(static_cast<uintptr_t>(peb64));
#endif
    uint64_t table = *reinterpret_cast<const uint64_t*>(peb + 0xF8);
    if (!table || table > UINTPTR_MAX) return nullptr;
    return reinterpret_cast<const GdiHandleEntry*>(static_cast<uintptr_t>(table));
}

}  // namespace

long GdiObjectCount() {
    DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported) return static_cast<long>(reported);
    const GdiHandleEntry* table = SharedHandleTable();
    if (!table) return -1;
    long used = 0;
    for (size_t i = 0; i < kTableEntries; ++i) used += table[i].type != 0;
    return used;
}

}  // namespace hosttest
