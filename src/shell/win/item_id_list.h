// Owns an item identifier list (PIDL) handed out by the shell and frees it with the shell's
// allocator (the COM task allocator) when it goes.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <utility>

namespace zankit::dialogs {

class ItemIdList {
public:
    ItemIdList() = default;
    explicit ItemIdList(LPITEMIDLIST list) : list_(list) {}
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    ItemIdList(ItemIdList&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
    ItemIdList& operator=(ItemIdList&& other) noexcept {
        if (this != &other) {
            Reset();
            list_ = std::exchange(other.list_, nullptr);
        }
        return *this;
    }
    ~ItemIdList() { Reset(); }

    void Reset() { CoTaskMemFree(std::exchange(list_, nullptr)); }
    LPITEMIDLIST* Put() {
        Reset();
        return &list_;
    }
    LPITEMIDLIST Get() const { return list_; }

private:
    LPITEMIDLIST list_ = nullptr;
};

// The file-system path of an item; "" when it has none (the control panel, a network computer).
std::wstring FileSystemPathOf(LPCITEMIDLIST item);

}  // namespace zankit::dialogs
