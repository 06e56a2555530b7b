// The creatable classes of the library and how to make one. Names, ProgIDs and interfaces
// come from the type library; this table only joins each class identifier to its code.
#pragma once

#include <windows.h>

#include "frame/class_factory.h"

namespace zankit {

// The creation function of a creatable class, or null for an unknown identifier.
CreateInstanceFn FindClassCreator(REFCLSID clsid);

}  // namespace zankit
