// LaunchCommand, EnterFolder and ScheduleSelfDelete on the platform's shell
// and file services.
#include "installer/setup_services.h"

#include <string>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"

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
#if defined(_WIN32)
    // A running program file cannot be deleted by itself: a command
    // interpreter deletes it while the program ends. command.com where the
    // system has one, else cmd.exe (64-bit Windows ships no command.com).
    std::string shell = "cmd.exe";
    if (std::optional<std::string> root = platform::environment("SystemRoot")) {
        for (const char* folder : {"system32", ""}) {
            std::string in = folder[0] ? platform::joinPath(*root, folder) : *root;
            if (platform::isRegularFile(platform::joinPath(in, "command.com"))) shell = "command.com";
        }
    }
    std::string target = self.find(' ') == std::string::npos ? self : "\"" + self + "\"";
    LaunchCommand(shell + " /c del " + target);
#else
    platform::deleteFile(self);
#endif
}

}  // namespace installer
