// The attach and detach steps of libtextlink (DllMain on Windows). No
// exception may leave them: the loader runs them inside the host.
#include "platform/library.h"
#include "platform/ui.h"
#include "text/textlink_state.h"

namespace {

// After an exception in the attach step (out of memory while loading the
// registry) the load is refused as a failed load is: what was read is
// dropped, the lock on sync.dat that the refresh held is released, and the
// message is shown.
bool refuseAfterException() {
    try {
        text::TextlinkState& state = text::textlinkState();
        state.attachFailed = true;
        state.registry.UnloadTBMData(foundation::SaveFirst::No);
        state.registry.UnlockSyncFile();
        platform::ui::messageBox(platform::ui::focusWindow(), text::notInstalledText(), "Error",
                                 platform::ui::Buttons::Ok, platform::ui::Icon::Error);
    } catch (...) {
        // Not even the message could be shown: the load is refused all the same.
    }
    return false;
}

bool onAttach() {
    try {
        return text::attachTextlink(text::textlinkState());
    } catch (...) {
        return refuseAfterException();
    }
}

void onDetach() {
    try {
        text::detachTextlink(text::textlinkState());
    } catch (...) {
        // Nothing may leave a destructor run by the loader.
    }
    text::releaseTextlinkState();
}

}  // namespace

PLATFORM_LIBRARY_ENTRY(onAttach, onDetach)
