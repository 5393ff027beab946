// LaunchCommand, EnterFolder and ScheduleSelfDelete on the platform's shell
// and file services.
#include "installer/setup_services.h"

#include <string>

#include "platform/files.h"
#include "platform/shell.h"

namespace installer {

bool LaunchCommand(std::string_view commandLine) { return platform::shell::launchCommand(commandLine); }

int EnterFolder(std::string_view path) {
    // Paths here have no drive letter: entering the folder is the whole step.
    return platform::setCurrentDirectory(std::string(path)) ? 0 : -1;
}

void ScheduleSelfDelete() {
    const std::string self = platform::shell::programPath();
    if (self.empty()) return;
    platform::shell::deleteAtRestart(self);
    platform::deleteFile(self);
}

}  // namespace installer
