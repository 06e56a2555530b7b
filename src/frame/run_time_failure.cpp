#include "frame/run_time_failure.h"

namespace zankit {

RunTimeFailure FailureForSystemError(unsigned long systemError) {
    // Numbers of the system's error codes, so this file needs no system header.
    switch (systemError) {
        case 2:
            return {53, L"File not found"};  // ERROR_FILE_NOT_FOUND
        case 3:
            return {76, L"Path not found"};  // ERROR_PATH_NOT_FOUND
        case 5:
            return {75, L"Path/File access error"};  // ERROR_ACCESS_DENIED
        case 21:
            return {71, L"Disk not ready"};  // ERROR_NOT_READY
        case 32:
            return {70, L"Permission denied"};  // ERROR_SHARING_VIOLATION
        default:
            return {52, L"Bad file name or number"};
    }
}

}  // namespace zankit
