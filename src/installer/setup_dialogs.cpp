// setupwiz's dialogs: the License Agreement and the main dialog with the
// component check list, the install folder and the main button.
#include "installer/setup_dialogs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "foundation/registry_access.h"
#include "installer/installation_run.h"
#include "installer/installer_places.h"
#include "installer/setup_program.h"
#include "installer/setup_services.h"
#include "platform/files.h"
#include "platform/pixel_art.h"

namespace installer {

namespace ui = platform::ui;
using ui::ControlKind;

namespace {

constexpr size_t kIconSide = 16;
using IconPixels = std::array<uint32_t, kIconSide * kIconSide>;

// clang-format off
// The program icon: a box with a handheld going into it.
constexpr IconPixels kIconPixels = ui::drawPixelArt<kIconSide>({
    "....kkkkkk......",
    "....kgggGk......",
    "....kgssgk......",
    "....kgssgk......",
    "....kggggk......",
    "..k.kgkgkk.k....",
    "..kk.kkkk.kk....",
    "..kwk....kwk....",
    ".kwwwkkkkwwwk...",
    "kbbbbbbbbbbbbk..",
    "kbwwwwwwwwwwbk..",
    "kbwbbbbbbbbwbk..",
    "kbwwwwwwwwwwbk..",
    "kbbbbbbbbbbbbk..",
    "kkkkkkkkkkkkkk..",
    "................",
});
// clang-format on

constexpr ui::Image kImages[] = {{kProgramIconResource, int(kIconSide), int(kIconSide), kIconPixels}};

constexpr ui::ControlSpec kLicenseControls[] = {
    {kSwLicenseText, ControlKind::Edit, "", 7, 7, 260, 105, ui::kReadOnly | ui::kMultiline | ui::kVScroll},
    {kSwOk, ControlKind::DefaultButton, "Accept", 68, 117, 50, 14},
    {kSwCancel, ControlKind::Button, "Decline", 154, 117, 50, 14},
};

// The check list has no place of its own: init puts it inside the group box.
constexpr ui::ControlSpec kMainControls[] = {
    {kSwComponentsGroup, ControlKind::GroupBox, "Installable components:", 7, 0, 228, 88},
    {kSwComponents, ControlKind::CheckList, "", 0, 0, 0, 0, ui::kBorder | ui::kVScroll},
    {kSwIcon, ControlKind::Icon, "", 7, 91, 11, 11, 0, 0, 0},
    {-1, ControlKind::Label, "Target Folder:", 49, 96, 61, 8},
    {kSwFolder, ControlKind::Edit, "", 49, 108, 119, 14, ui::kAutoScroll},
    {kSwBrowse, ControlKind::Button, "...", 170, 108, 16, 14},
    {kSwOk, ControlKind::DefaultButton, "Install", 191, 92, 44, 14},
    {kSwCancel, ControlKind::Button, "Exit", 191, 108, 44, 14},
};

constexpr size_t kFolderChars = 259;  // what is taken of the folder edit

// A path for a command line: quoted when it holds a blank.
std::string commandPath(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

}  // namespace

const ui::DialogSpec& licenseDialogSpec() {
    static const ui::DialogSpec spec{
        kLicenseResource, "License Agreement", 274, 138, "MS Sans Serif", 8, kLicenseControls, {}};
    return spec;
}

const ui::DialogSpec& mainDialogSpec() {
    static const ui::DialogSpec spec{
        kMainResource, "Installable components:", 242, 129, "MS Sans Serif", 8, kMainControls, kImages};
    return spec;
}

// ---- License Agreement ----------------------------------------------------------

void LicenseDialog::init(ui::DialogView& view) {
    std::vector<uint8_t> bytes;
    found_ = platform::readWholeFile(programFolder_ + std::string(kLicenseFile), bytes);
    if (found_) {
        // Shown as a C string: the text ends at its first NUL.
        std::string text(bytes.begin(), bytes.end());
        text.resize(std::min(text.size(), text.find('\0')));
        view.setText(kSwLicenseText, text);
    } else {
        view.setText(kSwLicenseText, kLicenseMissing);
    }
    view.focus(kSwLicenseText);
}

void LicenseDialog::handle(ui::DialogView& view, const ui::Event& event) {
    if (event.what != ui::Notify::Clicked) return;
    if (event.id == kSwOk) view.end(found_ ? ui::IdOk : ui::IdCancel);
    if (event.id == kSwCancel) view.end(ui::IdCancel);
}

// ---- Main dialog ----------------------------------------------------------------

void SetupwizDialog::init(ui::DialogView& view) {
    // The list runs from 5 pixels down to the bottom of the group box's
    // client area, as wide as that area and centred in the dialog: the left
    // edge is half the spare width, truncated, and the right edge mirrors it,
    // so an odd spare pixel goes to the list (10, 5, 343 x 138 at 6 x 13
    // base units, where the box itself is at 11).
    const ui::PixelRect dialog = view.clientRect(ui::kDialogClient);
    const ui::PixelRect group = view.clientRect(kSwComponentsGroup);
    const int left = std::max(0, (dialog.width - group.width) / 2);
    view.place(kSwComponents, {left, 5, std::max(0, dialog.width - 2 * left), std::max(0, group.height - 5)});

    view.clearItems(kSwComponents);
    for (const ComponentItem& item : componentListing(state_.script())) {
        int index = view.addItem(kSwComponents, item.text);
        view.setItemChecked(kSwComponents, index, item.selected || state_.uninstallMode);
        view.setItemEnabled(kSwComponents, index, item.selected);
    }

    std::string folder;
    const std::vector<std::string>& keys = state_.script().applicationKeys;
    if (!keys.empty()) foundation::RegistryValue(std::string(kProductRoot) + keys.front(), "Path", folder);
    view.setText(kSwFolder, folder.empty() ? state_.defaultFolder : folder);

    if (state_.uninstallMode) {
        view.enable(kSwBrowse, false);
        view.enable(kSwFolder, false);
        view.setText(kSwOk, "Uninstall");
        view.enable(kSwComponents, false);
    }
}

void SetupwizDialog::handle(ui::DialogView& view, const ui::Event& event) {
    if (event.what != ui::Notify::Clicked) return;
    switch (event.id) {
        case kSwBrowse:
            browse(view);
            break;
        case kSwOk:
            install(view);
            break;
        case kSwCancel:
            view.end(ui::IdCancel);
            break;
        default:
            break;
    }
}

void SetupwizDialog::browse(ui::DialogView& view) {
    ui::FileChooser chooser;
    chooser.kind = ui::FileChooser::Kind::Folder;
    chooser.owner = view.window();
    chooser.title = std::string(kBrowseTitle);
    if (std::optional<std::string> folder = ui::chooseFile(chooser)) view.setText(kSwFolder, *folder);
}

void SetupwizDialog::install(ui::DialogView& view) {
    SetupScript& script = state_.script();
    if (!state_.uninstallMode) {
        const int items = view.itemCount(kSwComponents);
        bool any = false;
        for (int i = 0; i < items; ++i) {
            bool on = view.itemChecked(kSwComponents, i);
            script.setSelected(i, on);
            any = any || on;
        }
        if (any && !RemovePreviousVersion(state_, items)) {
            // The refusal box has been shown; nothing is installed.
            failed_ = true;
            view.end(ui::IdOk);
            return;
        }
    }

    std::string source = state_.programFolder;
    if (!source.empty() && source.back() == platform::kPathSeparator) source.pop_back();
    std::string folder = view.text(kSwFolder).substr(0, kFolderChars);
    if (folder.empty()) folder = source;
    if (folder.size() > 1 && folder.back() == platform::kPathSeparator) folder.pop_back();

    std::optional<std::string> error = RunInstallation(state_, source, folder, false);
    failed_ = error.has_value();
    if (error) {
        ui::messageBox(view.window(), *error, kTerminatedCaption, ui::Buttons::Ok);
    } else if (state_.hotSyncState > 1 && state_.restartAllowed) {
        std::string hotSync;
        if (foundation::RegistryValue(kPalmCoreKey, "HotSyncPath", hotSync) == 0 && !hotSync.empty())
            LaunchCommand(commandPath(hotSync));
    }
    view.end(ui::IdOk);
}

}  // namespace installer
