// installer/office_placement.h - where Excel and Word add-ins go: the Office
// version table (keyword, presence key, settings key and value), the six
// folder names under "...\Office\<9.0|10.0|11.0>\Common\General", and the
// start-up folder of an entry with an Office keyword (settings value, else
// the application-data path, else the last resort under the install folder).
#pragma once

#include <string>
#include <string_view>

#include "installer/setup_script.h"

namespace installer {

struct OfficeTarget;  // one row of the version table

// The row of a destination keyword ("\Word2003", "\Excel97", ...), compared
// case exact; nullptr for any other destination ("\XLStart" included).
const OfficeTarget* findOfficeTarget(std::string_view destination);
// The presence key exists (availability at script load).
bool officeTargetPresent(const OfficeTarget& target);
// Programs to close for a destination (kCloseExcel for Excel keywords and
// "\XLStart", kCloseWord for Word keywords, else 0).
int officeProgramsToClose(std::string_view destination);

// The "Xlstart" and "Startup" folder names of Office 9.0, 10.0 and 11.0.
struct OfficeFolderNames {
    std::string excel[3];
    std::string word[3];
};
OfficeFolderNames readOfficeFolderNames();

// The start-up folder for an entry whose destination has an Office keyword,
// possibly empty (the entry is then skipped). May write the settings value
// and set entry.officePathWritten (last resort). appDataFolder is empty when
// unknown.
std::string officeTargetFolder(const OfficeTarget& target, FileEntry& entry, std::string_view installFolder,
                               std::string_view appDataFolder, const OfficeFolderNames& names, bool removing);

}  // namespace installer
