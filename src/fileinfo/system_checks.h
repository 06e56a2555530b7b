// Questions about the running system that several query members share.
#pragma once

namespace zankit::fileinfo {

// True when this is a 32-bit process on 64-bit Windows.
bool IsWow64();

// True on the NT family of Windows.
bool IsWinNT();

// The present local date and time as a date value (seconds precision).
double LocalNow();

}  // namespace zankit::fileinfo
