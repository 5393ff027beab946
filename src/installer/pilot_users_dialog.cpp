// The Pilot Users dialog: the table and its controller.
#include "installer/pilot_users_dialog.h"

namespace installer {

namespace ui = platform::ui;
using ui::ControlKind;

namespace {

constexpr ui::ControlSpec kPilotUsersControls[] = {
    {-1, ControlKind::Label, "Select User Name:", 29, 7, 62, 11},
    {kPilotUsersList, ControlKind::ListBox, "", 7, 18, 124, 44, ui::kNotify | ui::kVScroll},
    {ui::IdOk, ControlKind::DefaultButton, "OK", 7, 72, 50, 14},
    {ui::IdCancel, ControlKind::Button, "Cancel", 81, 72, 50, 14},
};

}  // namespace

const ui::DialogSpec& pilotUsersDialogSpec() {
    static const ui::DialogSpec spec{
        kPilotUsersResource, "Pilot Users", 138, 93, "MS Sans Serif", 8, kPilotUsersControls, {}};
    return spec;
}

void PilotUsersDialog::init(ui::DialogView& view) {
    shown_ = true;
    for (const std::string& name : names_) view.addItem(kPilotUsersList, name);
    view.select(kPilotUsersList, 0);
    view.focus(kPilotUsersList);
}

void PilotUsersDialog::handle(ui::DialogView& view, const ui::Event& event) {
    if (event.id == ui::IdOk && event.what == ui::Notify::Clicked) {
        view.end(view.selected(kPilotUsersList));
    } else if (event.id == ui::IdCancel && event.what == ui::Notify::Clicked) {
        view.end(-1);
    } else if (event.id == kPilotUsersList && event.what == ui::Notify::DoubleClicked && event.index >= 0) {
        view.end(event.index);
    }
}

}  // namespace installer
