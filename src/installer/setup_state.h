// installer/setup_state.h - setupwiz's program-wide state, alive from start-up
// to exit: the mode from the command line, the program's own place, the two
// scripts ("setup.inf", "oldSetup.inf") of which one is current, the
// default folder read last, the HotSync Manager state, and what the run
// learns about the Palm Desktop and the chosen user.
#pragma once

#include <cstdint>
#include <string>

#include "installer/palm_desktop.h"
#include "installer/setup_script.h"

namespace installer {

enum class ScriptSlot { Setup = 0, OldSetup = 1 };

struct SetupState {
    bool uninstallMode = false;
    bool restartAllowed = true;
    std::string programPath;    // the setup program's full path
    std::string programFolder;  // up to and including its last separator
    SetupScript scripts[2];
    ScriptSlot current = ScriptSlot::Setup;
    std::string defaultFolder;  // "DefDir" of the script read last
    // 0: HotSync Manager is not to be restarted; 1: it was not running;
    // 2: the installer shut it down.
    int hotSyncState = 0;
    std::string palmDesktopPath;
    PalmUser user;
    PalmDesktop palm;

    SetupScript& script() { return scripts[int(current)]; }
    const SetupScript& script() const { return scripts[int(current)]; }
};

}  // namespace installer
