// The registry on Windows: the key-path routines map onto the Win32 registry
// (advapi32). Names compare without case there already.
//
// BRIGHTFOLD_HIVE, which names a private hive file on Linux, names a private
// tree here: both roots then live under
// HKEY_CURRENT_USER\Software\Brightfold Hives\<the hive path, '\' as '|'>, so
// that tests and sandboxes never touch the real keys. The file stands for the
// tree's lifetime: while it is missing the tree is empty (a stale one left by
// an earlier sandbox of the same name is removed), and the first change
// creates it.
#include "platform/registry.h"

#include <windows.h>

#include "platform/faults.h"
#include "platform/files.h"
#include "platform/system.h"

namespace platform::registry {
namespace {

constexpr const char* kPrivateHives = "Software\\Brightfold Hives\\";

bool validName(std::string_view name) {
    for (char c : name)
        if (c == '\r' || c == '\n' || c == '\0') return false;
    return true;
}

bool validKeyPath(const KeyPath& path) {
    for (const std::string& name : path)
        if (name.empty() || name.find('\\') != std::string::npos || !validName(name)) return false;
    return true;
}

// Deletes a key with everything below it (RegDeleteKey takes leaves only).
void deleteTree(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
    for (;;) {
        char child[256];
        DWORD length = sizeof child;
        if (::RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        deleteTree(key, std::string(child, length));
    }
    ::RegCloseKey(key);
    ::RegDeleteKeyA(parent, name.c_str());
}

thread_local bool g_changing = false;  // set by the changing calls (ChangingCall)

struct ChangingCall {
    ChangingCall() { g_changing = true; }
    ~ChangingCall() { g_changing = false; }
};

// The private tree of BRIGHTFOLD_HIVE, "" without one. While the hive file
// is missing the tree is empty; a changing call creates the file.
std::string privateTree() {
    std::optional<std::string> hive = environment("BRIGHTFOLD_HIVE");
    if (!hive || hive->empty()) return std::string();
    std::string tree = *hive;
    for (char& c : tree)
        if (c == '\\') c = '|';
    tree = kPrivateHives + tree;
    if (!fileExists(*hive)) {
        deleteTree(HKEY_CURRENT_USER, tree);
        if (g_changing) {
            static const char kHeader[] = "REGEDIT4\r\n";
            writeFileAtomically(*hive, kHeader, sizeof kHeader - 1);
        }
    }
    return tree;
}

// The real root key and the key path below it.
HKEY rootKey(Root root, const KeyPath& path, std::string& subkey) {
    subkey.clear();
    HKEY base = root == Root::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    if (std::string tree = privateTree(); !tree.empty()) {
        subkey = tree + (root == Root::LocalMachine ? "\\HKEY_LOCAL_MACHINE" : "\\HKEY_CURRENT_USER");
        base = HKEY_CURRENT_USER;
    }
    for (const std::string& name : path) {
        if (!subkey.empty()) subkey += '\\';
        subkey += name;
    }
    return base;
}

// An open key, closed with the object.
class Key {
public:
    ~Key() {
        if (key_) ::RegCloseKey(key_);
    }
    long open(Root root, const KeyPath& path, REGSAM access) {
        std::string subkey;
        HKEY base = rootKey(root, path, subkey);
        return ::RegOpenKeyExA(base, subkey.c_str(), 0, access, &key_);
    }
    long create(Root root, const KeyPath& path) {
        std::string subkey;
        HKEY base = rootKey(root, path, subkey);
        return ::RegCreateKeyExA(base, subkey.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                                 nullptr);
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::string valueName(std::string_view name) { return std::string(name); }

}  // namespace

std::string hivePath() { return std::string(); }

long createKey(Root root, const KeyPath& path) {
    ChangingCall changing;
    if (!validKeyPath(path)) return kInvalidParameter;
    if (faults::shouldFail(faults::Op::Registry)) return kCantWrite;
    Key key;
    return key.create(root, path);
}

long openKey(Root root, const KeyPath& path) {
    if (!validKeyPath(path)) return kFileNotFound;
    if (faults::shouldFail(faults::Op::Registry)) return kCantRead;
    Key key;
    return key.open(root, path, KEY_READ);
}

long setValue(Root root, const KeyPath& path, std::string_view name, const Value& value) {
    ChangingCall changing;
    if (!validKeyPath(path)) return kFileNotFound;
    if (!validName(name)) return kInvalidParameter;
    if (faults::shouldFail(faults::Op::Registry)) return kCantWrite;
    Key key;
    if (long rc = key.open(root, path, KEY_SET_VALUE); rc != kSuccess) return rc;
    std::string n = valueName(name);
    if (value.type == Value::Type::Dword) {
        DWORD number = value.number;
        return ::RegSetValueExA(key.get(), n.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                sizeof number);
    }
    std::string text = value.text + '\0';
    if (text.size() > MAXDWORD) return kInvalidParameter;
    return ::RegSetValueExA(key.get(), n.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                            DWORD(text.size()));
}

long queryValue(Root root, const KeyPath& path, std::string_view name, Value& out) {
    if (!validKeyPath(path)) return kFileNotFound;
    if (faults::shouldFail(faults::Op::Registry)) return kCantRead;
    Key key;
    if (long rc = key.open(root, path, KEY_QUERY_VALUE); rc != kSuccess) return rc;
    std::string n = valueName(name);
    std::string data(64, '\0');
    DWORD type = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = DWORD(data.size());
        long rc = ::RegQueryValueExA(key.get(), n.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_MORE_DATA) {
            data.resize(size_t(size) + 1);  // the value may grow between two calls
            continue;
        }
        if (rc != kSuccess) return rc;
        data.resize(size);
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            out.type = Value::Type::Dword;
            out.number = DWORD(uint8_t(data[0])) | DWORD(uint8_t(data[1])) << 8 |
                         DWORD(uint8_t(data[2])) << 16 | DWORD(uint8_t(data[3])) << 24;
            out.text.clear();
            return kSuccess;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) return kUnsupportedType;
        if (!data.empty() && data.back() == '\0') data.pop_back();  // a stored text need not end with one
        out.type = Value::Type::String;
        out.text = std::move(data);
        out.number = 0;
        return kSuccess;
    }
    return kCantRead;
}

long deleteValue(Root root, const KeyPath& path, std::string_view name) {
    ChangingCall changing;
    if (!validKeyPath(path)) return kFileNotFound;
    if (faults::shouldFail(faults::Op::Registry)) return kCantWrite;
    Key key;
    if (long rc = key.open(root, path, KEY_SET_VALUE); rc != kSuccess) return rc;
    return ::RegDeleteValueA(key.get(), valueName(name).c_str());
}

long deleteKey(Root root, const KeyPath& path) {
    ChangingCall changing;
    if (path.empty()) return kInvalidParameter;
    if (!validKeyPath(path)) return kFileNotFound;
    if (faults::shouldFail(faults::Op::Registry)) return kCantWrite;
    KeyPath parentPath(path.begin(), path.end() - 1);
    Key parent;
    if (long rc = parent.open(root, parentPath, KEY_READ | KEY_WRITE); rc != kSuccess) return rc;
    {
        // A key with subkeys stays, as on Windows NT (some registries would
        // delete the whole tree).
        Key key;
        if (long rc = key.open(root, path, KEY_READ); rc != kSuccess) return rc;
        DWORD subkeys = 0;
        if (::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            subkeys > 0)
            return kAccessDenied;
    }
    return ::RegDeleteKeyA(parent.get(), path.back().c_str());
}

long enumSubkeys(Root root, const KeyPath& path, std::vector<std::string>& names) {
    names.clear();
    if (!validKeyPath(path)) return kFileNotFound;
    if (faults::shouldFail(faults::Op::Registry)) return kCantRead;
    Key key;
    if (long rc = key.open(root, path, KEY_READ); rc != kSuccess) return path.empty() ? kSuccess : rc;
    for (DWORD index = 0;; ++index) {
        char name[256];  // the longest key name the registry allows is 255
        DWORD length = sizeof name;
        long rc = ::RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return kSuccess;
        if (rc != kSuccess) return rc;
        names.emplace_back(name, length);
    }
}

}  // namespace platform::registry
