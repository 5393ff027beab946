// The setupwiz program: start-up, the command-line letters and the removal of
// a previous version.
#include "installer/setup_program.h"

#include <cstdio>

#include "foundation/registry_access.h"
#include "installer/installation_run.h"
#include "installer/installer_places.h"
#include "installer/setup_dialogs.h"
#include "installer/setup_services.h"
#include "platform/dialog.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace installer {

namespace ui = platform::ui;

namespace {

constexpr const char* kUsage =
    "usage: setupwiz [/LETTERS]\n"
    "Installs the components that setup.inf, beside the program, describes.\n"
    "  /u   uninstall, then offer to restart the HotSync Manager\n"
    "  /d   uninstall, and never restart the HotSync Manager\n"
    "The letters follow the first \"/\" (or, without one, the first \"-\") up to a blank.\n"
    "BRIGHTFOLD_UI=scripted plays the dialogs from BRIGHTFOLD_UI_SCRIPT (docs/dialogs.md).\n";

constexpr std::string_view kProgramCaption = "setupwiz";

}  // namespace

void parseCommandLine(std::string_view line, SetupState& state) {
    size_t start = line.find('/');
    if (start == std::string_view::npos) start = line.find('-');
    if (start == std::string_view::npos) return;
    for (size_t i = start + 1; i < line.size() && line[i] != ' '; ++i) {
        char c = line[i];
        if (c == 'd' || c == 'D') {
            state.restartAllowed = false;
            state.uninstallMode = true;
        } else if (c == 'u' || c == 'U') {
            state.uninstallMode = true;
        }
    }
}

bool RemovePreviousVersion(SetupState& state, int itemCount) {
    const std::string oldScript = state.programFolder + std::string(kOldSetupScriptName);
    state.current = ScriptSlot::OldSetup;
    bool refused = false;
    if (LoadScript(state, oldScript, &refused) > 0) {
        SetupScript& old = state.script();
        std::string folder;
        foundation::RegistryValue(std::string(kProductRoot) + old.applicationKeys.front(), "Path", folder);
        if (!folder.empty()) {
            for (int i = 0; i < itemCount; ++i) old.setSelected(i, true);
            RunInstallation(state, oldScript, folder, true);
        }
    }
    state.current = ScriptSlot::Setup;
    return !refused;
}

int runSetupwiz(const std::vector<std::string>& args) {
    if (!args.empty() && args.front() == "--help") {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }
    for (const std::string& removed : platform::shell::carryOutPendingDeletions())
        std::fprintf(stderr, "setupwiz: removed %s (marked for deletion)\n", removed.c_str());

    if (!platform::shell::initializeOle()) {
        ui::messageBox(ui::focusWindow(), kOleFailed, kProgramCaption);
        return kExitNoScript;
    }
    SetupState state;
    std::string line;
    for (const std::string& arg : args) line += (line.empty() ? "" : " ") + arg;
    parseCommandLine(line, state);

    state.programPath = platform::shell::programPath();
    state.programFolder =
        state.programPath.substr(0, state.programPath.find_last_of(platform::kPathSeparator) + 1);

    if (!state.uninstallMode) {
        LicenseDialog licence(state.programFolder);
        if (ui::runDialog(ui::focusWindow(), licence) != ui::IdOk) return kExitDone;
    }

    state.current = ScriptSlot::Setup;
    if (LoadScript(state, state.programFolder + std::string(kSetupScriptName)) == 0) return kExitNoScript;

    SetupwizDialog dialog(state);
    const int result = ui::runDialog(ui::focusWindow(), dialog);
    if (result == ui::IdOk && state.uninstallMode) ScheduleSelfDelete();
    return dialog.failed() ? kExitRunError : kExitDone;
}

}  // namespace installer
