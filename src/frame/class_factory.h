// The class factory handed out for every creatable class: it makes an object with the
// class's own creation function and keeps the module locked while a host holds it locked.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace zankit {

using CreateInstanceFn = HRESULT (*)(REFIID iid, void** out);

// A new factory for objects made by `create`, as the interface `iid`.
HRESULT GetClassFactory(CreateInstanceFn create, REFIID iid, void** out);

}  // namespace zankit
