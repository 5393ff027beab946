// installer/setup_dialogs.h - setupwiz's License Agreement and main dialogs.
//
// License Agreement, dialog 129 (274 x 138), "License Agreement":
//   1002  edit            the text of "license.txt" (read-only, multi-line)
//   1     default button  "Accept": closes with 1 when a licence was found,
//                         else acts as Decline
//   2     button          "Decline": closes with 2
// Main, dialog 102 (242 x 129), "Installable components:":
//   1006  group box       "Installable components:"
//   1003  check list      the components, placed at run time in the group box
//   1012  icon            the program icon
//   1008  edit            the install folder
//   1011  button          "...": the folder chooser
//   1     default button  "Install" ("Uninstall"): runs the installation
//   2     button          "Exit": closes with 2
#pragma once

#include <string>

#include "installer/setup_state.h"
#include "platform/dialog.h"

namespace installer {

constexpr int kMainResource = 102;
constexpr int kLicenseResource = 129;
constexpr int kProgramIconResource = 128;

enum SetupControl : int {
    kSwOk = platform::ui::IdOk,
    kSwCancel = platform::ui::IdCancel,
    kSwLicenseText = 1002,
    kSwComponents = 1003,
    kSwComponentsGroup = 1006,
    kSwFolder = 1008,
    kSwBrowse = 1011,
    kSwIcon = 1012,
};

constexpr std::string_view kLicenseFile = "license.txt";
constexpr std::string_view kLicenseMissing = "License agreement not found";
constexpr std::string_view kBrowseTitle = "Select Directory for Installation";
constexpr std::string_view kTerminatedCaption = "Installation Terminated";

const platform::ui::DialogSpec& licenseDialogSpec();
const platform::ui::DialogSpec& mainDialogSpec();

class LicenseDialog final : public platform::ui::DialogController {
public:
    explicit LicenseDialog(std::string programFolder) : programFolder_(std::move(programFolder)) {}
    const platform::ui::DialogSpec& spec() const override { return licenseDialogSpec(); }
    void init(platform::ui::DialogView& view) override;
    void handle(platform::ui::DialogView& view, const platform::ui::Event& event) override;

private:
    std::string programFolder_;
    bool found_ = false;
};

// CSetupwizDlg.
class SetupwizDialog final : public platform::ui::DialogController {
public:
    explicit SetupwizDialog(SetupState& state) : state_(state) {}
    const platform::ui::DialogSpec& spec() const override { return mainDialogSpec(); }
    void init(platform::ui::DialogView& view) override;
    void handle(platform::ui::DialogView& view, const platform::ui::Event& event) override;

    // After the main button: whether the run reported an error or could not
    // start (a refused previous-version script).
    bool failed() const { return failed_; }

private:
    void browse(platform::ui::DialogView& view);
    void install(platform::ui::DialogView& view);

    SetupState& state_;
    bool failed_ = false;
};

}  // namespace installer
