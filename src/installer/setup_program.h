// installer/setup_program.h - the setupwiz program: its command line, the
// start-up sequence, and the removal of a previous version before an install.
//
// Start-up: OLE, the command line, the program folder, the License Agreement
// (not when uninstalling), "setup.inf" from the program folder (the program
// ends silently without entries), the main dialog, and after an uninstall the
// removal of the running program. Deletions marked at an earlier run are
// carried out first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "installer/setup_state.h"

namespace installer {

constexpr std::string_view kSetupScriptName = "setup.inf";
constexpr std::string_view kOldSetupScriptName = "oldSetup.inf";
constexpr std::string_view kOleFailed =
    "OLE initialization failed.  Make sure that the OLE libraries are the correct version.";

// Exit statuses of the program.
constexpr int kExitDone = 0;      // finished, declined or left with Exit
constexpr int kExitNoScript = 1;  // OLE failed, or no usable script
constexpr int kExitRunError = 2;  // the run reported an error

// The command-line letters: after the first "/" (else the first "-") up to
// a blank or the end, "d" (uninstall, no HotSync Manager restart) and "u"
// (uninstall), either case; others are skipped.
void parseCommandLine(std::string_view line, SetupState& state);

// RemovePreviousVersion: loads "oldSetup.inf" as the current script and, when
// it has entries and its product has a recorded "Path", removes what it
// placed for the first itemCount components; then "setup.inf" is current
// again. False when the old script was refused (nothing may be installed).
bool RemovePreviousVersion(SetupState& state, int itemCount);

// The whole program on its arguments (without the program name); the exit
// status.
int runSetupwiz(const std::vector<std::string>& args);

}  // namespace installer
