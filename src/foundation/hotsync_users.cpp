#include "foundation/hotsync_users.h"

#include <algorithm>

#include "foundation/registry_access.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"

namespace foundation {

namespace {

namespace reg = platform::registry;

reg::KeyPath managerKey() {
    std::vector<std::string> parts = splitKeyPath(kHotSyncManagerKey);
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

bool ensureFolder(const std::string& path, std::string& error) {
    if (platform::isDirectory(path) || platform::createDirectory(path)) return true;
    error = "cannot create " + path + ": " + platform::errorText(platform::lastError());
    return false;
}

}  // namespace

std::optional<uint32_t> parseHotSyncId(const std::string& text) {
    constexpr platform::DecimalRules kIdRules{.maxLength = 10};
    const std::optional<uint64_t> v = platform::parseDecimal(text, kIdRules);
    if (!v || *v > UINT32_MAX) return std::nullopt;
    return uint32_t(*v);
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
    if (!ensureUserFolders(user, error)) return false;
    std::vector<HotSyncUser> users = readUsers();
    size_t index = 0;
    while (index < users.size() && users[index].name != user.name) ++index;
    const reg::KeyPath key = userKey(index);
    if (writeText(key, "Name", user.name) != reg::kSuccess ||
        writeText(key, "Path", user.folder) != reg::kSuccess ||
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

bool setNotifier(size_t index, const std::string& path, std::string& message) {
    // The list stays dense: an index past the end appends.
    const size_t at = std::min(index, readNotifiers().size());
    if (writeText(subkey({kNotifiersKeyName}), notifierValue(at), path) != reg::kSuccess) {
        message = "cannot write the notifier list (" + reg::hivePath() + ")";
        return false;
    }
    message = "registered " + path + " as notifier " + std::to_string(at);
    return true;
}

std::optional<uint32_t> installFlag(const HotSyncUser& user) {
    reg::Value v;
    if (reg::queryValue(reg::Root::CurrentUser, managerKey(), "Install" + user.id, v) != reg::kSuccess ||
        v.type != reg::Value::Type::Dword)
        return std::nullopt;
    return v.number;
}

bool ensureUserFolders(const HotSyncUser& user, std::string& error) {
    for (const std::string& folder : {user.folder, platform::joinPath(user.folder, kBackupFolderName),
                                      platform::joinPath(user.folder, kInstallFolderName)})
        if (!ensureFolder(folder, error)) return false;
    return true;
}

void clearInstallFlag(const HotSyncUser& user) {
    std::string unused;
    const uint32_t zero = 0;
    RegistryValue(kHotSyncManagerKey, "Install" + user.id, unused, &zero);
}

}  // namespace foundation
