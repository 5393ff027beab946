// platform/posix/posix_util.h - small helpers shared by the POSIX files.
#pragma once

#include <ctime>

#include "platform/files.h"

namespace platform::posix {

constexpr int64_t kUnixToFileTimeSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
constexpr uint64_t kTicksPerSecond = 10000000;           // 100 ns units

// FILETIME of a POSIX time: (seconds + 11644473600) * 10^7 + nanoseconds / 100;
// times before 1601 give 0.
inline FileTime fileTimeOf(const timespec& t) {
    int64_t seconds = int64_t(t.tv_sec) + kUnixToFileTimeSeconds;
    if (seconds < 0) return 0;
    return FileTime(seconds) * kTicksPerSecond + FileTime(t.tv_nsec / 100);
}

}  // namespace platform::posix
