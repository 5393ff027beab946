// installer/installation_run.h - the installation run and its removal half.
//
// RunInstallation works on the current script of the program state: it
// classifies the chosen entries, checks the prerequisites (Palm Desktop,
// Palm user), asks running programs to close, works out a folder for every
// entry, then either records the products, copies the files, offers
// shortcuts, registers notifiers and writes the uninstall entry, or (removal)
// deletes what an install placed, unregisters notifiers, removes the install
// folder when empty and, when uninstalling, the uninstall entry and the
// user keys.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "installer/setup_state.h"

namespace installer {

// The error text, or nothing (success, cancellation, silent stop).
std::optional<std::string> RunInstallation(SetupState& state, std::string_view sourceFolder,
                                           std::string_view installFolder, bool removeOnly);

// Copies entry `index` of the current script from sourceFolder to its target
// folder; outPath receives the destination path in every case.
std::optional<std::string> CopyEntryFile(SetupState& state, int index, std::string_view sourceFolder,
                                         std::string& outPath);

// 0 when the folder exists or was created, 1 when the user declined.
int EnsureFolder(std::string_view path, bool ask, bool outsideInstallFolder);

// Makes a desktop shortcut; the platform's result (0 success).
long CreateShortcut(std::string_view targetPath, std::string_view linkPath, std::string_view description);

// Removes an install folder that holds only empty folders; else marks it for
// deletion at the next restart. Success flag.
bool RemoveTargetFolder(std::string_view folder);

}  // namespace installer
