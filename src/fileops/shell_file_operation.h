// Runs one request through the shell's file operation service (SHFileOperationW) and waits
// until the shell has finished or the user has cancelled.
#pragma once

#include "fileops/shell_request.h"

namespace zankit::fileops {

struct ShellAnswer {
    int returnCode = 0;    // 0 = success, else the shell's error code
    bool aborted = false;  // the user cancelled some or all of the work

    bool Succeeded() const { return OperationSucceeded(returnCode, aborted); }
};

ShellAnswer RunShellRequest(const ShellRequest& request);

}  // namespace zankit::fileops
