// workbook/sheet_probe.h - the headers of a sheet database file, without
// loading the whole file.
//
// Reads the 78-byte container header, and, when the database has records,
// the first record entry and the 62 bytes of the book header that follow
// record 0's key. Used where many files are looked at (the workbooks in a
// Backup folder) or only the handheld's settings are needed (an export
// merging with the handheld's copy).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "foundation/pdb.h"
#include "workbook/sheet_format.h"

namespace workbook {

struct SheetProbe {
    foundation::PdbHeader header;
    bool hasBookHeader = false;                         // all 62 bytes were read
    std::array<uint8_t, kBookHeaderSize> bookHeader{};  // file order
};

// Nothing when the file cannot be opened or is shorter than a container
// header. The book header is read for any type and version; callers check
// the header first.
std::optional<SheetProbe> probeSheetFile(const std::string& path);

}  // namespace workbook
