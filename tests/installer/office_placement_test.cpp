// Where Excel and Word add-ins go: the version table's keywords, the
// programs to close, and the start-up folder from Office's setting, the
// application-data folder or the last resort under the install folder.
#include "installer/office_placement.h"
#include "foundation/registry_access.h"
#include "installer/palm_desktop.h"
#include "installer/registry_lookup.h"
#include "installer_testing.h"

namespace {

using installer::FileEntry;

constexpr const char* kWord2003Options =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Word\\Options";
constexpr const char* kExcel97Settings =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\8.0\\Excel\\Microsoft Excel";
constexpr const char* kGeneral11 = "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Common\\General";

TEST(OfficePlacementTest, KeywordsAreExactAndNameTheProgramsToClose) {
    const struct {
        const char* destination;
        bool keyword;
        int close;
    } cases[] = {
        {"\\Word97", true, installer::kCloseWord},
        {"\\Word2003", true, installer::kCloseWord},
        {"\\Excel95", true, installer::kCloseExcel},
        {"\\Excel2001", true, installer::kCloseExcel},
        {"\\XLStart", false, installer::kCloseExcel},
        {"\\word2003", false, 0},
        {"\\Word2003\\", false, 0},
        {".", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination);
        EXPECT_EQ(installer::findOfficeTarget(c.destination) != nullptr, c.keyword);
        EXPECT_EQ(installer::officeProgramsToClose(c.destination), c.close);
    }
}

TEST(OfficePlacementTest, AVersionIsPresentWithItsKey) {
    installer_testing::Sandbox box;
    const installer::OfficeTarget* excel95 = installer::findOfficeTarget("\\Excel95");
    EXPECT_FALSE(installer::officeTargetPresent(*excel95));
    box.setValue("HKEY_CURRENT_USER\\Software\\Microsoft\\Excel\\7.0", "x", "1");
    EXPECT_TRUE(installer::officeTargetPresent(*excel95));
}

struct FolderCase {
    const char* name;
    const char* keyword;
    const char* settingsKey;  // the row's settings key, for the preset and the check
    const char* settingsValue;
    const char* preset;  // the setting before; "" for none
    const char* appData;
    bool removing;
    std::string expected;  // relative to the sandbox when not absolute; "" for none
    bool written;          // the last resort wrote the setting
};

TEST(OfficePlacementTest, FolderFromSettingAppDataOrLastResort) {
    const FolderCase cases[] = {
        {"Word 2003 with its setting", "\\Word2003", kWord2003Options, "STARTUP-PATH", "/opt/word/start", "",
         false, "/opt/word/start", false},
        {"Word 2003 from application data", "\\Word2003", kWord2003Options, "STARTUP-PATH", "", "config",
         false, "config/Microsoft/Word/Demarrage", false},
        {"Word 2003 without application data", "\\Word2003", kWord2003Options, "STARTUP-PATH", "", "", true,
         "Install/Word2003", true},
        {"a relative application-data folder is unknown", "\\Word2003", kWord2003Options, "STARTUP-PATH", "",
         "relative/config", false, "Install/Word2003", true},
        {"Excel 97 installing", "\\Excel97", kExcel97Settings, "AltStartup", "", "config", false,
         "Install/Excel97", true},
        {"Excel 97 removing", "\\Excel97", kExcel97Settings, "AltStartup", "", "config", true, "", false},
        {"Excel 2003 uses its own folder name", "\\Excel2003",
         "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Excel\\Options", "AltStartup", "", "config",
         false, "config/Microsoft/Excel/Xlstart", false},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.name);
        installer_testing::Sandbox box;
        box.setValue(kGeneral11, "Startup", "Demarrage");
        if (*c.preset) box.setValue(c.settingsKey, c.settingsValue, c.preset);
        const std::string given = std::string(c.appData) == "config" ? box.dir.file("config") : c.appData;
        FileEntry entry;
        const std::string folder = installer::officeTargetFolder(
            *installer::findOfficeTarget(c.keyword), entry, box.dir.file("Install"), given,
            installer::readOfficeFolderNames(), c.removing);
        const bool relative = !c.expected.empty() && c.expected[0] != '/';
        EXPECT_EQ(folder, relative ? box.dir.file(c.expected) : c.expected);
        EXPECT_EQ(entry.officePathWritten, c.written);
        const std::string setting = installer::lookupText(c.settingsKey, c.settingsValue);
        EXPECT_EQ(setting, c.written ? folder : std::string(c.preset));
    }
}

}  // namespace
