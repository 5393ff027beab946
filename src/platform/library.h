// platform/library.h - loading shared libraries, and their attach step.
//
// On Windows, DllMain runs with DLL_PROCESS_ATTACH when a library is loaded
// and may refuse the load. On Linux the attach step runs as an ELF
// constructor and the detach step as a destructor. A constructor cannot
// return a result, so a library that refuses calls reportAttachRefused();
// when the load was made through Library::load, that call reaches the
// loading program (through the C symbol BrightfoldAttachRefused that host
// programs export, see cmake/Brightfold.cmake), which then unloads the
// library again and reports failure, as LoadLibrary does. A host that calls
// dlopen directly keeps the library.
#pragma once

#include <optional>
#include <string>

#include "platform_os.h"

namespace platform {

class Library {
public:
    Library() = default;
    ~Library();
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Loads a library and runs its attach step. On failure (not found, not
    // loadable, or attach refused) returns nothing and fills error.
    static std::optional<Library> load(const std::string& path, std::string* error = nullptr);

    // Address of an exported symbol, or nullptr.
    void* symbol(const char* name) const;
    template <typename F>
    F function(const char* name) const {
        return reinterpret_cast<F>(symbol(name));
    }
    bool isLoaded() const { return handle_ != nullptr; }
    // Unloads (runs the detach step when this was the last reference).
    void unload();

private:
    void* handle_ = nullptr;
};

// Called by a library's attach step to refuse the load.
void reportAttachRefused();

// Registers the attach and detach steps of the library this code is linked
// into. Use once per library, at namespace scope, in one source file:
//   PLATFORM_LIBRARY_ENTRY(onAttach, onDetach)
// where onAttach is bool() (false refuses) and onDetach is void(). The macro
// is defined per OS in platform_os.h.
//
// onDetach runs when the library is unloaded, not when the process ends with
// the library still loaded: exit() destroys the library's static objects
// before it runs the destructors of the loaded libraries (on unloading they
// go after), so the detach step could only meet what is already gone. The
// system reclaims memory, files and locks with the process, as DllMain is to
// do nothing at DLL_PROCESS_DETACH when the process is ending.

}  // namespace platform
