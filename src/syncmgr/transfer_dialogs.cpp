#include "syncmgr/transfer_dialogs.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "foundation/message_text.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"
#include "syncmgr/sync_manager_dialog.h"
#include "workbook/book_lister.h"
#include "workbook/passwords.h"

namespace syncmgr {

namespace ui = platform::ui;
using ui::ControlKind;

namespace {

// Export: the choices in one column, OK and Cancel on the right.
constexpr ui::ControlSpec kExportControls[] = {
    {-1, ControlKind::Label, "Registered Users:", 7, 7, 120, 8},
    {kTdUsers, ControlKind::DropDownList, "", 7, 17, 120, 80, ui::kVScroll},
    {-1, ControlKind::Label, "Categories:", 7, 34, 120, 8},
    {kTdCategories, ControlKind::DropDownList, "", 7, 44, 120, 80, ui::kVScroll},
    {kTdHighResolution, ControlKind::CheckBox, "High Resolution", 7, 62, 120, 10},
    {-1, ControlKind::Label, "Map default Excel font to:", 7, 76, 120, 8},
    {kTdFontMap, ControlKind::DropDownList, "", 7, 86, 120, 70, ui::kDisabled},
    {-1, ControlKind::Label, "Author Password:", 7, 104, 120, 8},
    {kTdAuthorPassword, ControlKind::Edit, "", 7, 114, 120, 12, ui::kBorder | ui::kAutoScroll},
    {-1, ControlKind::Label, "User Password:", 7, 130, 120, 8},
    {kTdUserPassword, ControlKind::Edit, "", 7, 140, 120, 12, ui::kBorder | ui::kAutoScroll | ui::kDisabled},
    {kTdOk, ControlKind::DefaultButton, "OK", 136, 7, 50, 14},
    {kTdCancel, ControlKind::Button, "Cancel", 136, 24, 50, 14},
};

// Import: who and which book on the left, the font settings and the buttons
// on the right.
constexpr ui::ControlSpec kImportControls[] = {
    {-1, ControlKind::Label, "Registered Users:", 7, 7, 120, 8},
    {kTdUsers, ControlKind::DropDownList, "", 7, 17, 120, 80, ui::kVScroll},
    {-1, ControlKind::Label, "Categories:", 7, 34, 120, 8},
    {kTdCategories, ControlKind::DropDownList, "", 7, 44, 120, 80, ui::kVScroll},
    {-1, ControlKind::Label, "Workbooks", 7, 61, 120, 8},
    {kTdWorkbooks, ControlKind::ListBox, "", 7, 71, 120, 72, ui::kBorder | ui::kVScroll | ui::kNotify},
    {kTdHighResolution, ControlKind::CheckBox, "High Resolution", 135, 17, 118, 10},
    {-1, ControlKind::Label, "Map default Excel font to:", 135, 34, 118, 8},
    {kTdFontMap, ControlKind::DropDownList, "", 135, 44, 118, 70, ui::kDisabled},
    {kTdOk, ControlKind::DefaultButton, "Import", 135, 129, 56, 14, ui::kDisabled},
    {kTdCancel, ControlKind::Button, "Cancel", 197, 129, 56, 14},
};

constexpr ui::ControlSpec kPasswordControls[] = {
    {kTdPrompt, ControlKind::Edit, "", 7, 7, 166, 20, ui::kReadOnly | ui::kMultiline | ui::kCenter},
    {kTdPassword, ControlKind::Edit, "", 7, 31, 166, 12, ui::kBorder | ui::kAutoScroll | ui::kPassword},
    {kTdOk, ControlKind::DefaultButton, "OK", 69, 49, 50, 14},
    {kTdCancel, ControlKind::Button, "Cancel", 123, 49, 50, 14},
};

constexpr ui::ControlSpec kSizeControls[] = {
    {kTdFontSize, ControlKind::CheckBox, "Font Size", 7, 7, 60, 10},
    {kTdCellSize, ControlKind::CheckBox, "Cell Size", 7, 21, 60, 10},
    {kTdPercentage, ControlKind::Edit, "", 76, 12, 30, 12, ui::kBorder},
    {-1, ControlKind::Label, "%", 108, 14, 8, 8},
    {kTdSizeScroll, ControlKind::VScrollBar, "", 118, 10, 10, 16},
    {kTdOk, ControlKind::DefaultButton, "OK", 22, 40, 50, 14},
    {kTdCancel, ControlKind::Button, "Cancel", 78, 40, 50, 14},
};

// A whole number of percent within the scroll bar's range, as typed.
bool typedPercentage(std::string_view text, int& value) {
    int v = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, v);
    if (text.empty() || error != std::errc() || at != end || v < kMinPercentage || v > kMaxPercentage)
        return false;
    value = v;
    return true;
}

}  // namespace

const ui::DialogSpec& exportSpec() {
    static const ui::DialogSpec spec{kExportResource, "Export", 193, 159, "MS Sans Serif", 8,
                                     kExportControls, {}};
    return spec;
}

const ui::DialogSpec& importSpec() {
    static const ui::DialogSpec spec{kImportResource, "Import", 260, 150, "MS Sans Serif", 8,
                                     kImportControls, {}};
    return spec;
}

const ui::DialogSpec& passwordSpec() {
    static const ui::DialogSpec spec{
        kPasswordResource, kPasswordCaption, 180, 70, "MS Sans Serif", 8, kPasswordControls, {}};
    return spec;
}

const ui::DialogSpec& sizeSpec() {
    static const ui::DialogSpec spec{
        kSizeResource, "Change Size", 150, 61, "MS Sans Serif", 8, kSizeControls, {}};
    return spec;
}

std::string columnLetters(int64_t column) {
    if (column < 1 || column > 26 * 27) return "?";
    std::string letters;
    if (column > 26) letters += char('A' + (column - 1) / 26 - 1);
    letters += char('A' + (column - 1) % 26);
    return letters;
}

std::string sizeCaption(const SheetRecord& record) {
    const int64_t firstRow = record.formatFlags, firstColumn = record.defaultSize8;
    const int64_t lastRow = firstRow + record.defaultSize12 - 1;
    const int64_t lastColumn = firstColumn + record.setting16 - 1;
    return kSizeCaptionStart + columnLetters(firstColumn) + std::to_string(firstRow) + ":" +
           columnLetters(lastColumn) + std::to_string(lastRow);
}

// ---- Users, font and resolution (Export and Import) ----------------------------

void TransferDialog::fillUsers(View& view) {
    view.clearItems(kTdUsers);
    for (const foundation::UserEntry& entry : c_.registry.userList) view.addItem(kTdUsers, entry.name);
    if (view.itemCount(kTdUsers) > 0) view.select(kTdUsers, 0);
}

int TransferDialog::user(View& view) const {
    const int selected = view.selected(kTdUsers);
    return selected >= 0 && size_t(selected) < c_.registry.userList.size() ? selected : -1;
}

void TransferDialog::initFont(View& view) {
    view.clearItems(kTdFontMap);
    for (const char* name : kFontMapNames) view.addItem(kTdFontMap, name);
    const bool on = c_.registry.highResolution != 0;
    if (on && c_.options.fontMapping < 0) c_.options.fontMapping = 0;
    view.check(kTdHighResolution, on);
    const int32_t mapping = c_.options.fontMapping;
    view.select(kTdFontMap, mapping >= 0 && mapping < int32_t(std::size(kFontMapNames)) ? mapping : -1);
    view.enable(kTdFontMap, on);
}

void TransferDialog::resolutionClicked(View& view) {
    const bool on = c_.registry.highResolution == 0;
    c_.registry.highResolution = on ? 1 : 0;
    view.check(kTdHighResolution, on);
    view.enable(kTdFontMap, on);
    if (on) {
        c_.options.fontMapping = 0;
        view.select(kTdFontMap, 0);
    }
    resolutionChanged_ = true;
}

void TransferDialog::applyFont(View& view) {
    c_.options.fontMapping = c_.registry.highResolution != 0 ? view.selected(kTdFontMap) : -1;
}

// ---- Export --------------------------------------------------------------------

void ExportDialog::init(View& view) {
    initFont(view);
    fillUsers(view);
    userChanged(view);
}

void ExportDialog::userChanged(View& view) {
    view.clearItems(kTdCategories);
    categories_.clear();
    const int chosen = user(view);
    if (chosen < 0) return;
    std::vector<CategoryEntry> entries;
    LoadCategories(c_.registry, chosen, entries, nullptr, c_.categoryCache);
    int unfiled = -1;
    // The list starts with "All", which is no category to export into.
    for (size_t i = 1; i < entries.size(); ++i) {
        const CategoryEntry& entry = entries[i];
        if (unfiled < 0 && platform::sameNoCase(entry.name, "Unfiled")) unfiled = int(categories_.size());
        categories_.push_back(entry);
        view.addItem(kTdCategories, entry.name);
    }
    if (!categories_.empty()) view.select(kTdCategories, unfiled >= 0 ? unfiled : 0);
}

void ExportDialog::ok(View& view) {
    const int category = view.selected(kTdCategories);
    c_.options.exportCategory =
        category >= 0 && size_t(category) < categories_.size() ? categories_[size_t(category)].index : 0;
    c_.options.exportTargetUser = user(view);
    // The fields hold at most 31 characters.
    c_.options.exportTarget.authorPassword =
        view.text(kTdAuthorPassword).substr(0, workbook::kMaxPasswordLength);
    c_.options.exportTarget.userPassword = view.text(kTdUserPassword).substr(0, workbook::kMaxPasswordLength);
    applyFont(view);
    view.end(kTdOk);
}

void ExportDialog::handle(View& view, const ui::Event& event) {
    using ui::Notify;
    switch (event.id) {
        case kTdUsers:
            if (event.what == Notify::SelectionChanged) userChanged(view);
            break;
        case kTdAuthorPassword:
            if (event.what == Notify::Changed)
                view.enable(kTdUserPassword, !view.text(kTdAuthorPassword).empty());
            break;
        case kTdHighResolution:
            resolutionClicked(view);
            break;
        case kTdOk:
            ok(view);
            break;
        case kTdCancel:
            view.end(kTdCancel);
            break;
        default:
            break;
    }
}

// ---- Import --------------------------------------------------------------------

void ImportDialog::init(View& view) {
    view.clearItems(kTdUsers);
    view.clearItems(kTdCategories);
    view.clearItems(kTdWorkbooks);
    view.enable(kTdOk, false);
    initFont(view);
    fillUsers(view);
    userChanged(view);
}

void ImportDialog::userChanged(View& view) {
    view.clearItems(kTdWorkbooks);
    books_.clear();
    view.clearItems(kTdCategories);
    categories_.clear();
    view.enable(kTdOk, false);
    const int chosen = user(view);
    if (chosen < 0) return;
    c_.options.importUser = chosen;
    LoadCategories(c_.registry, chosen, categories_, nullptr, c_.categoryCache);
    for (const CategoryEntry& entry : categories_) view.addItem(kTdCategories, entry.name);
    if (categories_.empty()) return;
    // Choosing "All" lists the user's books as picking it does.
    view.select(kTdCategories, 0);
    categoryChanged(view);
}

void ImportDialog::categoryChanged(View& view) {
    view.clearItems(kTdWorkbooks);
    books_.clear();
    view.enable(kTdOk, false);
    const int chosen = user(view);
    const int category = view.selected(kTdCategories);
    if (chosen < 0 || category < 0 || size_t(category) >= categories_.size()) return;
    const bool all = category == 0;
    for (const foundation::LinkEntry& link : c_.registry.userList[size_t(chosen)].links) {
        // Only books present in Backup: a desktop-only link has nothing to import.
        if (link.book.versionSign == 0 || link.book.versionSign == foundation::kVersionSignDesktopOnly)
            continue;
        if (!all && link.book.category != categories_[size_t(category)].index) continue;
        books_.emplace_back(link.name());
        view.addItem(kTdWorkbooks, link.name());
    }
    if (!books_.empty()) {
        view.select(kTdWorkbooks, 0);
        view.enable(kTdOk, true);
    }
}

const foundation::LinkEntry* ImportDialog::selectedLink(View& view) {
    const int chosen = user(view);
    const int selected = view.selected(kTdWorkbooks);
    if (chosen < 0 || selected < 0 || size_t(selected) >= books_.size()) return nullptr;
    return c_.registry.findLink(chosen, books_[size_t(selected)]);
}

void ImportDialog::importBook(View& view) {
    const foundation::LinkEntry* link = selectedLink(view);
    if (!link || link->book.versionSign == 0 || link->book.versionSign == foundation::kVersionSignDesktopOnly)
        return;
    std::string path = platform::joinPath(c_.registry.backupFolder(user(view)), link->name());
    path += '\0';  // the text's length counts the NUL, as VerifyImport leaves it
    BSTR text = platform::allocByteString(path);
    if (!text) {
        outOfMemory_ = true;
        view.end(kTdCancel);
        return;
    }
    platform::clearByteString(record_.text);
    record_.text = text;
    record_.number = workbook::kListSheetDatabases;
    applyFont(view);
    view.end(kTdOk);
}

void ImportDialog::handle(View& view, const ui::Event& event) {
    using ui::Notify;
    switch (event.id) {
        case kTdUsers:
            if (event.what == Notify::SelectionChanged) userChanged(view);
            break;
        case kTdCategories:
            if (event.what == Notify::SelectionChanged) categoryChanged(view);
            break;
        case kTdWorkbooks:
            if (event.what == Notify::SelectionChanged) view.enable(kTdOk, view.selected(kTdWorkbooks) >= 0);
            break;
        case kTdHighResolution:
            resolutionClicked(view);
            break;
        case kTdOk:
            importBook(view);
            break;
        case kTdCancel:
            view.end(kTdCancel);
            break;
        default:
            break;
    }
}

// ---- Password ------------------------------------------------------------------

void PasswordDialog::init(ui::DialogView& view) {
    view.setCaption(kPasswordCaption);
    view.setText(kTdPrompt, foundation::fillMessage(kPasswordPrompt, databaseName_));
    view.setText(kTdPassword, "");
    view.focus(kTdPassword);
}

void PasswordDialog::handle(ui::DialogView& view, const ui::Event& event) {
    if (event.id == kTdOk) {
        password_ = view.text(kTdPassword);
        view.end(kTdOk);
    } else if (event.id == kTdCancel) {
        view.end(kTdCancel);
    }
}

// ---- Change Size -----------------------------------------------------------------

void SizeDialog::init(ui::DialogView& view) {
    view.setCaption(caption_);
    view.check(kTdFontSize, choices_.fontSize);
    view.check(kTdCellSize, choices_.cellSize);
    view.setScrollRange(kTdSizeScroll, kMinPercentage, kMaxPercentage, 0);
    percentage_ = kStartPercentage;
    show(view);
    view.focus(kTdPercentage);
}

void SizeDialog::show(ui::DialogView& view) {
    view.setText(kTdPercentage, std::to_string(percentage_));
    view.setScrollPos(kTdSizeScroll, kMaxPercentage - percentage_);
}

void SizeDialog::handle(ui::DialogView& view, const ui::Event& event) {
    using ui::Scroll;
    switch (event.id) {
        case kTdSizeScroll: {
            if (event.what != ui::Notify::Scrolled) break;
            const bool up = event.scroll == Scroll::LineUp || event.scroll == Scroll::PageUp ||
                            event.scroll == Scroll::Top;
            const bool down = event.scroll == Scroll::LineDown || event.scroll == Scroll::PageDown ||
                              event.scroll == Scroll::Bottom;
            if (!up && !down) break;
            percentage_ += up ? kPercentageStep : -kPercentageStep;
            percentage_ = std::clamp(percentage_, kMinPercentage, kMaxPercentage);
            show(view);
            break;
        }
        case kTdOk:
            choices_.fontSize = view.checked(kTdFontSize);
            choices_.cellSize = view.checked(kTdCellSize);
            // A whole percentage typed into the edit wins; anything else
            // keeps the one the scroll bar set.
            typedPercentage(view.text(kTdPercentage), percentage_);
            view.end(kTdOk);
            break;
        case kTdCancel:
            view.end(kTdCancel);
            break;
        default:
            break;
    }
}

// ---- The operations ----------------------------------------------------------------

namespace {

TransferDialogContext dialogContext(GridlinkState& state) {
    return {state.registry, state.options, state.categoryCache};
}

// Closing a dialog whose High Resolution box was clicked stores the choice.
void saveResolution(GridlinkState& state, const TransferDialog& dialog) {
    if (dialog.resolutionChanged())
        state.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::Yes);
}

}  // namespace

int16_t ExportWorkbook(GridlinkState& state, SheetRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    ExportDialog dialog(dialogContext(state));
    const int result = ui::runDialog(ui::focusWindow(), dialog);
    saveResolution(state, dialog);
    if (result != kTdOk) return 0;
    const int16_t prepared = workbook::PrepareExportTarget(record, state.options.exportTarget);
    return prepared < 0 ? prepared : 1;
}

int16_t ImportWorkbook(GridlinkState& state, TextRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    if (state.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No) < 0)
        return BF_ERR_PARAMETER;
    ImportDialog dialog(dialogContext(state), *record);
    const int result = ui::runDialog(ui::focusWindow(), dialog);
    saveResolution(state, dialog);
    if (dialog.outOfMemory()) return BF_ERR_MEMORY;
    if (result != kTdOk) return 0;
    return workbook::ListBookFiles(record, nullptr, state.sheetImport.lastListedBook);
}

int16_t GetPassword(GridlinkState& state, TextRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    PasswordDialog dialog(state.sheetImport.openDatabaseName());
    if (ui::runDialog(ui::focusWindow(), dialog) != kTdOk) return 2;
    BSTR text = platform::allocByteString(dialog.password());
    if (!text) return BF_ERR_MEMORY;
    platform::clearByteString(record->text);
    record->text = text;
    return 1;
}

int16_t GetSize(GridlinkState& state, SheetRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    SizeDialog dialog(sizeCaption(*record), state.sizeChoices);
    const int result = ui::runDialog(ui::focusWindow(), dialog);
    if (result == kTdOk) {
        record->sizeAnswer.percentage = int16_t(dialog.percentage());
        record->sizeAnswer.fontSize = state.sizeChoices.fontSize ? 1 : 0;
        record->cellSizeFlag = state.sizeChoices.cellSize ? 1 : 0;
    }
    return int16_t(result);
}

}  // namespace syncmgr
