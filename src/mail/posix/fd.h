// Owner of one POSIX file descriptor.
#pragma once

#include <unistd.h>

#include "frame/unique_handle.h"

namespace zankit::mail {

inline void CloseDescriptor(int fd) { ::close(fd); }
using FileDescriptor = UniqueHandle<int, &CloseDescriptor, -1>;

}  // namespace zankit::mail
