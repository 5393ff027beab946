// syncmgr/export_checks.h - whether and for whom a desktop workbook is exported.
//
// The add-in asks VerifyExport before it hands a linked workbook's sheets
// over; the CSV export asks VerifyFileExport for one user. The answer comes
// from the link registry's links and sync rules:
//
//   syncRule                 desktop to handheld
//   0 Synchronize            yes
//   1 Handheld Overwrites    no, unless the handheld book's versionSign is 0
//   2 Desktop Overwrites     yes
//
// Export list: one block of PC paths, each followed by one NUL, no further
// terminator, with its count. VerifyAllFileExport hands it out whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gridlink.h"
#include "workbook/transfer_context.h"

namespace syncmgr {

struct ExportList {
    std::string block;  // "path\0path\0..."
    int32_t count = 0;

    bool empty() const { return count == 0; }
    void clear() {
        block.clear();
        count = 0;
    }
    // True when the list holds the path (compared without regard to case).
    bool contains(std::string_view path) const;
    void append(std::string_view path);
};

// VerifyFileExport: with user < 0, the workbook path (SheetRecord offset 48)
// must name a ".xls" file whose book is linked; the target is the first
// enabled user, from user 0 on, whose link allows export. With user >= 0 the
// file name is the book name as it is and the walk starts at that user; a
// Handheld Overwrites link there ends it with -1. On success the path is
// replaced by the user's Install folder joined with the book name (its
// length counting the NUL), offset 2 and exportTargetUser take the user
// index, fontMapping the link's, the passwords are emptied and the export
// target prepared. Returns the user index, -1 (nothing to export, or no
// record) or -3.
int16_t VerifyFileExport(workbook::TransferContext& context, SheetRecord* record, int user);

// VerifyExport: refreshes the link registry (desktop mode, no save), then
// VerifyFileExport with user -1.
int16_t VerifyExport(workbook::TransferContext& context, SheetRecord* record);

// BuildExportList: the PC paths of the links of enabled users that may be
// exported (Handheld Overwrites only when the book is not known from the
// handheld), each once; a path whose book is on the handheld is left out when
// the previous list already held it.
void BuildExportList(workbook::TransferContext& context, ExportList& list);

// VerifyAllFileExport: the record's text becomes the list's block (no string
// when the list is empty) and its number the count. 0, -1 or -3.
int16_t VerifyAllFileExport(const ExportList& list, TextRecord* record);

}  // namespace syncmgr
