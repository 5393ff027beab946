// installer/setup_services.h - the small services every part of setupwiz
// uses: starting a command line, entering a folder, and removing the running
// setup program after an uninstall.
#pragma once

#include <string_view>

namespace installer {

// Starts a command line (program and arguments) without waiting; whether it
// started.
bool LaunchCommand(std::string_view commandLine);

// Makes the folder current (the drive first, where paths have drives); -1 on
// failure, 0 on success.
int EnterFolder(std::string_view path);

// Removes the running setup program: marks it for deletion at the next
// restart, then deletes it at once (a running program's file can be
// unlinked on Linux; where it cannot, the mark does it later).
void ScheduleSelfDelete();

}  // namespace installer
