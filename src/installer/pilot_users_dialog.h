// installer/pilot_users_dialog.h - the Pilot Users dialog (resource 131,
// "Pilot Users", 138 x 93, the dialog class CPilotUsersDlg of the resources):
//   label   "Select User Name:"
//   1003    list box: the Palm users in the install aide's order
//   1       default button "OK": ends with the selected index
//   2       button "Cancel": ends with -1
// A double click on a name ends with that name's index.
#pragma once

#include <string>
#include <vector>

#include "platform/dialog.h"

namespace installer {

constexpr int kPilotUsersResource = 131;
constexpr int kPilotUsersList = 1003;

const platform::ui::DialogSpec& pilotUsersDialogSpec();

class PilotUsersDialog final : public platform::ui::DialogController {
public:
    explicit PilotUsersDialog(std::vector<std::string> names) : names_(std::move(names)) {}
    const platform::ui::DialogSpec& spec() const override { return pilotUsersDialogSpec(); }
    void init(platform::ui::DialogView& view) override;
    void handle(platform::ui::DialogView& view, const platform::ui::Event& event) override;
    void cancel(platform::ui::DialogView& view) override { view.end(-1); }
    // Whether the dialog was shown: a backend that cannot show dialogs
    // answers IdCancel (2) without running it, which is no user's index.
    bool shown() const { return shown_; }

private:
    std::vector<std::string> names_;
    bool shown_ = false;
};

}  // namespace installer
