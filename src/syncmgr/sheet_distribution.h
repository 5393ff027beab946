// syncmgr/sheet_distribution.h - a finished sheet database written to the
// HotSync users: into each user's Install folder as "<database name>.pdb",
// with the user's install flag raised so that the next HotSync carries it to
// the handheld. The closing call of an export (through the library's state,
// the export's owner) and the HotSync notification (passing a handheld book
// on to the other users) write through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "foundation/pdb.h"
#include "workbook/sheet_format.h"
#include "workbook/transfer_context.h"

namespace syncmgr {

// Format-flag bits a user's handheld copy decides when a sheet is written.
constexpr uint32_t kHandheldFontFlagsMask = 0x00100000 | 0x00001000 | 0x00000800;
// Book flags cleared when a user's handheld copy exists.
constexpr uint8_t kDesktopBookFlags = workbook::kBookHighResolution | workbook::kBookDesktopSizes;

// Writes a copy of the database image into the Install folder of the users
// concerned as "<database name>.pdb" and raises their install flags.
// Users from exportTargetUser (every user when it is negative) on, except
// excludedUser; when exporting to every user, only those whose link of
// bookName has a PC path and a rule other than Handheld Overwrites; their
// link's lastSyncedCounter becomes `counter` (changeCounter + 1 when 0).
// Each user's copy takes over from the user's handheld copy in Backup the
// open-password hash, the default sizes, the bytes at 58 and the font bits.
// 1 when every write succeeded and at least one user received the sheet;
// -10 when no user did (nothing written); -9 when a write fails (the loop
// stops there) or when the database name cannot be a file name (nothing
// written at all). usersWritten, when given, receives the number of users
// whose file was written (their counters changed), also on failure.
int16_t WriteSheetToUsers(workbook::TransferContext& context, std::string_view bookName,
                          const foundation::PdbImage& image, int excludedUser, int32_t counter,
                          size_t* usersWritten = nullptr);

}  // namespace syncmgr
