// The LibreOffice extension in a run: available with unopkg on the program
// path, registered with `unopkg add` after the copy, taken out with
// `unopkg remove` before the file is deleted. A fake unopkg records its calls.
#include "installer/libreoffice_placement.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "installer/setup_script.h"
#include "installer_testing.h"
#include "platform/files.h"

namespace {

using installer_testing::Sandbox;

constexpr const char* kOxt = "brightfold-addins.oxt";

// A sandbox whose program path holds only a fake unopkg (or nothing) that
// appends its arguments to calls.log, notes whether the installed .oxt is
// still there, and ends with the given status.
struct LibreOfficeBox : Sandbox {
    explicit LibreOfficeBox(bool withUnopkg, int status = 0) : path_("PATH", dir.makeDir("bin").c_str()) {
        dir.makeDir("Brightfold");
        if (!withUnopkg) return;
        std::string script = "#!/bin/sh\nprintf '%s' \"$*\" >> " + dir.file("calls.log") + "\nif [ -e " +
                             target + "/" + kOxt + " ]; then echo ' [file there]'; else echo; fi >> " +
                             dir.file("calls.log") + "\nexit " + std::to_string(status) + "\n";
        std::string fake = dir.file("bin/unopkg");
        testsupport::writeFile(fake, script);
        std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    }
    std::string calls() const {
        std::ifstream in(dir.file("calls.log"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    testsupport::ScopedEnv path_;
};

TEST(LibreOfficePlacement, AvailableWithUnopkgOrWhenUninstalling) {
    const struct {
        bool unopkg, uninstall, selected;
    } cases[] = {{true, false, true}, {false, false, false}, {false, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "unopkg " << c.unopkg << ", uninstall " << c.uninstall);
        LibreOfficeBox box(c.unopkg);
        box.component("LibreOffice", kOxt, "\\LibreOffice");
        box.component("Other", "a.txt", "\\libreoffice");  // not the keyword: a folder
        box.state.uninstallMode = c.uninstall;
        installer::MarkSelectable(box.state);
        EXPECT_EQ(box.state.script().selected(0), c.selected);
        EXPECT_TRUE(box.state.script().selected(1));
    }
}

TEST(LibreOfficePlacement, InstallRegistersTheCopiedExtension) {
    const struct {
        const char* label;
        bool unopkg;
        int status;
        std::string error;  // %S: the installed .oxt's path
    } cases[] = {
        {"registered", true, 0, ""},
        {"unopkg fails", true, 3, "Error registering %S with LibreOffice (unopkg: status 3)"},
        {"unopkg gone since the load", false, 0,
         "Error registering %S with LibreOffice (unopkg: not started)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        LibreOfficeBox box(c.unopkg, c.status);
        box.component("LibreOffice", kOxt, "\\LibreOffice");
        std::string installed = box.target + "/" + kOxt;
        std::string expected = c.error;
        if (!expected.empty())
            expected.replace(expected.find("%S"), 2, installed) +=
                "\nClose LibreOffice and run the installation as the user who uses it";
        EXPECT_EQ(box.install().value_or(""), expected);
        EXPECT_TRUE(platform::fileExists(installed));
        EXPECT_EQ(box.calls(), c.unopkg ? "add --force " + installed + " [file there]\n" : "");
        // No Palm user is asked for: the run needs none.
        if (expected.empty()) {
            EXPECT_EQ(box.boxes(), std::vector<std::string>{"Installation Finished: Done! => ok"});
        }
    }
}

TEST(LibreOfficePlacement, UninstallRemovesTheExtensionBeforeItsFile) {
    LibreOfficeBox box(true);
    box.component("LibreOffice", kOxt, "\\LibreOffice");
    ASSERT_EQ(box.install(), std::nullopt);
    EXPECT_EQ(box.uninstall(), std::nullopt);
    std::string installed = box.target + "/" + kOxt;
    EXPECT_EQ(box.calls(), "add --force " + installed + " [file there]\nremove " +
                               std::string(installer::kLibreOfficeExtensionId) + " [file there]\n");
    EXPECT_FALSE(platform::fileExists(installed));
}

// The identifier unopkg removes is the one the extension declares.
TEST(LibreOfficePlacement, IdentifierIsTheExtensionsOwn) {
    auto text =
        testsupport::readFile(testsupport::sourceDir() + "/src/addins/libreoffice/description.xml.in");
    std::string declared = "<identifier value=\"" + std::string(installer::kLibreOfficeExtensionId) + "\"/>";
    EXPECT_NE(std::string(text.begin(), text.end()).find(declared), std::string::npos);
}

}  // namespace
