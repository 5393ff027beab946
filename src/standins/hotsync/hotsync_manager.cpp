#include "hotsync_manager.h"

#include <algorithm>
#include <map>

#include "foundation/hotsync_users.h"
#include "foundation/link_registry.h"
#include "gridlink.h"
#include "handheld.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/text.h"

namespace hotsync {

namespace {

// HS_Notify as the HotSync Manager calls it.
using NotifyFunction = int32_t(BF_CDECL*)(int32_t event, int32_t userId);

// File endings the install step takes from the Install folder: databases,
// applications and query applications.
constexpr std::string_view kInstallEndings[] = {".pdb", ".prc", ".pqa"};

bool hasInstallEnding(std::string_view name) {
    for (std::string_view ending : kInstallEndings)
        if (name.size() > ending.size() &&
            platform::sameNoCase(name.substr(name.size() - ending.size()), ending))
            return true;
    return false;
}

const char* eventName(int32_t event) {
    switch (event) {
        case HS_SYNC_STARTED:
            return "HS_SYNC_STARTED";
        case HS_SYNC_SUCCESS:
            return "HS_SYNC_SUCCESS";
        case HS_SYNC_FAILURE:
            return "HS_SYNC_FAILURE";
        default:
            return "?";
    }
}

std::vector<platform::DirEntry> filesOf(const std::string& folder, bool& readable) {
    std::vector<platform::DirEntry> entries;
    readable = platform::listDirectory(folder, entries);
    std::erase_if(entries, [](const platform::DirEntry& e) { return e.directory || e.hidden || e.system; });
    std::sort(entries.begin(), entries.end(),
              [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
    return entries;
}

struct LoadedNotifier {
    std::string path;
    platform::Library library;
    NotifyFunction notify = nullptr;
};

struct Incoming {
    std::string fileName;
    std::vector<uint8_t> bytes;
    std::optional<uint32_t> counter;  // sheet databases: the counter they get
};

// The counters sheets taken in at one HotSync get: per book, one more than
// the highest of the book's counter on the handheld and the counters of its
// incoming sheets.
void assignCounters(std::vector<Incoming>& incoming, const Handheld& handheld) {
    std::map<std::string, uint32_t> highest;  // book (lower case) -> counter
    auto bookKey = [](const Incoming& in) {
        std::string book(bookOf(databaseNameOf(in.bytes).value_or("")));
        for (char& c : book) c = platform::lowerAscii(c);
        return book;
    };
    for (const Incoming& in : incoming) {
        auto own = sheetCounter(in.bytes);
        if (!own) continue;
        const std::string book = bookKey(in);
        auto it = highest.find(book);
        if (it == highest.end()) it = highest.emplace(book, handheld.bookCounter(book)).first;
        it->second = std::max(it->second, *own);
    }
    for (Incoming& in : incoming)
        if (sheetCounter(in.bytes)) in.counter = highest[bookKey(in)] + 1;
}

// Step 3: the Install folder onto the handheld.
bool installStep(const SyncRun& run, const Handheld& handheld, const std::string& install) {
    bool readable = false;
    auto files = filesOf(install, readable);
    if (!readable) {
        run.progress("cannot read the Install folder " + install);
        return false;
    }
    std::vector<Incoming> incoming;
    for (const platform::DirEntry& e : files) {
        if (!hasInstallEnding(e.name)) continue;
        Incoming in{e.name, {}, std::nullopt};
        if (!platform::readWholeFile(platform::joinPath(install, e.name), in.bytes)) {
            run.progress("cannot read " + platform::joinPath(install, e.name) + ": " +
                         platform::errorText(platform::lastError()));
            return false;
        }
        incoming.push_back(std::move(in));
    }
    assignCounters(incoming, handheld);
    int installed = 0;
    for (const Incoming& in : incoming) {
        const std::string path = platform::joinPath(install, in.fileName);
        std::string name, error;
        switch (handheld.install(in.bytes, in.counter, name, error)) {
            case Handheld::InstallResult::Refused:
                run.progress("left " + in.fileName + " in Install: " + error);
                continue;
            case Handheld::InstallResult::Failed:
                run.progress(error);
                return false;
            case Handheld::InstallResult::Installed:
                break;
        }
        if (!platform::deleteFile(path)) {
            run.progress("installed " + name + " but cannot remove " + path + ": " +
                         platform::errorText(platform::lastError()));
            return false;
        }
        std::string line = "installed " + name;
        if (in.counter) line += " (change counter " + std::to_string(*in.counter) + ")";
        run.progress(line);
        ++installed;
    }
    foundation::clearInstallFlag(run.user);
    run.progress("installed " + std::to_string(installed) + " database(s); install flag of " + run.user.name +
                 " cleared");
    return true;
}

// Step 4: every database on the handheld into Backup.
bool backupStep(const SyncRun& run, const std::string& backup) {
    bool readable = false;
    auto files = filesOf(run.handheldFolder, readable);
    if (!readable) {
        run.progress("cannot read the handheld folder " + run.handheldFolder);
        return false;
    }
    int copied = 0;
    for (const platform::DirEntry& e : files) {
        if (!hasInstallEnding(e.name)) continue;
        if (!platform::copyFile(platform::joinPath(run.handheldFolder, e.name),
                                platform::joinPath(backup, e.name), false)) {
            run.progress("cannot back up " + e.name + ": " + platform::errorText(platform::lastError()));
            return false;
        }
        ++copied;
    }
    run.progress("backed up " + std::to_string(copied) + " database(s) into " + backup);
    return true;
}

}  // namespace

std::string resolveNotifier(const std::string& entry, const std::string& programFolder) {
    if (entry.find(platform::kPathSeparator) != std::string::npos) return entry;
    std::vector<std::string> folders;
    if (auto folder = platform::environment(kNotifierDirVariable); folder && !folder->empty())
        folders.push_back(*folder);
    // Where the installer puts notifiers, as Windows finds a library in its
    // system folder.
    if (std::string system = platform::shell::systemFolder(); !system.empty()) folders.push_back(system);
    for (const std::string& folder : folders) {
        std::string path = platform::joinPath(folder, entry);
        if (platform::isRegularFile(path)) return path;
    }
    return platform::joinPath(platform::joinPath(programFolder, "../lib"), entry);
}

bool runHotSync(const SyncRun& run) {
    const std::optional<uint32_t> id = foundation::parseHotSyncId(run.user.id);
    if (!id) {
        run.progress("the HotSync ID of " + run.user.name + " is not a number: \"" + run.user.id + "\"");
        return false;
    }
    const std::string backup = platform::joinPath(run.user.folder, foundation::kBackupFolderName);
    const std::string install = platform::joinPath(run.user.folder, foundation::kInstallFolderName);
    const Handheld handheld(run.handheldFolder);
    std::string error;
    if (run.user.folder.empty() || !foundation::ensureUserFolders(run.user, error) ||
        !handheld.create(error)) {
        run.progress(error.empty() ? run.user.name + " has no HotSync folder" : error);
        return false;
    }

    run.progress("HotSync of " + run.user.name + " (ID " + run.user.id + ")");
    std::vector<LoadedNotifier> notifiers;
    for (const std::string& entry : foundation::readNotifiers()) {
        const std::string path = resolveNotifier(entry, run.programFolder);
        std::string loadError;
        auto library = platform::Library::load(path, &loadError);
        if (!library) {
            run.progress("notifier " + path + " not loaded: " + loadError);
            continue;
        }
        auto notify = library->function<NotifyFunction>("HS_Notify");
        if (!notify) {
            run.progress("notifier " + path + " has no HS_Notify; left out");
            continue;
        }
        notifiers.push_back({path, std::move(*library), notify});
        run.progress("notifier " + path + " loaded");
    }
    auto notifyAll = [&](int32_t event) {
        run.progress(std::string(eventName(event)) + " to " + std::to_string(notifiers.size()) +
                     " notifier(s)");
        for (LoadedNotifier& n : notifiers) n.notify(event, int32_t(*id));
    };

    notifyAll(HS_SYNC_STARTED);
    const bool ok = installStep(run, handheld, install) && backupStep(run, backup);
    notifyAll(ok ? HS_SYNC_SUCCESS : HS_SYNC_FAILURE);
    while (!notifiers.empty()) notifiers.pop_back();  // unloaded in reverse order
    run.progress(ok ? "HotSync of " + run.user.name + " done" : "HotSync of " + run.user.name + " failed");
    return ok;
}

}  // namespace hotsync
