// The interfaces, enumerations and identifiers that widl generates from zankit.idl.
// A few enumeration members share their names with Windows SDK macros (SW_NORMAL,
// HOTKEYF_*); the macros are set aside while the generated header is read.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#pragma push_macro("SW_NORMAL")
#pragma push_macro("SW_MINIMIZED")
#pragma push_macro("SW_MAXIMIZED")
#pragma push_macro("HOTKEYF_SHIFT")
#pragma push_macro("HOTKEYF_CONTROL")
#pragma push_macro("HOTKEYF_ALT")
#pragma push_macro("HOTKEYF_EXT")
#undef SW_NORMAL
#undef SW_MINIMIZED
#undef SW_MAXIMIZED
#undef HOTKEYF_SHIFT
#undef HOTKEYF_CONTROL
#undef HOTKEYF_ALT
#undef HOTKEYF_EXT

#include "zankit_h.h"

#pragma pop_macro("HOTKEYF_EXT")
#pragma pop_macro("HOTKEYF_ALT")
#pragma pop_macro("HOTKEYF_CONTROL")
#pragma pop_macro("HOTKEYF_SHIFT")
#pragma pop_macro("SW_MAXIMIZED")
#pragma pop_macro("SW_MINIMIZED")
#pragma pop_macro("SW_NORMAL")
