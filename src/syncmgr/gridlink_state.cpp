#include "syncmgr/gridlink_state.h"

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
    };
    // The end of an imported book saves what the import check recorded
    // (the link's counter) before any other process reads the file.
    sheetImport.atBookEnd = [this] {
        if (!inHotSync) registry.RefreshLinkRegistry(foundation::kLockModeDesktop, 1);
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
    if (state.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, 0) < 0) {
        state.attachFailed = true;
        platform::ui::messageBox(platform::ui::focusWindow(), kNotInstalledMessage, "Error",
                                 platform::ui::Buttons::Ok, platform::ui::Icon::Error);
        return false;
    }
    state.attachFailed = false;
    return true;
}

void detachGridlink(GridlinkState& state) {
    state.registry.LockSyncFile(foundation::kLockModeDesktop);
    state.registry.UnloadTBMData(0);
    state.registry.UnlockSyncFile();
    state.exportList.clear();
}

}  // namespace syncmgr
