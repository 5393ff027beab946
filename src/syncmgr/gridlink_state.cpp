#include "syncmgr/gridlink_state.h"

#include "platform/ui.h"
#include "syncmgr/discovery.h"

namespace syncmgr {

GridlinkState::GridlinkState() : registry(foundation::Product{kProductName}, kRegistryFileName) {
    registry.findHandheldBooks = [this](int userIndex, std::vector<foundation::HandheldBook>& books) {
        return FindHandheldBooks(registry, userIndex, books);
    };
}

GridlinkState& gridlinkState() {
    static GridlinkState state;
    return state;
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
}

}  // namespace syncmgr
