// A failure of a file-system service inside a query member, with the run-time error number
// and text a host knows for it. zanFileInfo raises it to the caller; zanFolderInfo reports it.
#pragma once

#include <string>

namespace zankit {

struct RunTimeFailure {
    int number = 0;
    std::wstring description;
};

// The run-time error that stands for a system error code (ERROR_FILE_NOT_FOUND gives 53
// "File not found", and so on).
RunTimeFailure FailureForSystemError(unsigned long systemError);

}  // namespace zankit
