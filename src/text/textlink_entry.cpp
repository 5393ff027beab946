// The attach and detach steps of libtextlink (DllMain on Windows).
#include "platform/library.h"
#include "text/textlink_state.h"

namespace {

bool onAttach() {
    try {
        return text::attachTextlink(text::textlinkState());
    } catch (...) {
        // Out of memory while loading the registry: refuse the load.
        text::textlinkState().attachFailed = true;
        return false;
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
