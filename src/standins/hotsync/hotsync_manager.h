// hotsync/hotsync_manager.h - the part of the HotSync Manager the system needs.
//
// Everything lives in the hive under the HotSync Manager's key
// (HKEY_CURRENT_USER\SOFTWARE\U.S. Robotics\Pilot Desktop\HotSync Manager):
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
//
// A notifier is a shared library exporting HS_Notify (cdecl, two 32-bit
// arguments: event code, HotSync ID). A path without a folder part is looked
// for in $BRIGHTFOLD_NOTIFIER_DIR, else in ../lib beside the program (where
// the build puts libgridlink.so).
//
// One HotSync of a user:
//   1. load every notifier through platform::Library (attach step and all;
//      one that refuses or lacks HS_Notify is left out)
//   2. HS_Notify(HS_SYNC_STARTED, ID)
//   3. install: every database file in the user's Install folder is written
//      onto the handheld under its database name and removed from Install;
//      the user's install flag is cleared
//   4. back up: every database on the handheld is copied into the user's
//      Backup folder
//   5. HS_Notify(HS_SYNC_SUCCESS, ID), or HS_SYNC_FAILURE when step 3 or 4
//      failed
//   6. unload the notifiers
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hotsync {

constexpr const char* kUsersKeyName = "Users";
constexpr const char* kNotifiersKeyName = "Notifiers";
constexpr const char* kNotifierValuePrefix = "Notifier";
constexpr const char* kBackupFolderName = "Backup";
constexpr const char* kInstallFolderName = "Install";
constexpr const char* kNotifierDirVariable = "BRIGHTFOLD_NOTIFIER_DIR";

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
// Adds a user, or updates the one of the same name (compared with case).
bool addUser(const HotSyncUser& user, std::string& error);

std::vector<std::string> readNotifiers();
// Adds a notifier at the end, unless it is listed already (compared without
// regard to case). A relative path with a folder part is made absolute.
bool addNotifier(const std::string& path, std::string& message);
// Removes a notifier (compared without regard to case); the later ones move up.
bool removeNotifier(const std::string& path, std::string& message);
// The file a listed notifier is loaded from.
std::string resolveNotifier(const std::string& entry, const std::string& programFolder);

// The user's install flag ("Install<ID>"), or nothing when it is not there.
std::optional<uint32_t> installFlag(const HotSyncUser& user);

struct SyncRun {
    HotSyncUser user;
    std::string handheldFolder;  // this user's folder on the handheld
    std::string programFolder;   // where the notifiers' default folder is found
    std::function<void(const std::string&)> progress;
};

// Runs one HotSync; true when every step worked.
bool runHotSync(const SyncRun& run);

}  // namespace hotsync
