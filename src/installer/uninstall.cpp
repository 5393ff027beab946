// The removal half of the installation run (uninstall and the removal of a
// previous version) and the removal of the install folder.
#include <algorithm>
#include <vector>

#include "foundation/registry_access.h"
#include "installer/installation_run.h"
#include "installer/installer_places.h"
#include "installer/libreoffice_placement.h"
#include "installer/run_removal.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui.h"

namespace installer {
namespace {

namespace ui = platform::ui;

// Deletes one file the install placed. A file that is still there after a
// failed deletion is in use or protected: the user is asked to delete it
// (the running setup program excepted, which removes itself at the end). A
// file that is already gone is no error.
void deletePlacedFile(const FileEntry& entry) {
    // Only names inside the folder the run worked out are ever deleted.
    if (!isBareName(entry.fileName)) return;
    std::string path = entry.targetFolder + entry.fileName;
    if (platform::deleteFile(path) || !platform::fileExists(path) || entry.isSetupProgram) return;
    ui::messageBox(ui::focusWindow(), "Please delete manually " + path, "Delete error");
}

// The user keys of a product: User0, User1, ... up to and including the
// first whose "Name" is empty (the read creates a missing key, which goes too).
void deleteUserKeys(std::string_view productKey) {
    for (int n = 0;; ++n) {
        std::string key = std::string(kProductRoot) + std::string(productKey) + "\\User" + std::to_string(n);
        std::string name;
        foundation::RegistryValue(key, "Name", name);
        long deleted = foundation::RegistryDeleteKey(key);
        // A key that cannot be deleted would come back on every turn.
        if (name.empty() || deleted != 0) break;
    }
}

}  // namespace

void RemoveInstalledFiles(SetupState& state, std::string_view installFolder, std::string_view desktopFolder,
                          bool uninstalling) {
    SetupScript& script = state.script();
    for (const FileEntry& entry : script.entries) {
        if (!entry.toPalmUser && !entry.targetFolder.empty()) {
            // LibreOffice lets go of the extension before its file goes.
            if (isLibreOfficeDestination(entry.destination)) unregisterLibreOfficeExtension();
            deletePlacedFile(entry);
            // Every shortcut the install could have offered, accepted or not.
            if (entry.desktopIcon != 0)
                if (auto link = shortcutPath(desktopFolder, entry.name)) platform::deleteFile(*link);
        }
        if (entry.isNotifier) state.palm.unregisterNotifier(entry.fileName);
    }
    RemoveTargetFolder(installFolder);
    if (!uninstalling) return;

    foundation::RegistryDeleteKey(std::string(kUninstallRoot) + script.application);
    for (const std::string& key : script.applicationKeys) deleteUserKeys(key);
    if (state.restartAllowed) confirmHotSyncRestart(state);
    ui::messageBox(ui::focusWindow(), "Program uninstalled from PC. Remove Palm components manually",
                   "Uninstallation Finished");
}

bool RemoveTargetFolder(std::string_view folder) {
    std::string path(folder);
    std::vector<platform::DirEntry> entries;
    // A folder that cannot be read is left alone.
    if (!platform::listDirectory(path, entries)) return true;
    std::sort(entries.begin(), entries.end(),
              [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
    bool result = true;
    for (const platform::DirEntry& entry : entries) {
        if (entry.name.empty() || entry.name[0] == '.') continue;
        if (!entry.directory || entry.hidden || entry.system) break;
        result = platform::removeDirectory(platform::joinPath(path, entry.name));
        if (!result) break;
    }
    if (result && !platform::removeDirectory(path)) result = platform::shell::deleteAtRestart(path);
    return result;
}

}  // namespace installer
