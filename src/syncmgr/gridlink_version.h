// syncmgr/gridlink_version.h - the workbook library's version text.
#pragma once

#include "workbook/format_version.h"

namespace syncmgr {

constexpr const char* kGridlinkVersionText = workbook::kLibraryVersionText;
using workbook::kMinSheetVersion;

inline uint16_t gridlinkDbVersion() { return workbook::dbVersion(); }

}  // namespace syncmgr
