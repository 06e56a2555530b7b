// What the system tells about one drive: readiness, volume facts and sizes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zankit::fileinfo {

// True when the root of the drive ("C:") can be listed; an empty drive counts as ready.
bool DriveIsReady(const std::wstring& drive);

// The system drive type of "C:" (0 unknown ... 6 RAM disk).
long DriveTypeOf(const std::wstring& drive);

struct VolumeFacts {
    std::wstring name;
    std::wstring fileSystem;
    std::uint32_t serial = 0;
};
std::optional<VolumeFacts> VolumeFactsOf(const std::wstring& drive);

struct DriveSizes {
    std::uint64_t total = 0;
    std::uint64_t free = 0;
};
std::optional<DriveSizes> DriveSizesOf(const std::wstring& drive);

}  // namespace zankit::fileinfo
