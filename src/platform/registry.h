// platform/registry.h - the system registry: keys holding named values.
//
// On Windows this is the Win32 registry. On Linux it is one hive file in the
// REGEDIT4 text format (see docs/platform.md): its path comes from the
// environment variable BRIGHTFOLD_HIVE, else $XDG_CONFIG_HOME/brightfold/
// registry.reg (~/.config/... without XDG_CONFIG_HOME). Key and value names
// compare without regard to case; every call sees what other processes wrote;
// every change is written atomically (temporary file, then rename) under an
// advisory lock, so a crash leaves the old or the new hive, never half of one.
//
// Calls return Win32 error codes (0 = success) so that callers can pass them
// on unchanged, as the registry routines of the foundation do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

enum class Root { CurrentUser, LocalMachine };

// Win32 error codes used by the registry calls.
constexpr long kSuccess = 0;
constexpr long kFileNotFound = 2;        // key or value missing
constexpr long kAccessDenied = 5;        // key with subkeys cannot be deleted
constexpr long kInvalidParameter = 87;   // empty key path where a key is needed
constexpr long kUnsupportedType = 1630;  // value is neither text nor number
constexpr long kCantWrite = 1013;        // the hive file cannot be written
constexpr long kCantRead = 1012;         // the hive file exists but cannot be read

// A key path below a root: subkey names from the top down.
using KeyPath = std::vector<std::string>;

struct Value {
    enum class Type { String, Dword };
    Type type = Type::String;
    std::string text;     // String: the bytes of the text, without NUL
    uint32_t number = 0;  // Dword
};

// RegCreateKeyEx along the path: opens every level, creating the missing ones.
long createKey(Root root, const KeyPath& path);
// RegOpenKeyEx along the path without creating: kSuccess or kFileNotFound.
long openKey(Root root, const KeyPath& path);
// Sets a value (name "" is the key's default value). The key must exist.
long setValue(Root root, const KeyPath& path, std::string_view name, const Value& value);
// Reads a value. kFileNotFound when the key or the value does not exist.
long queryValue(Root root, const KeyPath& path, std::string_view name, Value& out);
// Deletes one value of an existing key.
long deleteValue(Root root, const KeyPath& path, std::string_view name);
// RegDeleteKey: deletes the last key of the path. A key that still has
// subkeys is refused with kAccessDenied, as on Windows NT.
long deleteKey(Root root, const KeyPath& path);
// Names of the direct subkeys of a key, in the order they were created.
long enumSubkeys(Root root, const KeyPath& path, std::vector<std::string>& names);

// The hive file in use (Linux); empty on Windows.
std::string hivePath();

}  // namespace platform::registry
