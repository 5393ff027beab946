#include "text/text_dialogs.h"

#include "foundation/message_text.h"
#include "platform/bstr.h"
#include "text/doc_format.h"
#include "text/text_icon.h"

namespace text {

namespace ui = platform::ui;
using ui::ControlKind;

namespace {

constexpr ui::ControlSpec kExportControls[] = {
    {kTdFromLabel, ControlKind::Label, "From:", 7, 10, 19, 8},
    {kTdFrom, ControlKind::Edit, "", 25, 7, 119, 14, ui::kAutoScroll},
    {kTdFromBrowse, ControlKind::Button, "...", 145, 7, 18, 14},
    {-1, ControlKind::Label, "Registered Users:", 56, 26, 58, 8},
    {kTdUsers, ControlKind::DropDownList, "", 45, 37, 80, 70},
    {-1, ControlKind::Label, "Categories:", 100, 27, 40, 8, ui::kHidden},
    {kTdCategories, ControlKind::DropDownList, "", 100, 37, 63, 70, ui::kHidden | ui::kDisabled},
    {kTdOk, ControlKind::DefaultButton, "Export", 27, 54, 50, 14},
    {kTdCancel, ControlKind::Button, "Cancel", 93, 54, 50, 14},
};

constexpr ui::ControlSpec kImportControls[] = {
    {-1, ControlKind::Label, "Registered Users:", 56, 10, 57, 8},
    {kTdUsers, ControlKind::DropDownList, "", 44, 21, 80, 70},
    {-1, ControlKind::Label, "Categories:", 100, 11, 40, 8, ui::kHidden},
    {kTdCategories, ControlKind::DropDownList, "", 100, 21, 63, 70, ui::kHidden | ui::kDisabled},
    {kTdFilesGroup, ControlKind::GroupBox, "Palm Doc files", 7, 40, 156, 102},
    {kTdFiles, ControlKind::ListBox, "", 14, 52, 143, 85, ui::kNotify | ui::kVScroll},
    {kTdToLabel, ControlKind::Label, "To:", 7, 149, 11, 8},
    {kTdTo, ControlKind::Edit, "", 20, 146, 123, 14, ui::kAutoScroll},
    {kTdToBrowse, ControlKind::Button, "...", 146, 146, 17, 14},
    {kTdOk, ControlKind::DefaultButton, "Import", 26, 165, 50, 14},
    {kTdCancel, ControlKind::Button, "Cancel", 92, 165, 50, 14},
};

// An icon control takes the icon's own size: 32 x 32 pixels are 21 x 20
// dialog units in the dialog's font.
constexpr ui::ControlSpec kAboutControls[] = {
    {-1, ControlKind::Icon, "", 11, 17, 21, 20, 0, 0, 0},
    {kTdAboutLine, ControlKind::Label, "", 40, 10, 132, 8},
    {-1, ControlKind::Label, kMakersNotice, 40, 25, 119, 8},
    {kTdOk, ControlKind::DefaultButton, "OK", 178, 7, 32, 14},
};

// A path field's text as the dialogs keep it: at most 1023 characters.
std::string pathText(std::string text) {
    if (text.size() > kMaxPathLength) text.resize(kMaxPathLength);
    return text;
}

// Fills a format holding two "%s" (and maybe a "%d") in two halves, each
// taking one text.
std::string fillTwo(std::string_view format, std::string_view first, std::string_view second,
                    int number = 0) {
    const size_t split = format.find("%s") + 2;
    return foundation::fillMessage(format.substr(0, split), first) +
           foundation::fillMessage(format.substr(split), second, number);
}

}  // namespace

const ui::DialogSpec& exportDialogSpec() {
    static const ui::DialogSpec spec{kExportResource, "Export", 170, 75, "MS Sans Serif", 8,
                                     kExportControls, {}};
    return spec;
}

const ui::DialogSpec& importDialogSpec() {
    static const ui::DialogSpec spec{kImportResource, "Import", 168, 186, "MS Sans Serif", 8,
                                     kImportControls, {}};
    return spec;
}

const ui::DialogSpec& aboutDialogSpec() {
    static const ui::DialogSpec spec{kAboutResource, "About",      217, 55, "MS Sans Serif", 8,
                                     kAboutControls, productIcon()};
    return spec;
}

std::string conversionMessage(std::string_view from, std::string_view to, int status) {
    return fillTwo(status == 0 ? kCompletedFormat : kFailedFormat, from, to, status);
}

// ---- Shared by Export and Import ------------------------------------------------

TextTransferDialog::TextTransferDialog(TextlinkState& state, DocTransferRecord* record)
    : state_(state), record_(record ? record : &own_) {
    // Set before the dialog shows, so a backend that cannot show it leaves
    // the record cancelled as well.
    if (!standAlone()) record_->status = BF_ERR_CANCELLED;
}

TextTransferDialog::~TextTransferDialog() { platform::clearByteString(own_.path); }

int TextTransferDialog::initCommon(View& view) {
    view.addSystemMenuItem(kAboutCommand, kAboutMenuText);
    view.clearItems(kTdUsers);
    for (const DocUserEntry& user : state_.registry.userList) view.addItem(kTdUsers, user.name);
    view.select(kTdUsers, view.itemCount(kTdUsers) > 0 ? 0 : -1);
    return view.selected(kTdUsers);
}

int TextTransferDialog::keepUserSelected(View& view) {
    if (view.selected(kTdUsers) < 0 && view.itemCount(kTdUsers) > 0) view.select(kTdUsers, 0);
    return view.selected(kTdUsers);
}

void TextTransferDialog::about(View& view) {
    AboutBox box;
    ui::runDialog(view.window(), box);
}

bool TextTransferDialog::choose(View& view, ui::FileChooser::Kind kind, int edit, std::string& path) {
    path = pathText(view.text(edit));
    ui::FileChooser chooser;
    chooser.kind = kind;
    chooser.owner = view.window();
    chooser.initialPath = path;
    chooser.filter = kTextFilter;
    chooser.hideReadOnly = true;
    std::optional<std::string> chosen = ui::chooseFile(chooser);
    if (!chosen) return false;
    path = pathText(std::move(*chosen));
    view.setText(edit, path);
    return true;
}

void TextTransferDialog::report(View& view, std::string_view from, std::string_view to, int status) {
    if (status == 0)
        ui::messageBox(view.window(), conversionMessage(from, to, status), kDoneCaption, ui::Buttons::Ok,
                       ui::Icon::Information);
    else
        ui::messageBox(view.window(), conversionMessage(from, to, status), kErrorCaption, ui::Buttons::Ok,
                       ui::Icon::Error);
}

// ---- Export ----------------------------------------------------------------------

void ExportDialog::init(View& view) {
    initCommon(view);
    if (standAlone()) {
        view.setText(kTdFrom, state_.lastExportSource);
        view.focus(kTdFrom);
        view.enable(kTdOk, false);
        view.setText(kTdCancel, kDoneText);
    } else {
        view.enable(kTdFrom, false);
        view.enable(kTdFromBrowse, false);
    }
}

void ExportDialog::handle(View& view, const ui::Event& event) {
    switch (event.id) {
        case kTdFrom:
            if (event.what == ui::Notify::Changed && standAlone())
                view.enable(kTdOk, !view.text(kTdFrom).empty());
            break;
        case kTdUsers:
            if (event.what == ui::Notify::SelectionChanged) keepUserSelected(view);
            break;
        case kTdFromBrowse:
            // The chosen path counts as a change of "From:".
            if (choose(view, ui::FileChooser::Kind::Open, kTdFrom, state_.lastExportSource))
                view.enable(kTdOk, !view.text(kTdFrom).empty());
            break;
        case kTdOk:
            exportSelected(view);
            break;
        case kTdCancel:
            view.end(ui::IdCancel);
            break;
        case kAboutCommand:
            if (event.what == ui::Notify::MenuCommand) about(view);
            break;
        default:
            break;
    }
}

void ExportDialog::exportSelected(View& view) {
    const int user = view.selected(kTdUsers);
    if (user < 0) return;
    record_->user = int16_t(user);
    record_->reserved = 0;
    if (!standAlone()) {
        exportToUser(state_, record_, nullptr);
        view.end(ui::IdOk);
        return;
    }
    state_.lastExportSource = pathText(view.text(kTdFrom));
    // A path left from an earlier export must not name this one's database.
    platform::clearByteString(record_->path);
    const int16_t status = exportToUser(state_, record_, &state_.lastExportSource);
    if (status == BF_ERR_CANCELLED) return;
    const std::string written =
        record_->path ? docOutputPath(platform::byteStringView(record_->path)) : std::string();
    report(view, state_.lastExportSource, written, status);
}

// ---- Import ----------------------------------------------------------------------

void ImportDialog::init(View& view) {
    initCommon(view);
    if (standAlone()) {
        view.setText(kTdTo, state_.lastImportTarget);
        view.focus(kTdTo);
        view.enable(kTdOk, false);
        view.setText(kTdCancel, kDoneText);
    } else {
        view.enable(kTdTo, false);
        view.enable(kTdToBrowse, false);
    }
    userChanged(view);
}

void ImportDialog::handle(View& view, const ui::Event& event) {
    switch (event.id) {
        case kTdUsers:
        case kTdCategories:
            if (event.what == ui::Notify::SelectionChanged) userChanged(view);
            break;
        case kTdTo:
            if (event.what == ui::Notify::Changed) targetChanged(view);
            break;
        case kTdToBrowse:
            if (choose(view, ui::FileChooser::Kind::Save, kTdTo, state_.lastImportTarget))
                targetChanged(view);
            break;
        case kTdOk:
            importSelected(view);
            break;
        case kTdCancel:
            view.end(ui::IdCancel);
            break;
        case kAboutCommand:
            if (event.what == ui::Notify::MenuCommand) about(view);
            break;
        default:
            break;
    }
}

void ImportDialog::userChanged(View& view) {
    view.clearItems(kTdFiles);
    view.enable(kTdOk, false);
    user_ = keepUserSelected(view);
    if (user_ < 0 || size_t(user_) >= state_.registry.userList.size()) return;
    for (const DocLinkEntry& entry : state_.registry.userList[size_t(user_)].entries)
        view.addItem(kTdFiles, entry.name());
    if (view.itemCount(kTdFiles) == 0) return;
    view.select(kTdFiles, 0);
    if (!standAlone()) view.enable(kTdOk, true);
}

void ImportDialog::targetChanged(View& view) {
    if (standAlone()) view.enable(kTdOk, !view.text(kTdTo).empty() && view.itemCount(kTdFiles) > 0);
}

void ImportDialog::importSelected(View& view) {
    const int file = view.selected(kTdFiles);
    if (user_ < 0 || file < 0) return;
    const std::string name = view.itemText(kTdFiles, file);
    // Empty when the user has no folder or the name (from QLRegistry.dat) is
    // no plain file name.
    const std::string database = state_.registry.backupDatabasePath(user_, name);
    if (!standAlone()) {
        record_->user = int16_t(user_);
        record_->status = 0;
        record_->reserved = 0;
        if (database.empty())
            record_->status = BF_ERR_PATH;
        else if (!platform::replaceByteString(record_->path, database))
            record_->status = BF_ERR_MEMORY;
        view.end(ui::IdOk);
        return;
    }
    state_.lastImportTarget = pathText(view.text(kTdTo));
    const int16_t status = database.empty() ? int16_t(BF_ERR_PATH)
                                            : convertDocToTextFile(state_, database, state_.lastImportTarget);
    if (status == BF_ERR_CANCELLED) return;
    report(view, database, state_.lastImportTarget, status);
}

// ---- About -----------------------------------------------------------------------

void AboutBox::init(ui::DialogView& view) {
    view.setCaption(foundation::fillMessage(kAboutTitleFormat, kProductName));
    view.setText(kTdAboutLine, fillTwo(kAboutLineFormat, kProductName, kVersionText));
}

void AboutBox::handle(ui::DialogView& view, const ui::Event& event) {
    if (event.id == kTdOk && event.what == ui::Notify::Clicked) view.end(ui::IdOk);
}

}  // namespace text
