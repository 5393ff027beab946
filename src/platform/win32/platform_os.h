// platform_os.h (Windows) - the details of the target OS that the portable
// platform headers and the libraries' export files need.
//
// The same names as posix/platform_os.h. It includes no OS header: the few
// Win32 types it needs are spelled out, so the core code never sees the
// macros of <windows.h>.
#pragma once

namespace platform {

// What an open File holds: a HANDLE. A File never keeps a failed handle
// (INVALID_HANDLE_VALUE), so "no file" is nullptr.
using NativeFile = void*;
constexpr NativeFile kNoNativeFile = nullptr;

// The separator between the parts of a path.
constexpr char kPathSeparator = '\\';

}  // namespace platform

// Exports come from each library's .def file (names and ordinals), so a
// function needs no mark of its own.
#define PLATFORM_EXPORT

// PLATFORM_LIBRARY_ENTRY(attachFn, detachFn), described in platform/library.h:
// DllMain. A refused attach returns FALSE, after which the loader calls
// DllMain again with DLL_PROCESS_DETACH and unloads the library. At the
// detach of an ending process (reserved not null) nothing is touched: other
// DLLs and the runtime's objects may be gone already.
#define PLATFORM_LIBRARY_ENTRY(attachFn, detachFn)                                               \
    extern "C" int __stdcall DllMain(void* /*instance*/, unsigned long reason, void* reserved) { \
        constexpr unsigned long kProcessDetach = 0, kProcessAttach = 1;                          \
        if (reason == kProcessAttach) return attachFn() ? 1 : 0;                                 \
        if (reason == kProcessDetach && reserved == nullptr) detachFn();                         \
        return 1;                                                                                \
    }
