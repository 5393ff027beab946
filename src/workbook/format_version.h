// workbook/format_version.h - which sheet databases the library reads and writes.
//
// The library's version text (the project's VERSION, e.g. "7.1") is shown in
// the Sync Manager's title; read as a number (71, dbVersion) it is the format version written into every
// sheet database and the highest one accepted. Sheet databases are Palm
// databases of type "Data" and creator "PiTB", versions 50 to dbVersion.
#pragma once

#include <cstdint>

#include "brightfold_version.h"
#include "foundation/byteorder.h"
#include "foundation/pdb.h"

namespace workbook {

constexpr const char* kLibraryVersionText = BRIGHTFOLD_VERSION_TEXT;
constexpr uint16_t kMinSheetVersion = 50;
constexpr uint32_t kSheetType = foundation::fourCC("Data");
constexpr uint32_t kSheetCreator = foundation::fourCC("PiTB");

// dbVersion, recomputed from the version text by every operation that
// touches a sheet database.
inline uint16_t dbVersion() { return foundation::parseVersionText(kLibraryVersionText); }

// The header-only probe's test: a sheet database of a supported version.
inline bool isSupportedSheetHeader(const foundation::PdbHeader& header) {
    return foundation::headerMatches(header, kSheetType, kSheetCreator, kMinSheetVersion, dbVersion());
}

}  // namespace workbook
