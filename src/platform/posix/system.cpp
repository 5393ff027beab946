// Environment, clock, sleeping and local time on POSIX.
#include "platform/system.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/posix/posix_util.h"

namespace platform {

using posix::kTicksPerSecond;
using posix::kUnixToFileTimeSeconds;

std::optional<std::string> environment(const char* name) {
    if (!name) return std::nullopt;
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

FileTime currentFileTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return posix::fileTimeOf(now);
}

void sleepMilliseconds(unsigned milliseconds) {
    timespec wait{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    timespec rest{};
    while (nanosleep(&wait, &rest) != 0 && errno == EINTR) wait = rest;
}

bool toLocalTime(FileTime time, LocalTime& out) {
    int64_t seconds = int64_t(time / kTicksPerSecond) - kUnixToFileTimeSeconds;
    time_t unixTime = time_t(seconds);
    if (int64_t(unixTime) != seconds) return false;
    tm fields{};
    if (!localtime_r(&unixTime, &fields)) return false;
    out = LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                    fields.tm_hour,        fields.tm_min,     fields.tm_sec};
    return true;
}

}  // namespace platform
