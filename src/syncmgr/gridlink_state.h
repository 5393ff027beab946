// syncmgr/gridlink_state.h - the module-wide state of the workbook library.
//
// Each process that loads the library has one GridlinkState, created when
// the library is attached and released when it is detached. The processes
// meet only through the files of the link registry (TBRegistry.dat under the
// lock on sync.dat) and the users' Backup and Install folders.
#pragma once

#include "foundation/link_registry.h"

namespace syncmgr {

constexpr const char* kProductName = "Tabulo";
constexpr const char* kRegistryFileName = "TBRegistry.dat";
constexpr const char* kTemplateWorkbookName = "dummy.xls";
constexpr const char* kNotInstalledMessage = "Tabulo is not installed properly";

struct GridlinkState {
    GridlinkState();
    GridlinkState(const GridlinkState&) = delete;
    GridlinkState& operator=(const GridlinkState&) = delete;

    foundation::LinkRegistry registry;
    // Set when the attach step could not load the link registry: the library
    // stays usable for GetErrorText only (a host that loads it without the
    // platform loader keeps it in that state).
    bool attachFailed = false;
};

// The library's one instance.
GridlinkState& gridlinkState();

// Attach: refresh the link registry in desktop mode without saving; on
// failure show "Tabulo is not installed properly" and refuse (false).
bool attachGridlink(GridlinkState& state);
// Detach: release the registry without writing it, under the lock.
void detachGridlink(GridlinkState& state);

}  // namespace syncmgr
