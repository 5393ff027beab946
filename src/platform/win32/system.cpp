// Environment, clock, sleeping and local time on Windows.
#include "platform/system.h"

#include <windows.h>

#include "platform/win32/win32_util.h"

namespace platform {

std::optional<std::string> environment(const char* name) {
    if (!name) return std::nullopt;
    std::string value(256, '\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        DWORD length = ::GetEnvironmentVariableA(name, value.data(), DWORD(value.size()));
        if (length == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);  // the size needed, with the NUL
    }
}

FileTime currentFileTime() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return win32::fileTimeOf(now);
}

void sleepMilliseconds(unsigned milliseconds) { ::Sleep(milliseconds); }

bool toLocalTime(FileTime time, LocalTime& out) {
    FILETIME utc{DWORD(time), DWORD(time >> 32)};
    SYSTEMTIME universal{}, local{};
    if (!::FileTimeToSystemTime(&utc, &universal)) return false;
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) return false;
    out = LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    return true;
}

}  // namespace platform
