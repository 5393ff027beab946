// The OS side of the message box backends on Windows: standard error, the
// scripted backend's script and log, and the focus window.
#include "platform/ui_native.h"

#include <windows.h>

#include "platform/ui.h"

namespace platform::ui {
namespace {

void writeAll(HANDLE handle, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data() + done, DWORD(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return;
        done += written;
    }
}

}  // namespace

// The window that has the keyboard focus owns every box and dialog; nullptr
// (the desktop) in a program without windows.
Window focusWindow() { return ::GetFocus(); }

namespace native {

void writeStandardError(std::string_view bytes) {
    HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    if (handle && handle != INVALID_HANDLE_VALUE) writeAll(handle, bytes);
}

void appendToFile(const std::string& path, std::string_view bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    writeAll(file, bytes);
    ::CloseHandle(file);
}

bool readFile(const char* path, size_t limit, std::string& text) {
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
        if (text.size() > limit) break;
    }
    ::CloseHandle(file);
    return true;
}

// The GTK dialog module is built for Linux only.
bool displayPresent() { return false; }

void* loadModuleEntry(const char*, const char*, std::string& why) {
    why = "no GTK module on Windows";
    return nullptr;
}

}  // namespace native
}  // namespace platform::ui
