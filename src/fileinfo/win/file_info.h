// The answers of FileSysInfo.zanFileInfo, for the member and for the other queries that
// build on it.
#pragma once

#include <string>

#include "frame/variant.h"

namespace zankit::fileinfo {

// Fills `answer` for one question about `fileSpec` (left Empty when the question does not
// apply). Throws RunTimeFailure when a file service fails for an existing entry.
void FileInfoAnswer(const std::wstring& fileSpec, long infoType, Variant& answer);

}  // namespace zankit::fileinfo
