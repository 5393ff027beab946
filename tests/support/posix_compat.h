// The few POSIX calls of the tests that Windows spells differently: setenv,
// unsetenv and mkdtemp. Nothing on POSIX.
#pragma once

#ifdef _WIN32
#include <io.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files.h"

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name)) return 0;
    // _putenv_s updates the C runtime's copy and the process environment.
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// Replaces the trailing XXXXXX with a fresh name and creates that folder.
inline char* mkdtemp(char* pattern) {
    std::string original = pattern;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::strcpy(pattern, original.c_str());
        if (_mktemp_s(pattern, original.size() + 1) != 0) return nullptr;
        if (platform::createDirectory(pattern)) return pattern;
        if (platform::lastError() != EEXIST) return nullptr;
    }
    return nullptr;
}
#endif
