#include "syncmgr/gridlink_state.h"

#include "foundation/sync_lock.h"
#include "platform/ui.h"
#include "syncmgr/discovery.h"
#include "syncmgr/sheet_distribution.h"

namespace syncmgr {

GridlinkState::GridlinkState()
    : registry(foundation::Product{kProductName}, kRegistryFileName, this),
      sheetExport(this),
      sheetImport(this) {
    registry.findHandheldBooks = [this](int userIndex, std::vector<foundation::HandheldBook>& books) {
        return FindHandheldBooks(registry, userIndex, books);
    };
}

void GridlinkState::releaseSheetBuffers() {
    sheetExport.release();
    sheetImport.release();
    categoryCache.release();  // the Sync Manager's PiTBPref.PDB image
}

// The link's counter is saved before any other process reads the file.
void GridlinkState::atBookEnd() {
    if (!inHotSync) registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::Yes);
}

int16_t GridlinkState::writeToUsers(workbook::TransferContext& context, std::string_view bookName,
                                    const foundation::PdbImage& image, size_t& usersWritten) {
    return WriteSheetToUsers(context, bookName, image, -1, 0, &usersWritten);
}

// The next refresh without saving would drop the counters, and VerifyImport
// would then take an older handheld book for a change to import. Loading
// while the registry is in memory writes it first.
int16_t GridlinkState::afterWrite() {
    if (inHotSync) return 1;  // the notification commits at its end
    foundation::SyncLockGuard lock(registry.syncFile, registry.settings.productFolder,
                                   foundation::kLockModeDesktop);
    if (lock.previousMode() < 0) return BF_ERR_WRITE;
    return registry.LoadLinkRegistry() < 0 ? BF_ERR_WRITE : 1;
}

namespace {

GridlinkState* g_state = nullptr;

}  // namespace

GridlinkState& gridlinkState() {
    if (!g_state) g_state = new GridlinkState;
    return *g_state;
}

void releaseGridlinkState() {
    delete g_state;
    g_state = nullptr;
}

bool attachGridlink(GridlinkState& state) {
    if (state.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No) < 0) {
        state.attachFailed = true;
        platform::ui::messageBox(platform::ui::focusWindow(), kNotInstalledMessage, "Error",
                                 platform::ui::Buttons::Ok, platform::ui::Icon::Error);
        return false;
    }
    state.attachFailed = false;
    return true;
}

void detachGridlink(GridlinkState& state) {
    {
        foundation::SyncLockGuard lock = state.registry.holdSyncLock(foundation::kLockModeDesktop);
        state.registry.UnloadTBMData(foundation::SaveFirst::No);
    }
    state.exportList.clear();
}

}  // namespace syncmgr
