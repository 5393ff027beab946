// syncmgr/hotsync_notify.h - what the library does at the stages of a HotSync.
//
// The HotSync Manager loads the library as a notifier and calls HS_Notify
// (event, HotSync ID of the user being synchronized) at every HotSync; the
// answer is 1 whatever happens.
//
//   code  event             action
//   0     HS_SYNC_QUERYOK   none
//   1     HS_SYNC_STARTED   reload the link registry (lock mode 1, dropping
//                           what is in memory), then, for an enabled user,
//                           send the user's CSV links (CsvToHandheld)
//   2     HS_SYNC_SUCCESS   for an enabled user: bring changed books back
//                           from Backup, pass them on to the other users
//                           who link them, commit the registry
//   3     HS_SYNC_FAILURE   release the lock file if it is held
//   4     HS_USER_UPDATE    none
//   other                   none
//
// A book in the user's Backup folder is brought back when the user's link
// has a PC path and
//   syncRule 1 Handheld Overwrites   always
//   syncRule 0 Synchronize           lastSyncedCounter is -1 or -2, or the
//                                    book's changeCounter is greater
//                                    (unsigned comparison)
//   syncRule 2 Desktop Overwrites    never
// Bringing back: every sheet database of the book goes to the Install folder
// of every other user whose link of the book has a PC path and a rule other
// than Handheld Overwrites (their counter becomes changeCounter + 1, their
// install flag is raised); a CSV link then gets its CSV files rewritten and,
// when that worked, lastSyncedCounter = changeCounter; the other users'
// links of the same files take the files' time as their csvSyncTime, so the
// files are not sent back as a desktop change (csvTimeAfter: never past a
// desktop change a user has not had yet). A missing PC file
// sets lastSyncedCounter to -1 (CSV) or -2 (a workbook); a workbook still
// marked -2 gets the template workbook copied to its path and -1.
//
// The registry is only read and written under the sync.dat lock, held for
// the reload at the start and the commit at the end, never during a
// conversion. The commit keeps what the desktop saved meanwhile (a link
// registered or unregistered in the Sync Manager during the HotSync): it
// reloads the file under the lock and applies only the counters and CSV
// times the notification changed since its start, to links that still have
// the same PC path. While a notification runs, state.inHotSync keeps the end of
// an imported book from refreshing the registry in the middle of it (the
// refresh would rebuild the lists the notification is walking).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace syncmgr {

struct GridlinkState;

// A link as HS_SYNC_STARTED loaded it: what the commit compares against.
struct LinkSnapshot {
    std::string name;
    std::string pcPath;
    int32_t lastSyncedCounter = 0;
    uint64_t csvSyncTime = 0;
};
// Per user (userList order), the links in list order.
using HotSyncBaseline = std::vector<std::vector<LinkSnapshot>>;

// HotSync event codes (include/gridlink.h has them for the host side).
constexpr int32_t kHotSyncQueryOk = 0;
constexpr int32_t kHotSyncStarted = 1;
constexpr int32_t kHotSyncSuccess = 2;
constexpr int32_t kHotSyncFailure = 3;
constexpr int32_t kHotSyncUserUpdate = 4;

// HS_Notify on the library's state; always 1. The ID is the user's HotSync
// ID as the HotSync Manager passes it, a signed 32-bit value; it is matched
// against the users' "ID" values as an unsigned 32-bit number.
int32_t notifyHotSync(GridlinkState& state, int32_t event, int32_t userId);

}  // namespace syncmgr
