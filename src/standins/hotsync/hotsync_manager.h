// hotsync/hotsync_manager.h - the part of the HotSync Manager the system needs.
//
// The users, the notifier list and the install flags live in the hive
// (foundation/hotsync_users.h describes the layout).
//
// A notifier is a shared library exporting HS_Notify (cdecl, two 32-bit
// arguments: event code, HotSync ID). A path without a folder part is looked
// for in $BRIGHTFOLD_NOTIFIER_DIR, then in the system folder (where the
// installer puts notifiers), else in ../lib beside the program (where the
// build puts libgridlink.so).
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

#include "foundation/hotsync_users.h"

namespace hotsync {

constexpr const char* kNotifierDirVariable = "BRIGHTFOLD_NOTIFIER_DIR";

// The file a listed notifier is loaded from.
std::string resolveNotifier(const std::string& entry, const std::string& programFolder);

struct SyncRun {
    foundation::HotSyncUser user;
    std::string handheldFolder;  // this user's folder on the handheld
    std::string programFolder;   // where the notifiers' default folder is found
    std::function<void(const std::string&)> progress;
};

// Runs one HotSync; true when every step worked.
bool runHotSync(const SyncRun& run);

}  // namespace hotsync
