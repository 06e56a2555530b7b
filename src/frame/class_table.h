// The five creatable classes: identifiers, names and how to make one.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <span>

namespace zankit {

using CreateInstanceFn = HRESULT (*)(REFIID iid, void** out);

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* name;  // class name; ProgID is "ZanKit." + name
    CreateInstanceFn create;
};

std::span<const ClassEntry> CreatableClasses();
const ClassEntry* FindClass(REFCLSID clsid);

}  // namespace zankit
