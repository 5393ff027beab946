// workbook/transfer_context.h - what sheet export and import work on.
//
// Both directions read the process's link registry (users, their folders and
// links, highResolution) and the module-wide choices that the dialogs and
// checks leave behind for the sheet and cell calls that follow.
#pragma once

#include <cstdint>

#include "foundation/link_registry.h"
#include "workbook/passwords.h"

namespace workbook {

struct TransferOptions {
    int32_t fontMapping = 0;        // "Map default Excel font to:" index, -1 when High Resolution is off
    int32_t exportCategory = 0;     // handheld category of an export (0-15)
    int32_t exportTargetUser = -1;  // negative: every user that links the book
    int32_t importUser = -1;        // negative: taken as user 0
    ExportTarget exportTarget;      // exportBookName, the passwords and their hashes
};

struct TransferContext {
    foundation::LinkRegistry& registry;
    TransferOptions& options;
};

}  // namespace workbook
