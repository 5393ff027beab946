// Library loading on Windows: LoadLibraryA runs DllMain, which refuses a load
// by returning FALSE; the loader then detaches and unloads the library again.
#include "platform/library.h"

#include <windows.h>

namespace platform {

// DllMain answers for itself: nothing to report to the loading program.
void reportAttachRefused() {}

Library::~Library() { unload(); }

Library::Library(Library&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

Library& Library::operator=(Library&& other) noexcept {
    if (this != &other) {
        unload();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

std::optional<Library> Library::load(const std::string& path, std::string* error) {
    std::string native = path;  // LoadLibrary wants backslashes in a path
    for (char& c : native)
        if (c == '/') c = '\\';
    // No "cannot find the library" box from the system: the caller reports.
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryA(native.c_str());
    DWORD failure = module ? ERROR_SUCCESS : ::GetLastError();
    ::SetErrorMode(oldMode);
    if (!module) {
        if (error) {
            if (failure == ERROR_DLL_INIT_FAILED)
                *error = path + ": the library refused to attach";
            else
                *error = path + ": cannot be loaded (error " + std::to_string(failure) + ")";
        }
        return std::nullopt;
    }
    if (error) error->clear();
    Library library;
    library.handle_ = module;
    return library;
}

void* Library::symbol(const char* name) const {
    if (!handle_ || !name) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void Library::unload() {
    if (handle_) {
        ::FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

}  // namespace platform
