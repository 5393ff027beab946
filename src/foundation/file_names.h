// foundation/file_names.h - names from untrusted sources used as file names.
//
// Database names come from the handheld (files in Backup), sheet names from
// callers and CSV files; before such a name becomes part of a file name in a
// user's Install folder or beside a linked CSV file, it must name one file in
// that folder and nothing else.
#pragma once

#include <string>
#include <string_view>

namespace foundation {

// Which file system's rules a name must satisfy.
enum class FileNameRules {
    // Not empty, not "." or "..", no path separator ('/' or '\\') and no
    // control character (bytes below 0x20 and 0x7F, NUL included).
    Posix,
    // Posix, and none of : * ? " < > |, no dot or space at the end, and no
    // device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9, the
    // ANSI superscript digits counting as digits) before the first dot, in
    // any letter case, with or without an extension ("con.txt" is refused,
    // "CONSOLE" and "COM10" are fine).
    Windows,
};

// Every build applies the Windows rules: Backup and Install folders move
// between systems, and a name a Windows user could never open is a trap.
inline constexpr FileNameRules kFileNameRules = FileNameRules::Windows;

bool isSafeFileNamePart(std::string_view name, FileNameRules rules);

// The same with kFileNameRules.
inline bool isSafeFileNamePart(std::string_view name) { return isSafeFileNamePart(name, kFileNameRules); }

// True when the folder of `path` holds an entry whose name equals the path's
// file name without regard to ASCII letter case but not byte for byte. On a
// case-blind file system (Windows) writing the path would replace that other
// file, so every build refuses such a write. False when the folder cannot be
// listed.
bool hasCaseTwin(const std::string& path);

}  // namespace foundation
