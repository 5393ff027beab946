// platform_os.h (POSIX) - the details of the target OS that the portable
// platform headers and the libraries' export files need.
//
// Every OS folder of src/platform has its own platform_os.h with the same
// names; src/platform/CMakeLists.txt puts the target's folder on the include
// path. It includes no OS header, so the core code sees only these names.
#pragma once

namespace platform {

// What an open File holds: a file descriptor; kNoNativeFile when closed.
using NativeFile = int;
constexpr NativeFile kNoNativeFile = -1;

// The separator between the parts of a path.
constexpr char kPathSeparator = '/';

}  // namespace platform

// Marks a function that a shared library exports. The libraries are built
// with hidden visibility, and their version scripts list the exported names.
#define PLATFORM_EXPORT __attribute__((visibility("default")))

// PLATFORM_LIBRARY_ENTRY(attachFn, detachFn), described in platform/library.h:
// the attach step runs as an ELF constructor when the library is loaded, the
// detach step as a destructor when it is unloaded. The watch object records
// that static destruction has run, which happens only when the process ends
// with the library loaded: the detach step is then skipped.
#define PLATFORM_LIBRARY_ENTRY(attachFn, detachFn)                              \
    namespace {                                                                 \
    bool platformLibraryStaticsGone_ = false;                                   \
    struct PlatformLibraryStaticsWatch_ {                                       \
        ~PlatformLibraryStaticsWatch_() { platformLibraryStaticsGone_ = true; } \
    } platformLibraryStaticsWatch_;                                             \
    }                                                                           \
    __attribute__((constructor)) static void platformLibraryAttach_() {         \
        if (!attachFn()) ::platform::reportAttachRefused();                     \
    }                                                                           \
    __attribute__((destructor)) static void platformLibraryDetach_() {          \
        if (!platformLibraryStaticsGone_) detachFn();                           \
    }
