#include "syncmgr/gridlink_state.h"

#include "foundation/sync_lock.h"
#include "platform/ui.h"
#include "syncmgr/discovery.h"

namespace syncmgr {

GridlinkState::GridlinkState() : registry(foundation::Product{kProductName}, kRegistryFileName) {
    registry.findHandheldBooks = [this](int userIndex, std::vector<foundation::HandheldBook>& books) {
        return FindHandheldBooks(registry, userIndex, books);
    };
    // Freeing the registry frees the sheet buffers that depend on it.
    registry.releaseModuleState = [this] {
        sheetExport.release();
        sheetImport.release();
        categoryCache.release();
    };
    // The end of an imported book saves what the import check recorded
    // (the link's counter) before any other process reads the file.
    sheetImport.atBookEnd = [this] {
        if (!inHotSync)
            registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::Yes);
    };
    // A sheet that reached users saves their links' counters at once: the
    // next refresh without saving would drop them, and VerifyImport would
    // then take an older handheld book for a change to import. Loading while
    // the registry is in memory writes it first.
    sheetExport.afterWrite = [this]() -> int16_t {
        if (inHotSync) return 1;  // the notification commits at its end
        foundation::SyncLockGuard lock(registry.syncFile, registry.settings.productFolder,
                                       foundation::kLockModeDesktop);
        if (lock.previousMode() < 0) return BF_ERR_WRITE;
        return registry.LoadLinkRegistry() < 0 ? BF_ERR_WRITE : 1;
    };
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
