// platform/shell.h - the shell services setupwiz needs: special folders,
// shortcuts, deletion at the next restart, starting a command line or a
// program to wait for, and finding a program's main window by class to post it a message.
//
// Each has one answer per OS; the Linux answers are in docs/platform.md.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::shell {

// OLE start-up for the program (always succeeds where there is no OLE).
bool initializeOle();

// The running program's full path.
std::string programPath();

// The system folder: where "\SYSTEM" and "\NOTIFIER" files go, and where the
// HotSync Manager finds notifiers named without a folder.
std::string systemFolder();
// The user's desktop and application-data folders (empty when unknown).
std::string desktopFolder();
std::string applicationDataFolder();

// A shortcut's file name for a display name ("<name>.lnk" on Windows).
std::string shortcutFileName(std::string_view name);
// Writes a shortcut at linkPath that starts targetPath; 0 or an error code.
long createShortcut(std::string_view targetPath, std::string_view linkPath, std::string_view description);

// Marks a file or empty folder for deletion at the next restart.
bool deleteAtRestart(std::string_view path);
// Carries out the deletions marked before (at start-up of the next run where
// the system has no restart hook); what was removed, one path each.
std::vector<std::string> carryOutPendingDeletions();

// Starts a command line (program and arguments, quoted with "" where they
// hold blanks) without a shell and without waiting; the child inherits no
// handles. Whether it started.
bool launchCommand(std::string_view commandLine);

// The program file a bare name starts, searched along the system's program
// path; empty when there is none.
std::string findProgram(std::string_view name);
// Runs a program (args[0], searched like findProgram when it has no folder)
// with its arguments, without a shell, and waits for it to end. Standard
// input reads nothing; output and error are the caller's. Its exit status,
// or -1 when it could not be started or did not end by itself.
int runProgram(const std::vector<std::string>& args);

// Top-level windows by class name, within this user's session.
bool windowExists(std::string_view className);
// Posts a message to the first window of that class; false when none.
bool postMessage(std::string_view className, uint32_t message, uintptr_t wParam, intptr_t lParam);

struct PostedMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// A window of a class, for programs that play one (the HotSync stand-in,
// test helpers for "XLMAIN" and "OpusApp"). Exists while the object lives.
class WindowClass {
public:
    // nullptr when the class cannot be registered (another holder, no resources).
    static std::unique_ptr<WindowClass> create(std::string_view className);
    virtual ~WindowClass() = default;
    // The next posted message, waiting up to timeoutMs (-1: no limit).
    virtual std::optional<PostedMessage> wait(int timeoutMs) = 0;
};

}  // namespace platform::shell
