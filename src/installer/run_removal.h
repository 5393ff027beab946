// installer/run_removal.h - what the installation run and its removal half
// share inside the installer: the removal half itself and the small helpers
// both use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "installer/setup_state.h"

namespace installer {

// The removal half of RunInstallation, after the folders are worked out and
// the two uninstaller entries are appended. uninstalling: an uninstall (not
// a previous-version removal), which also removes the uninstall entry and
// the user keys and shows the closing boxes.
void RemoveInstalledFiles(SetupState& state, std::string_view installFolder, std::string_view desktopFolder,
                          bool uninstalling);

// The desktop shortcut of a component: "<desktop>\<name>.lnk"; nothing when
// the name would not stay inside the desktop folder.
std::optional<std::string> shortcutPath(std::string_view desktopFolder, std::string_view name);

// Whether a name from the script can be joined to a folder and still name
// something inside it: non-empty, no separator of any OS, not "." or "..".
bool isBareName(std::string_view name);

// With hotSyncState above 1: keeps it only when the HotSync Manager's path
// can be read and the user agrees to "Restart Hotsync Manager?"; else 0.
void confirmHotSyncRestart(SetupState& state);

}  // namespace installer
