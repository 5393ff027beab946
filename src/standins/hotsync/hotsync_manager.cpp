#include "hotsync_manager.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "foundation/link_registry.h"
#include "foundation/registry_access.h"
#include "gridlink.h"
#include "handheld.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"

namespace hotsync {

namespace {

namespace reg = platform::registry;

// HS_Notify as the HotSync Manager calls it.
using NotifyFunction = int32_t(BF_CDECL*)(int32_t event, int32_t userId);

// File endings the install step takes from the Install folder: databases,
// applications and query applications.
constexpr std::string_view kInstallEndings[] = {".pdb", ".prc", ".pqa"};

reg::KeyPath managerKey() {
    std::vector<std::string> parts = foundation::splitKeyPath(foundation::kHotSyncManagerKey);
    return reg::KeyPath(parts.begin() + 1, parts.end());  // without the root
}

reg::KeyPath subkey(std::initializer_list<std::string> names) {
    reg::KeyPath path = managerKey();
    path.insert(path.end(), names);
    return path;
}

std::string readText(const reg::KeyPath& key, const std::string& name) {
    reg::Value v;
    if (reg::queryValue(reg::Root::CurrentUser, key, name, v) != reg::kSuccess) return {};
    return v.type == reg::Value::Type::String ? v.text : std::string();
}

long writeText(const reg::KeyPath& key, const std::string& name, const std::string& text) {
    if (long rc = reg::createKey(reg::Root::CurrentUser, key); rc != reg::kSuccess) return rc;
    reg::Value v;
    v.text = text;
    return reg::setValue(reg::Root::CurrentUser, key, name, v);
}

reg::KeyPath userKey(size_t index) { return subkey({kUsersKeyName, "User" + std::to_string(index)}); }
std::string notifierValue(size_t index) { return kNotifierValuePrefix + std::to_string(index); }

bool hasInstallEnding(std::string_view name) {
    for (std::string_view ending : kInstallEndings)
        if (name.size() > ending.size() && platform::sameNoCase(name.substr(name.size() - ending.size()), ending))
            return true;
    return false;
}

const char* eventName(int32_t event) {
    switch (event) {
    case HS_SYNC_STARTED: return "HS_SYNC_STARTED";
    case HS_SYNC_SUCCESS: return "HS_SYNC_SUCCESS";
    case HS_SYNC_FAILURE: return "HS_SYNC_FAILURE";
    default: return "?";
    }
}

bool ensureFolder(const std::string& path, std::string& error) {
    if (platform::isDirectory(path) || platform::createDirectory(path)) return true;
    error = "cannot create " + path + ": " + platform::errorText(platform::lastError());
    return false;
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
        for (char& c : book) c = char(std::tolower(uint8_t(c)));
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
    std::string unused;
    const uint32_t zero = 0;
    foundation::RegistryValue(foundation::kHotSyncManagerKey, "Install" + run.user.id, unused, &zero);
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
        if (!platform::copyFile(platform::joinPath(run.handheldFolder, e.name), platform::joinPath(backup, e.name),
                                false)) {
            run.progress("cannot back up " + e.name + ": " + platform::errorText(platform::lastError()));
            return false;
        }
        ++copied;
    }
    run.progress("backed up " + std::to_string(copied) + " database(s) into " + backup);
    return true;
}

}  // namespace

std::optional<uint32_t> parseHotSyncId(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > UINT32_MAX) return std::nullopt;
    return uint32_t(v);
}

std::vector<HotSyncUser> readUsers() {
    std::vector<HotSyncUser> users;
    for (size_t n = 0;; ++n) {
        HotSyncUser u;
        u.name = readText(userKey(n), "Name");
        if (u.name.empty()) break;
        u.folder = readText(userKey(n), "Path");
        u.id = readText(userKey(n), "ID");
        users.push_back(std::move(u));
    }
    return users;
}

std::optional<HotSyncUser> findUser(const std::string& name) {
    for (HotSyncUser& u : readUsers())
        if (u.name == name) return std::move(u);
    return std::nullopt;
}

bool addUser(const HotSyncUser& user, std::string& error) {
    // A new user's HotSync folder holds Backup and Install from the start.
    for (const std::string& folder : {user.folder, platform::joinPath(user.folder, kBackupFolderName),
                                      platform::joinPath(user.folder, kInstallFolderName)})
        if (!ensureFolder(folder, error)) return false;
    std::vector<HotSyncUser> users = readUsers();
    size_t index = 0;
    while (index < users.size() && users[index].name != user.name) ++index;
    const reg::KeyPath key = userKey(index);
    if (writeText(key, "Name", user.name) != reg::kSuccess || writeText(key, "Path", user.folder) != reg::kSuccess ||
        writeText(key, "ID", user.id) != reg::kSuccess) {
        error = "cannot write the user into the registry (" + reg::hivePath() + ")";
        return false;
    }
    return true;
}

std::vector<std::string> readNotifiers() {
    std::vector<std::string> list;
    const reg::KeyPath key = subkey({kNotifiersKeyName});
    for (size_t n = 0;; ++n) {
        std::string path = readText(key, notifierValue(n));
        if (path.empty()) break;
        list.push_back(std::move(path));
    }
    return list;
}

bool addNotifier(const std::string& given, std::string& message) {
    std::string path = given;
    if (path.find(platform::kPathSeparator) != std::string::npos && !platform::isAbsolutePath(path))
        path = platform::joinPath(platform::currentDirectory(), path);
    std::vector<std::string> list = readNotifiers();
    for (const std::string& entry : list) {
        if (platform::sameNoCase(entry, path)) {
            message = path + " is registered already";
            return true;
        }
    }
    if (writeText(subkey({kNotifiersKeyName}), notifierValue(list.size()), path) != reg::kSuccess) {
        message = "cannot write the notifier list (" + reg::hivePath() + ")";
        return false;
    }
    message = "registered " + path + " as notifier " + std::to_string(list.size());
    return true;
}

bool removeNotifier(const std::string& given, std::string& message) {
    std::vector<std::string> list = readNotifiers();
    std::string absolute = given;
    if (absolute.find(platform::kPathSeparator) != std::string::npos && !platform::isAbsolutePath(absolute))
        absolute = platform::joinPath(platform::currentDirectory(), absolute);
    auto it = std::find_if(list.begin(), list.end(), [&](const std::string& entry) {
        return platform::sameNoCase(entry, given) || platform::sameNoCase(entry, absolute);
    });
    if (it == list.end()) {
        message = given + " is not registered";
        return false;
    }
    const std::string removed = *it;
    list.erase(it);
    const reg::KeyPath key = subkey({kNotifiersKeyName});
    for (size_t n = 0; n < list.size(); ++n) writeText(key, notifierValue(n), list[n]);
    reg::deleteValue(reg::Root::CurrentUser, key, notifierValue(list.size()));
    message = "removed " + removed;
    return true;
}

std::string resolveNotifier(const std::string& entry, const std::string& programFolder) {
    if (entry.find(platform::kPathSeparator) != std::string::npos) return entry;
    if (auto folder = platform::environment(kNotifierDirVariable); folder && !folder->empty())
        return platform::joinPath(*folder, entry);
    return platform::joinPath(platform::joinPath(programFolder, "../lib"), entry);
}

std::optional<uint32_t> installFlag(const HotSyncUser& user) {
    reg::Value v;
    if (reg::queryValue(reg::Root::CurrentUser, managerKey(), "Install" + user.id, v) != reg::kSuccess ||
        v.type != reg::Value::Type::Dword)
        return std::nullopt;
    return v.number;
}

bool runHotSync(const SyncRun& run) {
    const std::optional<uint32_t> id = parseHotSyncId(run.user.id);
    if (!id) {
        run.progress("the HotSync ID of " + run.user.name + " is not a number: \"" + run.user.id + "\"");
        return false;
    }
    const std::string backup = platform::joinPath(run.user.folder, kBackupFolderName);
    const std::string install = platform::joinPath(run.user.folder, kInstallFolderName);
    const Handheld handheld(run.handheldFolder);
    std::string error;
    if (run.user.folder.empty() || !ensureFolder(run.user.folder, error) || !ensureFolder(backup, error) ||
        !ensureFolder(install, error) || !handheld.create(error)) {
        run.progress(error.empty() ? run.user.name + " has no HotSync folder" : error);
        return false;
    }

    run.progress("HotSync of " + run.user.name + " (ID " + run.user.id + ")");
    std::vector<LoadedNotifier> notifiers;
    for (const std::string& entry : readNotifiers()) {
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
        run.progress(std::string(eventName(event)) + " to " + std::to_string(notifiers.size()) + " notifier(s)");
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
