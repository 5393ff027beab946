// syncmgr/import_checks.h - whether an open workbook is due for import.
//
// VerifyImport answers the add-in's question for a workbook that Excel has
// open: is a newer handheld copy of its linked book waiting in a user's
// Backup folder? The link registry (foundation/link_registry.h) decides:
//
//   syncRule                  the handheld book is imported when
//   0 Synchronize             lastSyncedCounter is -1, or changeCounter is
//                             greater than lastSyncedCounter (both unsigned,
//                             so -2 never imports)
//   1 Handheld Overwrites     always
//   2 Desktop Overwrites      never
//
// Users are asked in index order, disabled users skipped; the first whose
// link qualifies is chosen.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/link_registry.h"
#include "gridlink.h"
#include "workbook/transfer_context.h"

namespace syncmgr {

constexpr std::string_view kWorkbookEnding = ".xls";

// True when the link's handheld book is to be imported by VerifyImport.
bool importDue(const foundation::LinkEntry& link);

// VerifyImport: refreshes the link registry (desktop mode, no save), finds
// the user whose link of the record's workbook (text: its full path, ending
// in ".xls") qualifies, and lists that user's sheet databases of the book
// into the record (book_lister.h). The link's lastSyncedCounter becomes
// changeCounter + 1 in memory, the import user and fontMapping the user's
// and the link's. Returns the user index, -1 when there is nothing to import
// (or no record, or the refresh fails), -3 when memory is short.
int16_t VerifyImport(workbook::TransferContext& context, TextRecord* record, std::string& lastListedBook);

}  // namespace syncmgr
