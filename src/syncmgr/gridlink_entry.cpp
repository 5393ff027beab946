// The attach and detach steps of libgridlink (DllMain on Windows). No
// exception may leave them: the loader runs them inside the host.
#include "platform/library.h"
#include "platform/ui.h"
#include "syncmgr/gridlink_state.h"

namespace {

// After an exception in the attach step (out of memory while loading the
// link registry) the load is refused as a failed load is: what was read is
// dropped, the lock on sync.dat that the refresh held is released, and the
// message is shown.
bool refuseAfterException() {
    try {
        syncmgr::GridlinkState& state = syncmgr::gridlinkState();
        state.attachFailed = true;
        state.registry.UnloadTBMData(foundation::SaveFirst::No);
        state.registry.UnlockSyncFile();
        platform::ui::messageBox(platform::ui::focusWindow(), syncmgr::kNotInstalledMessage, "Error",
                                 platform::ui::Buttons::Ok, platform::ui::Icon::Error);
    } catch (...) {
        // Not even the message could be shown: the load is refused all the same.
    }
    return false;
}

bool onAttach() {
    try {
        return syncmgr::attachGridlink(syncmgr::gridlinkState());
    } catch (...) {
        return refuseAfterException();
    }
}

void onDetach() {
    try {
        syncmgr::detachGridlink(syncmgr::gridlinkState());
    } catch (...) {
        // Nothing may leave a destructor run by the loader.
    }
    syncmgr::releaseGridlinkState();
}

}  // namespace

PLATFORM_LIBRARY_ENTRY(onAttach, onDetach)
