// The registry on Linux: one REGEDIT4 hive file, re-read by every call and
// replaced atomically under an exclusive lock by every change.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/faults.h"
#include "platform/hive_file.h"
#include "platform/text.h"

namespace platform::registry {
namespace {

constexpr const char* kRootNames[] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};
constexpr std::string_view kLockSuffix = ".lock";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr size_t kMaxHiveSize = size_t(16) << 20;  // far above any real hive

const char* rootName(Root root) { return kRootNames[root == Root::LocalMachine ? 1 : 0]; }

// A name that can stand in the hive file: no line breaks or NULs; key names
// also no backslash (it separates levels) and not empty.
bool validValueName(std::string_view name) {
    for (char c : name)
        if (c == '\r' || c == '\n' || c == '\0') return false;
    return true;
}

bool validKeyPath(const KeyPath& path) {
    if (path.size() >= hive::kMaxKeyDepth) return false;  // the root is one level more
    for (const std::string& name : path) {
        if (name.empty() || name.find('\\') != std::string::npos || !validValueName(name)) return false;
    }
    return true;
}

// Reads the hive; a missing file is an empty hive.
long loadHive(const std::string& path, hive::Hive& out) {
    out = hive::Hive{};
    if (path.empty()) return kCantRead;
    int fd;
    do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno == ENOENT ? kSuccess : kCantRead;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || size_t(st.st_size) > kMaxHiveSize) {
        ::close(fd);
        return kCantRead;
    }
    std::string text;
    text.resize(size_t(st.st_size));
    size_t done = 0;
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return kCantRead;
        }
        if (n == 0) break;
        if (done + size_t(n) > kMaxHiveSize) {
            ::close(fd);
            return kCantRead;
        }
        if (done + size_t(n) > text.size()) text.resize(done + size_t(n));
        text.replace(done, size_t(n), buffer, size_t(n));
        done += size_t(n);
    }
    ::close(fd);
    text.resize(done);
    out = hive::parse(text);
    return kSuccess;
}

// Creates the folders leading to the hive (like mkdir -p).
bool makeParentFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// Writes the hive beside the old one and renames it over it. Only called
// with the lock held, so one fixed temporary name serves every writer.
long storeHive(const std::string& path, const hive::Hive& hive) {
    std::string text = hive::serialize(hive);
    std::string tempPath = path + std::string(kTempSuffix);
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return kCantWrite;
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tempPath.c_str(), path.c_str()) != 0) {
        ::unlink(tempPath.c_str());
        return kCantWrite;
    }
    return kSuccess;
}

// Holds the exclusive lock on "<hive>.lock" for its lifetime.
class HiveLock {
public:
    explicit HiveLock(const std::string& hivePath) {
        std::string lockPath = hivePath + std::string(kLockSuffix);
        do fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0) return;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        int rc;
        do rc = ::fcntl(fd_, F_OFD_SETLKW, &lock);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~HiveLock() {
        if (fd_ >= 0) ::close(fd_);  // closing the description releases the lock
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The key at a path below a root, or nullptr.
hive::Key* findKey(hive::Hive& hive, Root root, const KeyPath& path) {
    hive::Key* key = hive::findChild(hive.roots, rootName(root));
    for (const std::string& name : path) {
        if (!key) return nullptr;
        key = hive::findChild(key->children, name);
    }
    return key;
}

// The root key, created (not listed) when the hive has none yet.
hive::Key& rootKey(hive::Hive& hive, Root root) {
    if (hive::Key* key = hive::findChild(hive.roots, rootName(root))) return *key;
    hive.roots.push_back(hive::Key{rootName(root), false, {}, {}});
    return hive.roots.back();
}

// Read-only call: parse the hive as it is now and look.
template <typename Look>
long readHive(Look&& look, bool checkFault = true) {
    if (checkFault && faults::shouldFail(faults::Op::Registry)) return kCantRead;
    hive::Hive hive;
    if (long rc = loadHive(hivePath(), hive); rc != kSuccess) return rc;
    return look(hive);
}

// Changing call: lock, re-read, change, and write back when something changed.
template <typename Change>
long changeHive(Change&& change, bool checkFault = true) {
    if (checkFault && faults::shouldFail(faults::Op::Registry)) return kCantWrite;
    std::string path = hivePath();
    if (path.empty() || !makeParentFolders(path)) return kCantWrite;
    HiveLock lock(path);
    if (!lock.held()) return kCantWrite;
    hive::Hive hive;
    if (long rc = loadHive(path, hive); rc != kSuccess) return rc;
    bool changed = false;
    long rc = change(hive, changed);
    if (rc != kSuccess || !changed) return rc;
    return storeHive(path, hive);
}

}  // namespace

std::string hivePath() {
    if (const char* hive = std::getenv("BRIGHTFOLD_HIVE"); hive && *hive) return hive;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = std::string(home) + "/.config";
    else
        return std::string();
    return config + "/brightfold/registry.reg";
}

long createKey(Root root, const KeyPath& path) {
    if (!validKeyPath(path)) return kInvalidParameter;
    if (faults::shouldFail(faults::Op::Registry)) return kCantWrite;
    // Most creates find the key already there: look first without the lock.
    long found = readHive(
        [&](hive::Hive& hive) { return findKey(hive, root, path) ? kSuccess : kFileNotFound; }, false);
    if (found != kFileNotFound) return found;
    return changeHive(
        [&](hive::Hive& hive, bool& changed) {
            hive::Key* key = &rootKey(hive, root);
            for (const std::string& name : path) {
                hive::Key* child = hive::findChild(key->children, name);
                if (!child) {
                    key->children.push_back(hive::Key{name, true, {}, {}});
                    child = &key->children.back();
                    changed = true;
                }
                key = child;
            }
            return kSuccess;
        },
        false);
}

long openKey(Root root, const KeyPath& path) {
    if (!validKeyPath(path)) return kFileNotFound;
    return readHive([&](hive::Hive& hive) {
        if (path.empty()) return kSuccess;
        return findKey(hive, root, path) ? kSuccess : kFileNotFound;
    });
}

long setValue(Root root, const KeyPath& path, std::string_view name, const Value& value) {
    if (!validKeyPath(path)) return kFileNotFound;
    if (!validValueName(name)) return kInvalidParameter;
    return changeHive([&](hive::Hive& hive, bool& changed) {
        hive::Key* key = path.empty() ? &rootKey(hive, root) : findKey(hive, root, path);
        if (!key) return kFileNotFound;
        hive::Entry fresh;
        fresh.kind = value.type == Value::Type::Dword ? hive::Entry::Kind::Dword : hive::Entry::Kind::String;
        fresh.name = std::string(name);
        if (value.type == Value::Type::Dword)
            fresh.number = value.number;
        else
            fresh.text = value.text;
        if (hive::Entry* old = hive::findValue(*key, name)) {
            if (old->kind == fresh.kind && old->text == fresh.text && old->number == fresh.number)
                return kSuccess;
            fresh.name = old->name;  // the spelling of its creation stays
            *old = std::move(fresh);
        } else {
            key->entries.push_back(std::move(fresh));
        }
        changed = true;
        return kSuccess;
    });
}

long queryValue(Root root, const KeyPath& path, std::string_view name, Value& out) {
    if (!validKeyPath(path)) return kFileNotFound;
    return readHive([&](hive::Hive& hive) {
        hive::Key* key = findKey(hive, root, path);
        if (!key) return kFileNotFound;
        const hive::Entry* entry = hive::findValue(*key, name);
        if (!entry) return kFileNotFound;
        switch (entry->kind) {
            case hive::Entry::Kind::String:
                out = Value{Value::Type::String, entry->text, 0};
                return kSuccess;
            case hive::Entry::Kind::Dword:
                out = Value{Value::Type::Dword, std::string(), entry->number};
                return kSuccess;
            default:
                return kUnsupportedType;
        }
    });
}

long deleteValue(Root root, const KeyPath& path, std::string_view name) {
    if (!validKeyPath(path)) return kFileNotFound;
    return changeHive([&](hive::Hive& hive, bool& changed) {
        hive::Key* key = findKey(hive, root, path);
        if (!key) return kFileNotFound;
        for (auto it = key->entries.begin(); it != key->entries.end(); ++it) {
            if (it->kind != hive::Entry::Kind::Raw && sameNoCase(it->name, name)) {
                key->entries.erase(it);
                changed = true;
                return kSuccess;
            }
        }
        return kFileNotFound;
    });
}

long deleteKey(Root root, const KeyPath& path) {
    if (path.empty()) return kInvalidParameter;
    if (!validKeyPath(path)) return kFileNotFound;
    return changeHive([&](hive::Hive& hive, bool& changed) {
        KeyPath parentPath(path.begin(), path.end() - 1);
        hive::Key* parent = findKey(hive, root, parentPath);
        if (!parent) return kFileNotFound;
        for (auto it = parent->children.begin(); it != parent->children.end(); ++it) {
            if (!sameNoCase(it->name, path.back())) continue;
            if (!it->children.empty()) return kAccessDenied;
            parent->children.erase(it);
            changed = true;
            return kSuccess;
        }
        return kFileNotFound;
    });
}

long enumSubkeys(Root root, const KeyPath& path, std::vector<std::string>& names) {
    names.clear();
    if (!validKeyPath(path)) return kFileNotFound;
    return readHive([&](hive::Hive& hive) {
        hive::Key* key = findKey(hive, root, path);
        if (!key) return path.empty() ? kSuccess : kFileNotFound;
        for (const hive::Key& child : key->children) names.push_back(child.name);
        return kSuccess;
    });
}

}  // namespace platform::registry
