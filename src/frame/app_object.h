// The application object handed to the error logger: the component's name, the folder of
// its file and its version.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace zankit {

HRESULT CreateAppObject(IDispatch** out);

}  // namespace zankit
