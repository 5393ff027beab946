// Library loading with an attach step that can refuse, as LoadLibrary does.
//
// A library's attach step runs as an ELF constructor inside dlopen. When it
// refuses it calls reportAttachRefused(), which finds the hook
// BrightfoldAttachRefused exported by the host program and calls it; the hook
// marks the load in progress as refused, and Library::load then closes the
// library again (running its detach step) and fails.
#include "platform/library.h"

#include <dlfcn.h>

namespace {

// The refusal flag of the innermost Library::load in progress, or nullptr.
bool* g_refusedFlag = nullptr;

}  // namespace

extern "C" PLATFORM_EXPORT void BrightfoldAttachRefused() {
    if (g_refusedFlag) *g_refusedFlag = true;
}

namespace platform {

void reportAttachRefused() {
    using Hook = void (*)();
    // The host program's hook; a host that does not export it keeps the library.
    if (auto hook = reinterpret_cast<Hook>(::dlsym(RTLD_DEFAULT, "BrightfoldAttachRefused"))) hook();
}

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
    bool refused = false;
    bool* outer = g_refusedFlag;  // loads may nest: an attach step may load a library itself
    g_refusedFlag = &refused;
    ::dlerror();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    g_refusedFlag = outer;
    if (!handle) {
        if (error) {
            const char* text = ::dlerror();
            *error = text ? text : path + ": cannot be loaded";
        }
        return std::nullopt;
    }
    if (refused) {
        ::dlclose(handle);  // runs the detach step, as FreeLibrary after a refused DllMain
        if (error) *error = path + ": the library refused to attach";
        return std::nullopt;
    }
    if (error) error->clear();
    Library library;
    library.handle_ = handle;
    return library;
}

void* Library::symbol(const char* name) const {
    if (!handle_ || !name) return nullptr;
    return ::dlsym(handle_, name);
}

void Library::unload() {
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

}  // namespace platform
