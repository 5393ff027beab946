#include "foundation/registry_access.h"

#include "platform/bstr.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace foundation {

namespace reg = platform::registry;

std::vector<std::string> splitKeyPath(std::string_view keyPath) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= keyPath.size()) {
        size_t end = keyPath.find('\\', start);
        if (end == std::string_view::npos) end = keyPath.size();
        if (end > start) parts.emplace_back(keyPath.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

namespace {

// Root and subkeys of a whole key path.
struct SplitPath {
    reg::Root root = reg::Root::CurrentUser;
    reg::KeyPath subkeys;
};

SplitPath split(std::string_view keyPath) {
    SplitPath out;
    std::vector<std::string> parts = splitKeyPath(keyPath);
    if (parts.empty()) return out;
    // Only the exact spelling selects the machine root; everything else,
    // including the same name in other letter case, is the current user.
    if (parts.front() == "HKEY_LOCAL_MACHINE") out.root = reg::Root::LocalMachine;
    out.subkeys.assign(parts.begin() + 1, parts.end());
    return out;
}

// A user's ID as the hive holds it: the leading number of the text, 0 when
// there is none.
uint32_t parseUserId(std::string_view text) {
    constexpr platform::DecimalRules kIdRules{
        .skipBlanks = true, .minus = true, .plus = true, .stopAtJunk = true, .noDigitsIsZero = true};
    return uint32_t(platform::parseDecimal(text, kIdRules).value_or(0));
}

}  // namespace

long RegistryValue(std::string_view keyPath, std::string_view valueName, std::string& text,
                   const uint32_t* number) {
    SplitPath path = split(keyPath);
    long rc = reg::createKey(path.root, path.subkeys);
    if (rc != reg::kSuccess) return rc;
    if (number) {
        reg::Value v;
        v.type = reg::Value::Type::Dword;
        v.number = *number;
        return reg::setValue(path.root, path.subkeys, valueName, v);
    }
    if (!text.empty()) {
        reg::Value v;
        v.text = text;
        return reg::setValue(path.root, path.subkeys, valueName, v);
    }
    reg::Value v;
    rc = reg::queryValue(path.root, path.subkeys, valueName, v);
    if (rc != reg::kSuccess) return rc;
    if (v.type != reg::Value::Type::String) return reg::kUnsupportedType;
    text = std::move(v.text);
    return reg::kSuccess;
}

std::string RegistryRead(std::string_view keyPath, std::string_view valueName) {
    SplitPath path = split(keyPath);
    reg::Value v;
    if (reg::queryValue(path.root, path.subkeys, valueName, v) != reg::kSuccess) return {};
    if (v.type != reg::Value::Type::String) return {};
    return v.text;
}

long RegistryDeleteKey(std::string_view keyPath) {
    SplitPath path = split(keyPath);
    if (path.subkeys.empty()) return reg::kInvalidParameter;
    return reg::deleteKey(path.root, path.subkeys);
}

std::string Product::productKey() const { return std::string(kProductKeyPrefix) + name; }

std::string Product::userKey(int userIndex) const {
    return productKey() + "\\User" + std::to_string(userIndex);
}

namespace {

std::string readValue(const std::string& key, std::string_view name) {
    std::string text;
    RegistryValue(key, name, text);
    return text;
}

}  // namespace

ProductSettings readProductSettings(const Product& product) {
    ProductSettings s;
    std::string key = product.productKey();
    s.productFolder = readValue(key, "Path");
    s.backupFolderName = readValue(key, "Backup");
    if (s.backupFolderName.empty()) s.backupFolderName = kDefaultBackupFolderName;
    s.installFolderName = readValue(key, "Install");
    if (s.installFolderName.empty()) s.installFolderName = kDefaultInstallFolderName;
    return s;
}

std::vector<std::string> readUserNames(const Product& product) {
    std::vector<std::string> names;
    for (int index = 0;; ++index) {
        std::string key = product.userKey(index);
        std::string name = readValue(key, "Name");
        if (name.empty()) {
            RegistryDeleteKey(key);
            break;
        }
        names.push_back(std::move(name));
    }
    return names;
}

int16_t ListUsers(const Product& product, TextRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    std::vector<std::string> names = readUserNames(product);
    if (names.empty()) return BF_ERR_USER;
    std::string list;
    for (const std::string& name : names) {
        list += '0';
        list += name;
        list += '\0';
    }
    list += '\0';
    if (!platform::replaceByteString(record->text, list)) return BF_ERR_MEMORY;
    return int16_t(names.size());
}

std::string GetUserFolder(const Product& product, int userIndex) {
    std::string key = product.userKey(userIndex);
    std::string folder = readValue(key, "Path");
    if (folder.empty()) RegistryDeleteKey(key);
    return folder;
}

int FindUserById(const Product& product, uint32_t id) {
    for (int index = 0;; ++index) {
        std::string key = product.userKey(index);
        std::string text = readValue(key, "ID");
        if (text.empty()) {
            RegistryDeleteKey(key);
            return -1;
        }
        if (parseUserId(text) == id) return index;
    }
}

void MarkPendingInstall(const Product& product, int userIndex) {
    std::string key = product.userKey(userIndex);
    std::string id = readValue(key, "ID");
    if (id.empty()) {
        RegistryDeleteKey(key);
        return;
    }
    std::string unused;
    const uint32_t one = 1;
    RegistryValue(kHotSyncManagerKey, "Install" + id, unused, &one);
}

}  // namespace foundation
