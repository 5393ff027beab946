// The OS side of the message box backends on POSIX: standard error, the
// scripted backend's script and log, and the focus window.
#include "platform/ui_native.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ui.h"

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

}  // namespace native
}  // namespace platform::ui
