// The Office version table and the start-up folder of an add-in entry.
#include "installer/office_placement.h"

#include <array>

#include "foundation/registry_access.h"
#include "installer/palm_desktop.h"
#include "installer/registry_lookup.h"
#include "platform/files.h"

namespace installer {

enum class OfficeProgram { Word, Excel };

struct OfficeTarget {
    std::string_view keyword;
    OfficeProgram program;
    int folderVersion;  // index into OfficeFolderNames (9.0, 10.0, 11.0); -1: the row has no such folder
    std::string_view presenceKey;
    std::string_view settingsKey;
    std::string_view settingsValue;
};

namespace {

#define OFFICE_KEY "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\"
#define EXCEL7_KEY "HKEY_CURRENT_USER\\Software\\Microsoft\\Excel\\7.0"

constexpr std::array<OfficeTarget, 9> kTargets = {{
    {"\\Word97", OfficeProgram::Word, -1, OFFICE_KEY "8.0\\Word", OFFICE_KEY "8.0\\Word\\Options",
     "STARTUP-PATH"},
    {"\\Word2000", OfficeProgram::Word, 0, OFFICE_KEY "9.0\\Word", OFFICE_KEY "9.0\\Word\\Options",
     "STARTUP-PATH"},
    {"\\Word2001", OfficeProgram::Word, 1, OFFICE_KEY "10.0\\Word", OFFICE_KEY "10.0\\Word\\Options",
     "STARTUP-PATH"},
    {"\\Word2003", OfficeProgram::Word, 2, OFFICE_KEY "11.0\\Word", OFFICE_KEY "11.0\\Word\\Options",
     "STARTUP-PATH"},
    {"\\Excel95", OfficeProgram::Excel, -1, EXCEL7_KEY, EXCEL7_KEY "\\Microsoft Excel", "AltStartup"},
    {"\\Excel97", OfficeProgram::Excel, -1, OFFICE_KEY "8.0\\Excel", OFFICE_KEY "8.0\\Excel\\Microsoft Excel",
     "AltStartup"},
    {"\\Excel2000", OfficeProgram::Excel, 0, OFFICE_KEY "9.0\\Excel", OFFICE_KEY "9.0\\Excel\\Options",
     "AltStartup"},
    {"\\Excel2001", OfficeProgram::Excel, 1, OFFICE_KEY "10.0\\Excel", OFFICE_KEY "10.0\\Excel\\Options",
     "AltStartup"},
    {"\\Excel2003", OfficeProgram::Excel, 2, OFFICE_KEY "11.0\\Excel", OFFICE_KEY "11.0\\Excel\\Options",
     "AltStartup"},
}};

constexpr std::array<std::string_view, 3> kGeneralKeys = {
    OFFICE_KEY "9.0\\Common\\General",
    OFFICE_KEY "10.0\\Common\\General",
    OFFICE_KEY "11.0\\Common\\General",
};

#undef OFFICE_KEY
#undef EXCEL7_KEY

constexpr std::string_view kXlStart = "\\XLStart";

// A value of a Common\General key, or the value's own name when missing or empty.
std::string folderName(std::string_view key, std::string_view valueName) {
    std::string text = lookupText(key, valueName);
    return text.empty() ? std::string(valueName) : text;
}

// The keyword as a folder name below another folder ("\Word2003" -> "Word2003").
std::string_view keywordFolder(std::string_view keyword) { return keyword.substr(1); }

// Last resort: a folder named by the keyword under the install folder, which
// Office's setting is pointed at, so the run creates it without asking.
std::string lastResort(const OfficeTarget& target, FileEntry& entry, std::string_view installFolder) {
    std::string folder = platform::joinPath(installFolder, keywordFolder(target.keyword));
    std::string text = folder;
    foundation::RegistryValue(target.settingsKey, target.settingsValue, text);
    entry.officePathWritten = true;
    return folder;
}

}  // namespace

const OfficeTarget* findOfficeTarget(std::string_view destination) {
    for (const OfficeTarget& target : kTargets) {
        if (target.keyword == destination) return &target;
    }
    return nullptr;
}

bool officeTargetPresent(const OfficeTarget& target) { return keyExists(target.presenceKey); }

int officeProgramsToClose(std::string_view destination) {
    if (destination == kXlStart) return kCloseExcel;
    const OfficeTarget* target = findOfficeTarget(destination);
    if (!target) return 0;
    return target->program == OfficeProgram::Excel ? kCloseExcel : kCloseWord;
}

OfficeFolderNames readOfficeFolderNames() {
    OfficeFolderNames names;
    for (size_t i = 0; i < kGeneralKeys.size(); ++i) {
        names.excel[i] = folderName(kGeneralKeys[i], "Xlstart");
        names.word[i] = folderName(kGeneralKeys[i], "Startup");
    }
    return names;
}

std::string officeTargetFolder(const OfficeTarget& target, FileEntry& entry, std::string_view installFolder,
                               std::string_view appDataFolder, const OfficeFolderNames& names,
                               bool removing) {
    std::string folder = lookupText(target.settingsKey, target.settingsValue);
    if (!folder.empty()) return folder;
    if (target.folderVersion < 0) return removing ? std::string() : lastResort(target, entry, installFolder);
    // Only a local absolute application-data folder counts: a network or
    // relative path is taken as unknown.
    if (!platform::isAbsolutePath(appDataFolder) || appDataFolder.starts_with("\\\\"))
        return lastResort(target, entry, installFolder);
    bool word = target.program == OfficeProgram::Word;
    const std::string& name = word ? names.word[target.folderVersion] : names.excel[target.folderVersion];
    std::string programFolder =
        platform::joinPath(platform::joinPath(appDataFolder, "Microsoft"), word ? "Word" : "Excel");
    return platform::joinPath(programFolder, name);
}

}  // namespace installer
