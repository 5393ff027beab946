// foundation/registry_access.h - the HotSync environment in the registry.
//
// Registry layout (all under HKEY_CURRENT_USER):
//   Software\Brightfold\<product>           the product key
//     "Path"     text    productFolder (TBRegistry.dat / QLRegistry.dat, sync.dat, ...)
//     "Backup"   text    backupFolderName inside each user folder ("Backup" when empty)
//     "Install"  text    installFolderName inside each user folder ("Install" when empty)
//   Software\Brightfold\<product>\User<n>   one key per HotSync user, n = 0, 1, 2, ...
//     "Name"     text    HotSync user name; the list ends at the first empty name
//     "Path"     text    the user's HotSync folder
//     "ID"       text    the user's HotSync ID, decimal
//   SOFTWARE\U.S. Robotics\Pilot Desktop\HotSync Manager
//     "Install<ID>" number  1 = files wait in that user's Install folder
//
// The routines take a whole key path as one text: a root name, a backslash,
// then subkeys separated by backslashes. The root is HKEY_LOCAL_MACHINE only
// when the first part is exactly "HKEY_LOCAL_MACHINE"; any other first part
// (even "hkey_local_machine") addresses HKEY_CURRENT_USER.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "brightfold.h"

namespace foundation {

constexpr std::string_view kProductKeyPrefix = "HKEY_CURRENT_USER\\Software\\Brightfold\\";
constexpr std::string_view kHotSyncManagerKey =
    "HKEY_CURRENT_USER\\SOFTWARE\\U.S. Robotics\\Pilot Desktop\\HotSync Manager";
constexpr std::string_view kDefaultBackupFolderName = "Backup";
constexpr std::string_view kDefaultInstallFolderName = "Install";

// RegistryValue: opens the key path, creating every missing key. With a
// number, writes it as a 32-bit value; else with a non-empty text, writes the
// text; else reads the value into text (left empty when missing). Returns a
// Win32 error code, 0 on success; callers treat a failure like an empty
// value. Unlike a fixed 256-byte buffer, a value of any length is read whole,
// so a long folder path is never taken for a missing one.
long RegistryValue(std::string_view keyPath, std::string_view valueName, std::string& text,
                   const uint32_t* number = nullptr);
// Reads a value as text without creating anything (for checks that must not
// leave keys behind). Empty when the key or value is missing.
std::string RegistryRead(std::string_view keyPath, std::string_view valueName);
// RegistryDeleteKey: deletes the last key of the path when every key on the
// way exists. Returns a Win32 error code.
long RegistryDeleteKey(std::string_view keyPath);

// Names and keys of one product ("Tabulo" for the workbook library, "Quillo"
// for the text library).
struct Product {
    std::string name;

    std::string productKey() const;            // kProductKeyPrefix + name
    std::string userKey(int userIndex) const;  // product key + "\User" + index
};

// The product key's folder settings (empty productFolder: not installed).
struct ProductSettings {
    std::string productFolder;
    std::string backupFolderName;
    std::string installFolderName;
};
ProductSettings readProductSettings(const Product& product);

// The user names in index order: from User0 upwards until the first empty
// "Name", whose key is deleted again.
std::vector<std::string> readUserNames(const Product& product);

// ListUsers: fills the record's text with, for each user, "0", the name and a
// NUL, then a final NUL; returns the number of users, -10 with no user (record
// unchanged), -3 when the string cannot be allocated, -1 for a null record.
int16_t ListUsers(const Product& product, TextRecord* record);

// GetUserFolder: the user's "Path" (possibly empty); an empty one deletes the
// user's key.
std::string GetUserFolder(const Product& product, int userIndex);

// FindUserById: the index of the user whose "ID" is the given HotSync ID, or
// -1. The walk stops at the first user key without an ID, which it deletes.
// IDs are compared as unsigned 32-bit numbers, so an ID above 2^31 written in
// decimal matches the same ID passed as a signed 32-bit value.
int FindUserById(const Product& product, uint32_t id);

// MarkPendingInstall: sets "Install<ID>" = 1 under the HotSync Manager key for
// the user; a user without an ID has its key deleted instead.
void MarkPendingInstall(const Product& product, int userIndex);

// Splits a whole key path into its parts (empty parts skipped).
std::vector<std::string> splitKeyPath(std::string_view keyPath);

}  // namespace foundation
