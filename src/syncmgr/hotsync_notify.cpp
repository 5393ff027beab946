#include "syncmgr/hotsync_notify.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "foundation/pdb.h"
#include "foundation/registry_access.h"
#include "foundation/sync_lock.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"
#include "syncmgr/csv_conversion.h"
#include "syncmgr/discovery.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/sheet_distribution.h"
#include "workbook/book_lister.h"
#include "workbook/csv_format.h"
#include "workbook/owned_records.h"

namespace syncmgr {

namespace {

// Marks the notification as running for its whole span.
class HotSyncScope {
public:
    explicit HotSyncScope(GridlinkState& state) : state_(state), previous_(state.inHotSync) {
        state.inHotSync = true;
    }
    ~HotSyncScope() { state_.inHotSync = previous_; }
    HotSyncScope(const HotSyncScope&) = delete;
    HotSyncScope& operator=(const HotSyncScope&) = delete;

private:
    GridlinkState& state_;
    bool previous_;
};

bool isCsvPath(std::string_view path) { return platform::endsWithNoCase(path, workbook::kCsvFileEnding); }

bool pcFileExists(const std::string& path) {
    return platform::File::open(path, platform::File::Mode::Read).has_value();
}

// Whether the handheld book comes back to the desktop under the link's rule.
bool bringsBack(const foundation::LinkEntry& link, uint32_t changeCounter) {
    switch (link.syncRule) {
        case foundation::kSyncHandheldOverwrites:
            return true;
        case foundation::kSyncSynchronize:
            return link.lastSyncedCounter == foundation::kCounterImportNext ||
                   link.lastSyncedCounter == foundation::kCounterPcFileMissing ||
                   changeCounter > uint32_t(link.lastSyncedCounter);
        default:
            return false;
    }
}

HotSyncBaseline snapshotLinks(const foundation::LinkRegistry& registry) {
    HotSyncBaseline baseline(registry.userList.size());
    for (size_t u = 0; u < registry.userList.size(); ++u)
        for (const foundation::LinkEntry& link : registry.userList[u].links)
            baseline[u].push_back(
                {std::string(link.name()), link.pcPath, link.lastSyncedCounter, link.csvSyncTime.value()});
    return baseline;
}

// What the notification changed in one link since its start.
struct LinkChange {
    std::string user;
    LinkSnapshot now;
    bool counter = false;
    bool csvTime = false;
};

std::vector<LinkChange> changesSince(const foundation::LinkRegistry& registry,
                                     const HotSyncBaseline& baseline) {
    std::vector<LinkChange> changes;
    for (size_t u = 0; u < registry.userList.size(); ++u) {
        const foundation::UserEntry& user = registry.userList[u];
        for (size_t i = 0; i < user.links.size(); ++i) {
            const foundation::LinkEntry& link = user.links[i];
            if (link.pcPath.empty()) continue;
            const LinkSnapshot* before =
                u < baseline.size() && i < baseline[u].size() ? &baseline[u][i] : nullptr;
            if (before && before->name != link.name()) before = nullptr;
            LinkChange change{
                user.name,
                {std::string(link.name()), link.pcPath, link.lastSyncedCounter, link.csvSyncTime.value()},
                !before || before->lastSyncedCounter != link.lastSyncedCounter,
                !before || before->csvSyncTime != link.csvSyncTime.value()};
            if (change.counter || change.csvTime) changes.push_back(std::move(change));
        }
    }
    return changes;
}

// The commit: the file as the desktop left it, with the notification's own
// changes on top. A link the desktop unlinked or moved to another path
// meanwhile keeps the desktop's state.
void commit(GridlinkState& state) {
    foundation::LinkRegistry& registry = state.registry;
    std::vector<LinkChange> changes = changesSince(registry, state.hotSyncBaseline);
    state.hotSyncBaseline.clear();
    foundation::SyncLockGuard lock = registry.holdSyncLock(foundation::kLockModeHotSync);
    if (lock.previousMode() < 0) return;
    registry.UnloadTBMData(foundation::SaveFirst::No);
    if (registry.LoadLinkRegistry() < 0) return;
    for (const LinkChange& change : changes) {
        auto user = std::find_if(registry.userList.begin(), registry.userList.end(),
                                 [&](const foundation::UserEntry& u) { return u.name == change.user; });
        if (user == registry.userList.end()) continue;
        foundation::LinkEntry* link =
            registry.findLink(int(user - registry.userList.begin()), change.now.name);
        if (!link || !platform::sameNoCase(link->pcPath, change.now.pcPath)) continue;
        if (change.counter) link->lastSyncedCounter = change.now.lastSyncedCounter;
        if (change.csvTime) link->csvSyncTime = foundation::FileTimeParts::of(change.now.csvSyncTime);
    }
    registry.LoadLinkRegistry();  // writes the registry in memory first
}

// HS_SYNC_STARTED: pick up every link the desktop side saved, then send the
// user's CSV links.
void syncStarted(GridlinkState& state, int user) {
    foundation::LinkRegistry& registry = state.registry;
    {
        foundation::SyncLockGuard lock = registry.holdSyncLock(foundation::kLockModeHotSync);
        if (lock.previousMode() < 0) return;  // no sync.dat: nothing can be loaded safely
        registry.UnloadTBMData(foundation::SaveFirst::No);
        registry.LoadLinkRegistry();
        state.hotSyncBaseline = snapshotLinks(registry);
    }
    if (size_t(user) >= registry.userList.size() || registry.userList[size_t(user)].enabled == 0) return;
    CsvToHandheld(state, user);
}

// Passes the sheet databases of a listed book on to the other users and,
// for a CSV link, rewrites its CSV files.
void bringBack(GridlinkState& state, int user, const std::string& bookName, uint32_t changeCounter,
               TextRecord& list, int16_t count) {
    foundation::LinkRegistry& registry = state.registry;
    auto context = state.context();
    const std::string listBytes(platform::byteStringView(list.text));
    for (int k = 1; k <= count; ++k) {
        auto file = workbook::bookListFile(listBytes, k);
        if (!file) break;
        foundation::PdbImage image;
        if (!foundation::loadPdb(image, workbook::bookFilePath(file->bookPath, file->fileName))) break;
        state.options.exportTargetUser = -1;
        WriteSheetToUsers(context, bookName, image, user, int32_t(changeCounter + 1));
    }

    const foundation::LinkEntry* link = registry.findLink(user, bookName);
    if (!link || !isCsvPath(link->pcPath)) return;
    const std::string pcPath = link->pcPath;
    platform::FileTime csvTime = link->csvSyncTime.value();
    std::vector<CsvFileTime> written;
    const int16_t converted = HandheldToCsv(state, &list, pcPath, csvTime, &written);
    // Found again: nothing may hold a link across a conversion.
    if (foundation::LinkEntry* after = registry.findLink(user, bookName)) {
        after->csvSyncTime = foundation::FileTimeParts::of(csvTime);
        if (converted > 0) after->lastSyncedCounter = int32_t(changeCounter);
    }
    // The files just written hold the handheld's book, which the other users
    // linking the same files have just been sent: for them too they are no
    // desktop change to send back at their next HotSync. Their time moves
    // past those files only, not past changes they have not had yet.
    if (written.empty()) return;
    for (size_t other = 0; other < registry.userList.size(); ++other) {
        if (int(other) == user) continue;
        foundation::LinkEntry* shared = registry.findLink(int(other), bookName);
        if (!shared || !platform::sameNoCase(shared->pcPath, pcPath)) continue;
        const platform::FileTime theirs = shared->csvSyncTime.value();
        shared->csvSyncTime =
            foundation::FileTimeParts::of(std::max(theirs, csvTimeAfter(pcPath, theirs, written)));
    }
}

// HS_SYNC_SUCCESS: bring changed books back, pass them on, commit.
void syncSucceeded(GridlinkState& state, int user) {
    foundation::LinkRegistry& registry = state.registry;
    if (size_t(user) >= registry.userList.size() || registry.userList[size_t(user)].enabled == 0) return;
    std::vector<foundation::HandheldBook> books;
    if (FindHandheldBooks(registry, user, books) <= 0) return;

    // The sheets are read for this user (the device class scales sizes).
    state.options.importUser = user;
    for (const foundation::HandheldBook& book : books) {
        const std::string bookName(book.bookName());
        foundation::LinkEntry* link = registry.findLink(user, bookName);
        if (!link || link->pcPath.empty()) continue;
        const std::string pcPath = link->pcPath;
        const bool csv = isCsvPath(pcPath);
        const bool missing = !pcFileExists(pcPath);
        if (missing)
            link->lastSyncedCounter =
                csv ? foundation::kCounterImportNext : foundation::kCounterPcFileMissing;

        if (bringsBack(*link, book.changeCounter)) {
            workbook::OwnedText list;
            list.number = workbook::kListSheetDatabases;
            std::string path = platform::joinPath(registry.backupFolder(user), bookName);
            path += '\0';
            if (!platform::replaceByteString(list.text, path)) break;  // commit what was done
            const int16_t count = workbook::ListBookFiles(&list, nullptr, state.sheetImport.lastListedBook);
            if (count > 0) bringBack(state, user, bookName, book.changeCounter, list, count);
        }

        // A missing workbook gets the template, so that the next VerifyImport
        // loads the handheld book into it. A file that is there is never
        // replaced.
        link = registry.findLink(user, bookName);
        if (link && link->lastSyncedCounter == foundation::kCounterPcFileMissing) {
            if (missing) platform::copyFile(registry.templateWorkbookPath, pcPath, true);
            link->lastSyncedCounter = foundation::kCounterImportNext;
        }
    }

    commit(state);
}

}  // namespace

int32_t notifyHotSync(GridlinkState& state, int32_t event, int32_t userId) {
    if (state.attachFailed) return 1;
    HotSyncScope scope(state);
    try {
        switch (event) {
            case kHotSyncStarted:
            case kHotSyncSuccess: {
                const int user = foundation::FindUserById(state.registry.product(), uint32_t(userId));
                if (user < 0) break;
                if (event == kHotSyncStarted)
                    syncStarted(state, user);
                else
                    syncSucceeded(state, user);
                break;
            }
            case kHotSyncFailure:
                state.registry.UnlockSyncFile();
                break;
            default:
                break;  // HS_SYNC_QUERYOK, HS_USER_UPDATE and unknown codes
        }
    } catch (const std::bad_alloc&) {
        // Never reported to the HotSync Manager; the next HotSync starts over.
    }
    return 1;
}

}  // namespace syncmgr
