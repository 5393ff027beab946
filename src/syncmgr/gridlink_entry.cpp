// The attach and detach steps of libgridlink (DllMain on Windows).
#include "platform/library.h"
#include "syncmgr/gridlink_state.h"

namespace {

bool onAttach() { return syncmgr::attachGridlink(syncmgr::gridlinkState()); }
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
