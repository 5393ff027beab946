// workbook/passwords.h - password hashes of sheet databases.
//
// The book header holds three hashes (sheet_format.h): at 34 the password
// that opening the sheet needs (set on the handheld), at 50 and 54 the author
// and user passwords the desktop writes. Only hashes are ever stored.
//
// Hash: the password followed by the salt "Qmvr"; the starting value XOR-ed
// with every whole group of four bytes read big-endian (1 to 3 bytes after
// the last whole group are not used). A result of 0 is replaced by the first
// four bytes of the text as one number: big-endian for the desktop's author
// and user hashes (starting value 0x5B2E9C17), little-endian for the check
// of a typed password (starting value 0). An empty author or user password
// is not hashed: its hash is 0, no password.
//
// The state these operations read and set (the export target, the entered
// password hash, the open sheet's header) is passed in explicitly, so the
// module that owns it can wire them up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "gridlink.h"
#include "workbook/sheet_format.h"

namespace workbook {

constexpr std::string_view kPasswordSalt = "Qmvr";
constexpr uint32_t kExportHashStart = 0x5B2E9C17;
constexpr uint32_t kCheckHashStart = 0;
constexpr size_t kMaxPasswordLength = 31;  // the Export dialog's fields

// How a zero hash is replaced.
enum class ZeroHash { BigEndian, LittleEndian };

// Any length of password (the handheld may set long ones).
uint32_t HashPassword(std::string_view password, uint32_t start, ZeroHash zeroHash = ZeroHash::BigEndian);

// The hash the desktop writes for an author or user password (0 when empty).
uint32_t exportPasswordHash(std::string_view password);

// What an export writes into every sheet database it produces.
struct ExportTarget {
    std::string exportBookName;  // workbook file name without folder and ".xls"
    std::string authorPassword;
    std::string userPassword;
    uint32_t authorPasswordHash = 0;
    uint32_t userPasswordHash = 0;
};

// The book name of a workbook path: the last component (after the last
// backslash or slash: paths here use '/', the add-in's may use '\'), with a
// final ".xls" in any case removed.
std::string bookNameFromPath(std::string_view path);

// Sets exportBookName from the path in the record's byte string at offset 48
// (read up to its first NUL) and hashes the two passwords. 1, or -1 when the
// record is missing.
int16_t PrepareExportTarget(const SheetRecord* record, ExportTarget& target);

// Checks the password typed (the record's text, up to its first NUL) against
// the open sheet: 1 accepted or none needed; -1 record missing; -11 the sheet
// has an author password; -13 wrong password or no text; -14 no sheet is
// open. enteredPasswordHash takes the typed password's hash whenever one is
// computed, right or wrong.
int16_t CheckPasswd(const TextRecord* record, const BookHeader* openSheetHeader,
                    uint32_t& enteredPasswordHash);

}  // namespace workbook
