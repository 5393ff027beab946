// platform/ui_native.h - the OS calls that the message box backends in ui.cpp
// need, one implementation per OS (posix/ui_native.cpp). Internal to the
// platform layer. None of them goes through the fault seam: faults armed for a
// test's files must not change what the user is told.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform::ui {
class Backend;
}

namespace platform::ui::native {

// Writes the bytes to standard error, retrying short writes; errors are ignored.
void writeStandardError(std::string_view bytes);
// Appends the bytes to a file, created when missing; errors are ignored.
void appendToFile(const std::string& path, std::string_view bytes);
// Reads a file into text, stopping at its end or once more than `limit`
// bytes were read; false when it cannot be opened.
bool readFile(const char* path, size_t limit, std::string& text);

// True when $DISPLAY or $WAYLAND_DISPLAY names a display.
bool displayPresent();
// Loads the module `fileName` (BRIGHTFOLD_GTK_MODULE overrides its path; else
// it is looked for beside the library or program holding this code, then in
// ../lib from there) and returns its function `entry`; nullptr with `why`
// set when it cannot. The module stays loaded.
void* loadModuleEntry(const char* fileName, const char* entry, std::string& why);

// The window system's backend: its BRIGHTFOLD_UI name ("gtk", "win32"), and
// the backend itself, nullptr with `why` set when it cannot start.
const char* windowBackendName();
std::unique_ptr<Backend> openWindowBackend(std::string& why);

// The busy cursor of WaitCursor: shown from the first begin to the last end.
void beginWaitCursor();
void endWaitCursor();

}  // namespace platform::ui::native
