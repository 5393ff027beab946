// platform/system.h - small process services: environment, time, waiting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"

namespace platform {

// An environment variable, or nothing when it is not set.
std::optional<std::string> environment(const char* name);
// The current time as a FILETIME value.
FileTime currentFileTime();
// Sleeps for the given number of milliseconds.
void sleepMilliseconds(unsigned milliseconds);
// Converts a FILETIME to calendar fields in local time (for dates shown to
// the user). Returns false for a time that cannot be converted.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
bool toLocalTime(FileTime time, LocalTime& out);

}  // namespace platform
