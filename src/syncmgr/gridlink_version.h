// syncmgr/gridlink_version.h - the workbook library's version text.
#pragma once

#include <cstdint>

#include "foundation/pdb.h"

namespace syncmgr {

// Shown in the Sync Manager title; read as the number 71 it is the highest
// sheet format version the library accepts and writes (dbVersion).
constexpr const char* kGridlinkVersionText = "7.1";

// The oldest sheet format version the library reads.
constexpr uint16_t kMinSheetVersion = 50;

inline uint16_t gridlinkDbVersion() { return foundation::parseVersionText(kGridlinkVersionText); }

}  // namespace syncmgr
