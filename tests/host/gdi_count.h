// The number of GDI objects the test process holds, to find leaks.
#pragma once

namespace hosttest {

// GetGuiResources where it answers; Wine's answers 0, so there the used entries of the
// process's GDI handle table are counted. -1 when neither is available.
long GdiObjectCount();

}  // namespace hosttest
