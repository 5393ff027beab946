// The installation run: classification, prerequisites, folders, product
// records, the copy loop with shortcuts and notifiers, the uninstall entry
// and the closing boxes. The removal half is in uninstall.cpp.
#include "installer/installation_run.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "foundation/registry_access.h"
#include "installer/installer_places.h"
#include "installer/libreoffice_placement.h"
#include "installer/office_placement.h"
#include "installer/palm_desktop.h"
#include "installer/registry_lookup.h"
#include "installer/run_removal.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace installer {
namespace {

namespace ui = platform::ui;
constexpr char kSep = platform::kPathSeparator;

// What the run learns while classifying the entries.
struct Classification {
    bool needsPalmUser = false;
    int appsToClose = 0;
};

Classification classify(const SetupScript& script, bool removing) {
    Classification c;
    for (const FileEntry& entry : script.entries) {
        if (!removing && !script.chosen(entry)) continue;
        const std::string& dest = entry.destination;
        if (dest == "Pilot") {
            if (!removing) c.needsPalmUser = true;
        } else if (dest == "\\NOTIFIER") {
            c.needsPalmUser = true;
            c.appsToClose |= kCloseHotSync;
        } else if (int office = officeProgramsToClose(dest)) {
            if (!removing) c.needsPalmUser = true;
            c.appsToClose |= office;
        }
        if (!removing && platform::endsWithNoCase(entry.fileName, ".dll")) c.needsPalmUser = true;
    }
    return c;
}

// Script texts write folders with "\"; paths here use the platform's separator.
std::string nativeSeparators(std::string_view text) {
    std::string out(text);
    for (char& ch : out)
        if (ch == '\\') ch = kSep;
    return out;
}

// The platform's reading of "begins with \ or has ':' as second character".
bool isRootedPath(std::string_view path) { return !path.empty() && platform::isAbsolutePath(path); }

// Step 2: the Palm Desktop, its libraries and (installing) the Palm user.
// Sets stop when the run ends silently.
std::optional<std::string> checkPrerequisites(SetupState& state, bool needsPalmUser, bool removing,
                                              bool& stop) {
    state.palmDesktopPath = lookupText(kPalmCoreKey, "Path");
    if (state.palmDesktopPath.empty())
        return std::string(kPalmCoreKey) +
               "\\Path key not found in Registry, unable to continue. "
               "Is Palm software installed?";
    if (state.palm.load() != kPalmLoaded)
        return "CondMgr.dll not found! You must upgrade Hotsync Manager to V3.0.4 at " +
               std::string(kHotSyncUpgradeAddress);
    if (needsPalmUser && !removing) {
        state.user.id = state.palm.chooseUser(state.user);
        if (state.user.id == -1) {
            stop = true;
            return std::nullopt;
        }
        if (state.user.id == 0)
            return "Problems with reading " + state.palmDesktopPath +
                   "\\users.dat. Is Palm software installed?";
    }
    return std::nullopt;
}

// Step 5.1: the base folder an entry's RegKey and RegValue name; empty when
// the value is missing.
std::string registryBaseFolder(const FileEntry& entry) {
    bool noName = !entry.regValue.empty() && entry.regValue[0] == '-';
    std::optional<std::string_view> name;
    if (!noName) name = entry.regValue;
    std::string text;
    RegistryLookup(entry.regKey, name, &text, nullptr);
    if (text.empty()) return {};
    // The read-or-create form; with no value name it yields the default value.
    text.clear();
    foundation::RegistryValue(entry.regKey, noName ? std::string_view() : entry.regValue, text);
    std::string base = text.substr(0, text.find(';'));
    if (!base.empty() && noName) {
        std::string suffix = nativeSeparators(std::string_view(entry.regValue).substr(1));
        if (platform::endsWithNoCase(base, suffix)) base.resize(base.size() - suffix.size());
    }
    return base;
}

struct FolderContext {
    std::string_view installFolder;
    std::string appDataFolder;
    OfficeFolderNames officeNames;
    bool removing = false;
};

// Step 5 for one chosen entry: its targetFolder (empty: skipped), and, when
// installing, the folder made and its "Path" record written.
std::optional<std::string> workOutFolder(SetupState& state, FileEntry& entry, const FolderContext& ctx) {
    bool place = true, absolute = false, recordPath = false;
    std::string base;
    if (!entry.regKey.empty()) {
        base = registryBaseFolder(entry);
        if (base.empty()) {
            place = false;
            if (!ctx.removing) {
                if (!entry.regValue.empty() && entry.regValue[0] == '-')
                    return entry.regKey + " key not found in Registry";
                return entry.regKey + "\\" + entry.regValue + " key not found in Registry";
            }
        }
        recordPath = true;
    } else if (entry.destination == "Pilot") {
        entry.toPalmUser = true;
        base = state.user.folder;
        entry.destination = "\\" + std::string(kInstallFolderName);
    } else if (entry.destination == "\\SYSTEM" || entry.destination == "\\NOTIFIER") {
        entry.isNotifier = entry.destination == "\\NOTIFIER";
        entry.targetFolder = platform::shell::systemFolder();
        absolute = true;
    } else if (const OfficeTarget* office = findOfficeTarget(entry.destination)) {
        absolute = recordPath = true;
        entry.targetFolder = officeTargetFolder(*office, entry, ctx.installFolder, ctx.appDataFolder,
                                                ctx.officeNames, ctx.removing);
    } else if (isLibreOfficeDestination(entry.destination)) {
        // The extension lies in the install folder, where unopkg reads it.
        entry.targetFolder = std::string(ctx.installFolder);
        absolute = true;
    } else {
        base = std::string(ctx.installFolder);
    }
    if (!absolute && place) {
        entry.targetFolder = base;
        if (entry.destination.empty() || entry.destination[0] != '.')
            entry.targetFolder += nativeSeparators(entry.destination);
    }
    if (!isRootedPath(entry.targetFolder)) {
        entry.targetFolder.clear();
        place = false;
    }
    if (!place) return std::nullopt;
    if (entry.targetFolder.size() > 1 && entry.targetFolder.back() == kSep) entry.targetFolder.pop_back();
    if (!ctx.removing) {
        bool outside = !platform::startsWithNoCase(entry.targetFolder, ctx.installFolder);
        if (EnsureFolder(entry.targetFolder, !entry.officePathWritten, outside) == 1)
            return std::string("Installation interrupted");
    }
    entry.targetFolder += kSep;
    if (!ctx.removing && recordPath) {
        std::string key = std::string(kProductRoot) +
                          entry.destination.substr(std::min<size_t>(1, entry.destination.size()));
        std::string path = entry.targetFolder + entry.fileName;
        foundation::RegistryValue(key, "Path", path);
    }
    return std::nullopt;
}

// Step 6: the script and the setup program, for the uninstaller. A second
// run on the same script refreshes the two entries instead of adding more.
void appendUninstallerEntries(SetupState& state, std::string_view installFolder) {
    std::vector<FileEntry>& entries = state.script().entries;
    if (entries.size() >= kRunEntries && entries.back().isSetupProgram)
        entries.resize(entries.size() - kRunEntries);
    for (int i = 0; i < int(kRunEntries); ++i) {
        FileEntry entry;
        entry.component = int32_t(entries.size());
        entry.selected = true;
        entry.targetFolder = std::string(installFolder) + kSep;
        entry.isSetupProgram = i == 1;
        entry.fileName =
            i == 0 ? std::string("setup.inf") : std::string(platform::fileNamePart(state.programPath));
        entries.push_back(std::move(entry));
    }
}

// Before anything is recorded or copied: every file the copy loop will take
// from the distribution is there. The entries whose source is their own
// destination and the two uninstaller entries need no check; an entry
// without a file name keeps the copy loop's own error.
std::optional<std::string> checkDistribution(const SetupState& state, std::string_view sourceFolder) {
    const SetupScript& script = state.script();
    std::string missing;
    // The two uninstaller entries come last.
    size_t scriptEntries = script.entries.size() - kRunEntries;
    for (size_t i = 0; i < scriptEntries; ++i) {
        const FileEntry& entry = script.entries[i];
        if (!script.chosen(entry) || entry.targetFolder.empty() || entry.fileName.empty()) continue;
        std::string source = std::string(sourceFolder) + kSep + entry.fileName;
        std::string destination = entry.targetFolder + entry.fileName;
        if (platform::sameNoCase(source, destination) || platform::isRegularFile(source)) continue;
        if (!missing.empty()) missing += ", ";
        missing += entry.fileName;
    }
    if (missing.empty()) return std::nullopt;
    return "Files missing from " + std::string(sourceFolder) + ": " + missing + "\nInstallation interrupted";
}

// Step 8: the Palm user and "Path" under every product key. Whether every
// key has a registered Palm user.
bool recordProducts(const SetupState& state, bool needsPalmUser, std::string_view installFolder) {
    bool userRegistered = true;
    for (const std::string& key : state.script().applicationKeys) {
        if (needsPalmUser) RecordHotSyncUser(key, state.user);
        std::string productKey = std::string(kProductRoot) + key;
        std::string userKey = productKey + "\\User0";
        std::string name;
        foundation::RegistryValue(userKey, "Name", name);
        if (name.empty()) {
            foundation::RegistryDeleteKey(userKey);
            userRegistered = false;
        }
        std::string path(installFolder);
        foundation::RegistryValue(productKey, "Path", path);
    }
    return userRegistered;
}

// Step 9: copies, shortcuts, notifiers and the uninstall entry.
std::optional<std::string> copyEntries(SetupState& state, std::string_view sourceFolder,
                                       std::string_view desktopFolder, bool userRegistered) {
    SetupScript& script = state.script();
    for (size_t i = 0; i < script.entries.size(); ++i) {
        std::string copied;
        if (script.chosen(script.entries[i]) && !script.entries[i].targetFolder.empty()) {
            if (auto error = CopyEntryFile(state, int(i), sourceFolder, copied)) return error;
            const FileEntry& entry = script.entries[i];
            if (isLibreOfficeDestination(entry.destination))
                if (auto error = registerLibreOfficeExtension(copied)) return error;
            if (entry.desktopIcon != 0) {
                std::string question = "Create desktop shortcut for " + entry.name + "?";
                std::optional<std::string> link = shortcutPath(desktopFolder, entry.name);
                if (ui::messageBox(ui::focusWindow(), question, "Create Shortcut", ui::Buttons::YesNo,
                                   ui::Icon::Question) == ui::IdYes &&
                    link)
                    CreateShortcut(copied, *link, entry.description);
            }
        }
        const FileEntry& entry = script.entries[i];
        if (entry.isNotifier) {
            if (!userRegistered)
                return std::string(
                    "You have to install Palm components for at least one user. Installation interrupted.");
            state.palm.registerNotifier(entry.fileName);
        }
        if (entry.isSetupProgram) {
            std::string key = std::string(kUninstallRoot) + script.application;
            std::string command = copied + " /d";
            std::string display = std::string(kMakerName) + " " + script.application;
            foundation::RegistryValue(key, "UninstallString", command);
            foundation::RegistryValue(key, "DisplayName", display);
        }
    }
    return std::nullopt;
}

// Step 11: on every way out of the run the Palm libraries are unloaded.
struct PalmUnloader {
    PalmDesktop& palm;
    ~PalmUnloader() { palm.unload(); }
};

}  // namespace

bool isBareName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

std::optional<std::string> shortcutPath(std::string_view desktopFolder, std::string_view name) {
    std::string file = platform::shell::shortcutFileName(name);
    if (desktopFolder.empty() || !isBareName(file)) return std::nullopt;
    return std::string(desktopFolder) + kSep + file;
}

void confirmHotSyncRestart(SetupState& state) {
    if (state.hotSyncState <= 1) return;
    if (foundation::RegistryRead(kPalmCoreKey, "HotSyncPath").empty() ||
        ui::messageBox(ui::focusWindow(), "Restart Hotsync Manager?", "Restart Hotsync", ui::Buttons::YesNo,
                       ui::Icon::Question) != ui::IdYes)
        state.hotSyncState = 0;
}

std::optional<std::string> RunInstallation(SetupState& state, std::string_view sourceFolder,
                                           std::string_view installFolder, bool removeOnly) {
    bool removing = state.uninstallMode || removeOnly;
    PalmUnloader unloader{state.palm};

    // Step 1: the shell folders and what the chosen entries call for.
    FolderContext ctx;
    ctx.installFolder = installFolder;
    ctx.removing = removing;
    ctx.appDataFolder = platform::shell::applicationDataFolder();
    if (!isRootedPath(ctx.appDataFolder)) ctx.appDataFolder.clear();
    std::string desktopFolder = platform::shell::desktopFolder();
    Classification c = classify(state.script(), removing);

    // Step 2: prerequisites.
    if ((c.appsToClose & kCloseHotSync) || c.needsPalmUser) {
        bool stop = false;
        if (auto error = checkPrerequisites(state, c.needsPalmUser, removing, stop)) return error;
        if (stop) return std::nullopt;
    }

    // Step 3: running programs.
    int closed = StopRunningApps(c.appsToClose);
    if (closed == 0) return std::nullopt;
    if (state.hotSyncState == 0 || state.hotSyncState == 1) state.hotSyncState = closed;

    // Steps 4 and 5: the Office folder names, then a folder for every chosen entry.
    ctx.officeNames = readOfficeFolderNames();
    SetupScript& script = state.script();
    for (FileEntry& entry : script.entries) {
        // Only folders this run works out count, for copying and for removal.
        entry.targetFolder.clear();
        entry.toPalmUser = entry.isNotifier = false;
    }
    for (FileEntry& entry : script.entries) {
        if (!script.chosen(entry)) continue;
        if (auto error = workOutFolder(state, entry, ctx)) return error;
    }

    // Step 6.
    appendUninstallerEntries(state, installFolder);

    // Step 7.
    if (removing) {
        RemoveInstalledFiles(state, installFolder, desktopFolder, state.uninstallMode && !removeOnly);
        return std::nullopt;
    }

    if (auto error = checkDistribution(state, sourceFolder)) return error;

    // Steps 8 and 9.
    bool userRegistered = recordProducts(state, c.needsPalmUser, installFolder);
    if (auto error = copyEntries(state, sourceFolder, desktopFolder, userRegistered)) return error;

    // Step 10.
    confirmHotSyncRestart(state);
    ui::messageBox(ui::focusWindow(),
                   c.needsPalmUser ? "Hotsync your Palm to complete installation" : "Done!",
                   "Installation Finished");
    return std::nullopt;
}

std::optional<std::string> CopyEntryFile(SetupState& state, int index, std::string_view sourceFolder,
                                         std::string& outPath) {
    const FileEntry& entry = state.script().entries.at(size_t(index));
    std::string source = std::string(sourceFolder) + kSep + entry.fileName;
    outPath = entry.targetFolder + entry.fileName;
    // The same file under two names is never copied onto itself: the copy
    // would replace it with a copy of itself at best, an empty file at worst.
    if (platform::sameNoCase(source, outPath) || platform::sameFile(source, outPath)) return std::nullopt;
    if (platform::copyFile(source, outPath, false)) return std::nullopt;
    std::string error = "Error copying " + source + " to " + outPath;
    unsigned char first = outPath.empty() ? 0 : static_cast<unsigned char>(outPath[0]);
    if (std::isalpha(first) || first == '\\' || first == kSep)
        error += "\nIf this is a network problem please read our manual";
    return error;
}

int EnsureFolder(std::string_view path, bool ask, bool outsideInstallFolder) {
    std::string folder(path);
    if (platform::setCurrentDirectory(folder)) return 0;
    if (ask) {
        std::string question = outsideInstallFolder ? "Probably some required software is missing.\n" : "";
        question += "Do you want to create folder " + folder + "?";
        if (ui::messageBox(ui::focusWindow(), question, "Folder does not exist", ui::Buttons::YesNo,
                           ui::Icon::Question) != ui::IdYes)
            return 1;
    }
    // One level at a time; levels that exist (and the root) simply fail.
    for (size_t at = folder.find(kSep, 1); at != std::string::npos; at = folder.find(kSep, at + 1))
        platform::createDirectory(folder.substr(0, at));
    platform::createDirectory(folder);
    return 0;
}

long CreateShortcut(std::string_view targetPath, std::string_view linkPath, std::string_view description) {
    long rc = platform::shell::createShortcut(targetPath, linkPath, description);
    // The link is written in one step here, so its one failure is the save's.
    if (rc != 0) ui::messageBox(ui::focusWindow(), "Save failed!", "setupwiz");
    return rc;
}

}  // namespace installer
