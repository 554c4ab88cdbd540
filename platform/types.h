// Basic values shared by every service of the platform layer. They keep the Windows contract
// that the engine is written against: handles that are -1 when invalid, 32-bit error codes,
// 64-bit file times counted in 100 ns steps since 1601 (UTC), attribute flags.
#pragma once

#include <cstdint>

namespace platform {

// A file or find handle. Handles are never reused within a run, so a stale handle can never
// reach a file that was opened later.
using Handle = std::int64_t;
inline constexpr Handle kInvalidHandle = -1;

// A Windows error code (0 = success).
using ErrorCode = std::uint32_t;

// 100 ns intervals since 1 January 1601, UTC. Zero means "leave unchanged" where a time is set.
using FileTime = std::uint64_t;

struct FileTimes {
  FileTime Creation = 0;
  FileTime LastAccess = 0;
  FileTime LastWrite = 0;
};

inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

inline constexpr std::uint32_t DRIVE_UNKNOWN = 0;
inline constexpr std::uint32_t DRIVE_NO_ROOT_DIR = 1;
inline constexpr std::uint32_t DRIVE_REMOVABLE = 2;
inline constexpr std::uint32_t DRIVE_FIXED = 3;
inline constexpr std::uint32_t DRIVE_REMOTE = 4;
inline constexpr std::uint32_t DRIVE_CDROM = 5;
inline constexpr std::uint32_t DRIVE_RAMDISK = 6;

}  // namespace platform
