// Filling the Variant answer of a query member: the frame's typed setters (frame/variant.h).
// Each setter replaces what the answer held; an answer never set stays Empty.
#pragma once

#include "frame/variant.h"

namespace zankit::fileinfo {

using zankit::SetBool;
using zankit::SetDate;
using zankit::SetDouble;
using zankit::SetInteger;
using zankit::SetLong;
using zankit::SetNull;
using zankit::SetString;

}  // namespace zankit::fileinfo
