// The OS side of the message box backends on POSIX: standard error, the
// scripted backend's script and log, the focus window, and loading the GUI
// backend's module.
#include "platform/ui_native.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "platform/ui.h"
#include "platform/ui_module.h"

namespace platform::ui {
namespace {

// Writes all bytes to a descriptor, retrying short writes.
void writeAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

}  // namespace

// No window system yet: the desktop owns every box.
Window focusWindow() { return nullptr; }

namespace native {

void writeStandardError(std::string_view bytes) { writeAll(STDERR_FILENO, bytes); }

void appendToFile(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return;
    writeAll(fd, bytes);
    ::close(fd);
}

bool readFile(const char* path, size_t limit, std::string& text) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, size_t(n));
        if (text.size() > limit) break;
    }
    ::close(fd);
    return true;
}

bool displayPresent() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

void* loadModuleEntry(const char* fileName, const char* entry, std::string& why) {
    // Where to look: the override, then beside the object holding this code
    // (libgridlink.so, libtextlink.so or a program) and in ../lib from there,
    // then in the system folder, where setupwiz installs the module (the copy
    // of setupwiz in the install folder finds it there).
    std::vector<std::string> candidates;
    if (const char* path = std::getenv("BRIGHTFOLD_GTK_MODULE"); path && *path) {
        candidates.push_back(path);
        why = std::string(path) + " not found";
    } else {
        std::vector<std::string> folders;
        Dl_info info{};
        if (::dladdr(reinterpret_cast<void*>(&displayPresent), &info) && info.dli_fname) {
            std::string self = info.dli_fname;
            size_t slash = self.rfind('/');
            std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
            folders.push_back(dir);
            folders.push_back(dir + "/../lib");
        }
        if (std::string system = shell::systemFolder(); !system.empty()) folders.push_back(system);
        why = std::string(fileName) + " not found";
        for (size_t n = 0; n < folders.size(); ++n) {
            why += (n == 0 ? " in " : ", ") + folders[n];
            candidates.push_back(folders[n] + "/" + fileName);
        }
    }
    for (const std::string& path : candidates) {
        if (::access(path.c_str(), F_OK) != 0) continue;
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* error = ::dlerror();
            why = path + " cannot be loaded" + (error ? std::string(": ") + error : std::string());
            return nullptr;
        }
        // Never closed: the backend it makes lives until the process ends.
        if (void* symbol = ::dlsym(module, entry)) return symbol;
        why = path + " has no " + entry;
        return nullptr;
    }
    return nullptr;
}

const char* windowBackendName() { return "gtk"; }
std::unique_ptr<Backend> openWindowBackend(std::string& why) { return openGtkBackend(why); }

// GTK dialogs show no busy pointer of their own.
void beginWaitCursor() {}
void endWaitCursor() {}

}  // namespace native
}  // namespace platform::ui
