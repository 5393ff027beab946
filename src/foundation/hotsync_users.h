// foundation/hotsync_users.h - the HotSync users, the notifier list and the
// install flags, as the HotSync Manager keeps them in the hive. The HotSync
// stand-in, the installer and the desktop stand-ins share this module.
//
// Everything lives under the HotSync Manager's key (kHotSyncManagerKey,
// HKEY_CURRENT_USER\SOFTWARE\U.S. Robotics\Pilot Desktop\HotSync Manager):
//
//   value "Install<ID>"         dword  1: files wait in that user's Install
//                                      folder (raised by the libraries,
//                                      cleared to 0 by a HotSync)
//   key "Users\User<n>"                the HotSync users, n = 0, 1, ...; the
//     "Name"  text                     list ends at the first empty name
//     "Path"  text                     the user's HotSync folder, holding
//                                      Backup and Install
//     "ID"    text                     the HotSync ID, decimal (0 to 2^32-1)
//   key "Notifiers"                    the notifier libraries, called in order
//     "Notifier<n>"  text              a library path, n = 0, 1, ...; the list
//                                      ends at the first missing or empty one
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

constexpr const char* kUsersKeyName = "Users";
constexpr const char* kNotifiersKeyName = "Notifiers";
constexpr const char* kNotifierValuePrefix = "Notifier";
constexpr const char* kBackupFolderName = "Backup";
constexpr const char* kInstallFolderName = "Install";

struct HotSyncUser {
    std::string name;
    std::string folder;
    std::string id;  // decimal text
};

// The HotSync ID as the 32-bit number HS_Notify passes; nothing when the
// text is not a decimal number of at most 32 bits.
std::optional<uint32_t> parseHotSyncId(const std::string& text);

std::vector<HotSyncUser> readUsers();
std::optional<HotSyncUser> findUser(const std::string& name);
// Adds a user, or updates the one of the same name (compared with case);
// creates the user's folder with Backup and Install in it.
bool addUser(const HotSyncUser& user, std::string& error);

// Creates the user's folder and the Backup and Install folders in it, where
// missing; false with a message when one cannot be made.
bool ensureUserFolders(const HotSyncUser& user, std::string& error);

std::vector<std::string> readNotifiers();
// Adds a notifier at the end, unless it is listed already (compared without
// regard to case). A relative path with a folder part is made absolute.
bool addNotifier(const std::string& path, std::string& message);
// Removes a notifier (compared without regard to case); the later ones move up.
bool removeNotifier(const std::string& path, std::string& message);
// Puts a notifier at a place of the list, as given (no check for one listed
// already): replaces the one at index, or appends when index is at or past
// the end.
bool setNotifier(size_t index, const std::string& path, std::string& message);

// The user's install flag ("Install<ID>"), or nothing when it is not there.
std::optional<uint32_t> installFlag(const HotSyncUser& user);
// Sets the user's install flag to 0 (after a HotSync took the files).
void clearInstallFlag(const HotSyncUser& user);

}  // namespace foundation
