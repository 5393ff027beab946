// syncmgr/discovery.h - the handheld workbooks in a user's Backup folder.
//
// The handheld keeps one Palm database per worksheet; a workbook is the set
// of sheet databases whose names share the part before the last hyphen
// (Budget-Jan and Budget-Feb form the book Budget). After a HotSync, copies
// of all of them lie in the user's Backup folder. FindHandheldBooks lists the
// books found there as HandheldBook records (foundation/link_registry.h).
//
// Naming rule for a sheet database name: at most 31 characters, containing a
// hyphen, the part before the last hyphen 1 to 21 characters long.
#pragma once

#include <string>
#include <vector>

#include "foundation/link_registry.h"

namespace syncmgr {

constexpr size_t kMaxBookPartLength = 21;
constexpr const char* kPreferencesDatabase = "PiTBPref.PDB";
constexpr const char* kDataDatabase = "PiTBData.PDB";

// Lists the sheet databases of one folder as handheld books, sorted by name
// without regard to case. Returns the count, or -15 when the folder cannot
// be read. Unreadable, short, foreign or malformed files are skipped.
int scanHandheldBooks(const std::string& folder, std::vector<foundation::HandheldBook>& books);

// FindHandheldBooks: the books of a user's Backup folder (its parent, the user
// folder, when Backup itself does not exist). -1 for a negative user index,
// -15 when neither folder can be read or the user has no folder.
int FindHandheldBooks(const foundation::LinkRegistry& registry, int userIndex,
                      std::vector<foundation::HandheldBook>& books);

// True for the two handheld files that lie beside the sheet databases.
bool isApplicationDatabase(std::string_view fileName);
// True when a file name ends in ".pdb" without regard to case.
bool hasPdbEnding(std::string_view fileName);

}  // namespace syncmgr
