// foundation/file_names.h - names from untrusted sources used as file names.
//
// Database names come from the handheld (files in Backup), sheet names from
// callers and CSV files; before such a name becomes part of a file name in a
// user's Install folder or beside a linked CSV file, it must name one file in
// that folder and nothing else.
#pragma once

#include <string_view>

namespace foundation {

// True when the name is not empty, not "." or "..", and holds no path
// separator ('/' or '\\') and no control character (bytes below 0x20 and
// 0x7F, NUL included).
bool isSafeFileNamePart(std::string_view name);

}  // namespace foundation
