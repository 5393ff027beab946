#include "syncmgr/sync_manager_dialog.h"

#include <cstdio>
#include <iterator>

#include "foundation/status.h"
#include "foundation/sync_lock.h"
#include "platform/system.h"
#include "platform/text.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/gridlink_version.h"
#include "syncmgr/link_editing.h"
#include "syncmgr/sync_manager_images.h"

namespace syncmgr {

namespace ui = platform::ui;
using ui::ControlKind;

namespace {

// Left column: who and which books; right column: the selected book's link,
// then the user's settings and the closing buttons.
constexpr ui::ControlSpec kControls[] = {
    {-1, ControlKind::Label, "Registered Users:", 7, 7, 140, 8},
    {kSmUsers, ControlKind::DropDownList, "", 7, 17, 140, 80, ui::kVScroll},
    {-1, ControlKind::Label, "Categories:", 7, 34, 140, 8},
    {kSmCategories, ControlKind::DropDownList, "", 7, 44, 140, 80, ui::kVScroll},
    {-1, ControlKind::Label, "Palm Workbooks", 7, 61, 140, 8},
    {kSmBooks, ControlKind::ListView, "", 7, 71, 140, 100, ui::kBorder},
    {-1, ControlKind::Label, "Synchronized with:", 155, 7, 138, 8},
    {kSmPath, ControlKind::Edit, "", 155, 17, 138, 12, ui::kBorder | ui::kAutoScroll},
    {kSmBrowse, ControlKind::Button, "Browse...", 155, 33, 44, 14},
    {kSmRegister, ControlKind::Button, "Register", 202, 33, 44, 14, ui::kDisabled},
    {kSmUnregister, ControlKind::Button, "Unregister", 249, 33, 44, 14, ui::kDisabled},
    {-1, ControlKind::GroupBox, "Sync Rule", 155, 52, 138, 46},
    {kSmSynchronize, ControlKind::RadioButton, "Synchronize", 163, 63, 122, 10, ui::kDisabled, 1},
    {kSmHandheldOverwrites, ControlKind::RadioButton, "Handheld Overwrites", 163, 74, 122, 10, ui::kDisabled,
     1},
    {kSmDesktopOverwrites, ControlKind::RadioButton, "Desktop Overwrites", 163, 85, 122, 10, ui::kDisabled,
     1},
    {-1, ControlKind::Label, "Hotsynced", 155, 105, 40, 8},
    {kSmHotsynced, ControlKind::Edit, "", 197, 103, 96, 12, ui::kReadOnly | ui::kBorder},
    {-1, ControlKind::Label, "Map default Excel font to:", 155, 120, 138, 8},
    {kSmFontMap, ControlKind::DropDownList, "", 155, 130, 70, 70, ui::kDisabled},
    {kSmHighResolution, ControlKind::CheckBox, "High Resolution", 229, 131, 64, 10},
    {-1, ControlKind::GroupBox, "Synchronization", 155, 146, 84, 25},
    {kSmEnable, ControlKind::RadioButton, "Enable", 161, 157, 36, 10, 0, 2},
    {kSmDisable, ControlKind::RadioButton, "Disable", 199, 157, 36, 10, 0, 2},
    {kSmRefresh, ControlKind::Button, "Refresh", 245, 141, 48, 14},
    {kSmDone, ControlKind::DefaultButton, "Done", 245, 157, 48, 14},
};

constexpr int kRuleButtons[] = {kSmSynchronize, kSmHandheldOverwrites, kSmDesktopOverwrites};

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int bookImage(const foundation::LinkEntry& link) {
    if (link.book.versionSign <= 0) return kImageUnsupported;
    if (link.pcPath.empty()) return kImageNotLinked;
    if (link.book.versionSign == foundation::kVersionSignDesktopOnly) return kImageDesktopOnly;
    return kImageLinked;
}

}  // namespace

const ui::DialogSpec& syncManagerSpec() {
    static const ui::DialogSpec spec{
        kSyncManagerResource, "Sync Manager", 300, 178, "MS Sans Serif", 8, kControls, syncManagerImages()};
    return spec;
}

std::string syncManagerCaption() {
    char text[96];
    std::snprintf(text, sizeof text, kSyncManagerCaptionFormat, kProductName, kGridlinkVersionText);
    return text;
}

std::string formatBackupTime(platform::FileTime time) {
    platform::LocalTime t{};
    if (!platform::toLocalTime(time, t) || t.month < 1 || t.month > 12) return {};
    char text[40];
    std::snprintf(text, sizeof text, "%s %02d, %d %02d:%02d", kMonths[t.month - 1], t.day, t.year, t.hour,
                  t.minute);
    return text;
}

// ---- Opening, Refresh, User and Category changed ---------------------------

void SyncManagerDialog::init(View& view) {
    view.setCaption(syncManagerCaption());
    reload();
    c_.exportList.clear();
    workbook::TransferContext context{c_.registry, c_.options};
    BuildExportList(context, c_.exportList);
    for (const char* name : kFontMapNames) view.addItem(kSmFontMap, name);
    view.check(kSmHighResolution, c_.registry.highResolution != 0);
    fill(view);  // Refresh, on the registry just loaded
}

void SyncManagerDialog::reload() {
    c_.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No);
    applyChoices();
}

// A reload reads the flags from the file; the user's clicks since opening win.
void SyncManagerDialog::applyChoices() {
    for (foundation::UserEntry& user : c_.registry.userList) {
        auto choice = enabledChoice_.find(user.name);
        if (choice != enabledChoice_.end()) user.enabled = choice->second;
    }
}

void SyncManagerDialog::refresh(View& view) {
    reload();
    fill(view);
}

void SyncManagerDialog::fill(View& view) {
    user_ = category_ = item_ = -1;
    view.clearItems(kSmCategories);
    clearBookControls(view);
    view.clearItems(kSmUsers);
    for (const foundation::UserEntry& user : c_.registry.userList) view.addItem(kSmUsers, user.name);
    userChanged(view);
}

void SyncManagerDialog::userChanged(View& view) {
    if (foundation::UserEntry* previous = currentUser()) previous->enabled = view.checked(kSmEnable) ? 1 : 0;
    int selected = view.selected(kSmUsers);
    if (selected < 0 && view.itemCount(kSmUsers) > 0) {
        selected = 0;
        view.select(kSmUsers, 0);
    }
    user_ = selected;
    foundation::UserEntry* user = currentUser();
    view.check(kSmEnable, user && user->enabled != 0);
    view.check(kSmDisable, user && user->enabled == 0);

    LoadCategories(c_.registry, user_, categories_, nullptr, c_.categoryCache);
    view.clearItems(kSmCategories);
    for (const CategoryEntry& entry : categories_) view.addItem(kSmCategories, entry.name);
    view.select(kSmCategories, -1);
    category_ = item_ = -1;
    categoryChanged(view);
}

void SyncManagerDialog::categoryChanged(View& view, std::string_view keepBook) {
    clearBookControls(view);
    int selected = view.selected(kSmCategories);
    if (selected < 0 || selected != category_) item_ = -1;
    if (selected < 0) {
        selected = 0;
        view.select(kSmCategories, 0);
    }
    category_ = selected;

    view.clearItems(kSmBooks);
    rows_.clear();
    foundation::UserEntry* user = currentUser();
    if (!user) return;
    const bool all = category_ <= 0 || size_t(category_) >= categories_.size();
    for (const foundation::LinkEntry& link : user->links) {
        if (!all && link.book.category != categories_[size_t(category_)].index) continue;
        view.addItem(kSmBooks, link.name(), bookImage(link));
        rows_.emplace_back(link.name());
        if (!keepBook.empty() && platform::sameNoCase(link.name(), keepBook)) item_ = int(rows_.size() - 1);
    }
    if (item_ >= 0 && size_t(item_) < rows_.size()) view.select(kSmBooks, item_);
    if (!user->links.empty()) showSelected(view);
}

// ---- The selected book --------------------------------------------------------

void SyncManagerDialog::showSelected(View& view) {
    view.setText(kSmPath, "");
    view.setText(kSmHotsynced, "");
    if (rows_.empty()) return;
    if (item_ < 0 || size_t(item_) >= rows_.size()) {
        item_ = 0;
        view.select(kSmBooks, 0);
    }
    view.ensureVisible(kSmBooks, item_);
    const foundation::LinkEntry* link = selectedLink();
    if (!link) return;
    const bool linked = !link->pcPath.empty();
    view.setText(kSmPath, link->pcPath);
    checkRule(view, linked ? link->syncRule : foundation::kSyncSynchronize);
    view.enable(kSmUnregister, linked);
    enableRuleButtons(view, linked);

    const uint64_t backupTime = link->book.newestBackupTime.value();
    if (link->book.versionSign != 0 && backupTime != 0)
        view.setText(kSmHotsynced, formatBackupTime(backupTime));

    const int32_t mapping = link->fontMapping;
    view.select(kSmFontMap, mapping >= 0 && mapping < int32_t(std::size(kFontMapNames)) ? mapping : 0);
    view.enable(kSmFontMap, mapping >= 0);
    c_.registry.highResolution = mapping >= 0 ? 1 : 0;
    view.check(kSmHighResolution, mapping >= 0);
}

void SyncManagerDialog::pathEdited(View& view) {
    const std::string path = view.text(kSmPath);
    enableRuleButtons(view, path.size() > 4 && (platform::endsWithNoCase(path, kExcelEnding) ||
                                                platform::endsWithNoCase(path, kCsvEnding)));
}

void SyncManagerDialog::browse(View& view) {
    ui::FileChooser chooser;
    chooser.kind = ui::FileChooser::Kind::Open;
    chooser.owner = view.window();
    chooser.initialPath = view.text(kSmPath);
    chooser.filter = kWorkbookFilter;
    chooser.hideReadOnly = true;
    if (auto path = ui::chooseFile(chooser)) {
        view.setText(kSmPath, *path);
        // A new text in the edit counts as an edit (as the control reports it).
        pathEdited(view);
    }
}

// ---- Register, Unregister ---------------------------------------------------------

void SyncManagerDialog::registerBook(View& view) {
    RegisterRequest request;
    request.user = user_;
    request.pcPath = view.text(kSmPath);
    request.syncRule = view.checked(kSmHandheldOverwrites)  ? foundation::kSyncHandheldOverwrites
                       : view.checked(kSmDesktopOverwrites) ? foundation::kSyncDesktopOverwrites
                                                            : foundation::kSyncSynchronize;
    const bool chosen = category_ >= 1 && category_ <= 14 && size_t(category_) < categories_.size();
    request.category = categories_.empty() ? 0 : categories_[chosen ? size_t(category_) : 0].index;
    request.highResolution = view.checked(kSmHighResolution);
    request.fontMapping = view.selected(kSmFontMap) < 0 ? 0 : view.selected(kSmFontMap);

    LinkEditResult result = registerLink(c_.registry, request);
    applyChoices();
    if (!result.ok()) {
        showError(view, result);
        return;
    }
    categoryChanged(view, result.bookName);
}

void SyncManagerDialog::unregisterBook(View& view) {
    if (item_ < 0 || size_t(item_) >= rows_.size()) return;
    const std::string book = rows_[size_t(item_)];
    if (ui::messageBox(view.window(), kUnregisterQuestion, kUnregisterCaption, ui::Buttons::YesNo,
                       ui::Icon::Question) != ui::IdYes)
        return;
    LinkEditResult result = unregisterLink(c_.registry, user_, book);
    applyChoices();
    if (!result.ok()) {
        showError(view, result);
        return;
    }
    categoryChanged(view, book);
}

void SyncManagerDialog::showError(View& view, const LinkEditResult& result) {
    std::string text = result.message;
    if (text.empty()) {
        // The registry could not be loaded or written: the status's own text.
        auto status = foundation::statusText(result.status, foundation::ErrorTexts::Workbook);
        text = status ? std::string(*status) : "Error " + std::to_string(result.status);
    }
    ui::messageBox(view.window(), text, kErrorCaption, ui::Buttons::Ok, ui::Icon::Error);
}

// ---- Enable, Disable, High Resolution, Done ------------------------------------

void SyncManagerDialog::setEnabled(View& view, bool on) {
    view.check(on ? kSmDisable : kSmEnable, false);
    if (foundation::UserEntry* user = currentUser()) {
        user->enabled = on ? 1 : 0;
        enabledChoice_[user->name] = user->enabled;
    }
    changed_ = true;
}

void SyncManagerDialog::highResolutionClicked(View& view) {
    const bool on = view.checked(kSmHighResolution);
    c_.registry.highResolution = on ? 1 : 0;
    changed_ = true;
    view.enable(kSmFontMap, on);
    if (on) {
        c_.options.fontMapping = 0;
        view.select(kSmFontMap, 0);
    }
}

void SyncManagerDialog::done(View& view) {
    if (changed_) {
        // Stored onto the registry as it is on disk now: a link saved by
        // another process since the last reload is kept.
        foundation::SyncLockGuard lock = c_.registry.holdSyncLock(foundation::kLockModeDesktop);
        if (lock.previousMode() >= 0) {
            c_.registry.UnloadTBMData(foundation::SaveFirst::No);
            if (c_.registry.LoadLinkRegistry() >= 0) {
                applyChoices();
                c_.registry.highResolution = view.checked(kSmHighResolution) ? 1 : 0;
                c_.registry.LoadLinkRegistry();  // writes the registry in memory first
            }
        }
    }
    workbook::TransferContext context{c_.registry, c_.options};
    BuildExportList(context, c_.exportList);
    view.end(kSmDone);
}

// ---- Helpers and dispatch ------------------------------------------------------------

void SyncManagerDialog::clearBookControls(View& view) {
    view.setText(kSmPath, "");
    view.setText(kSmHotsynced, "");
    checkRule(view, foundation::kSyncSynchronize);
    enableRuleButtons(view, false);
    view.enable(kSmUnregister, false);
}

void SyncManagerDialog::enableRuleButtons(View& view, bool on) {
    for (int id : kRuleButtons) view.enable(id, on);
    view.enable(kSmRegister, on);
}

void SyncManagerDialog::checkRule(View& view, int32_t rule) {
    view.check(kSmSynchronize,
               rule != foundation::kSyncHandheldOverwrites && rule != foundation::kSyncDesktopOverwrites);
    view.check(kSmHandheldOverwrites, rule == foundation::kSyncHandheldOverwrites);
    view.check(kSmDesktopOverwrites, rule == foundation::kSyncDesktopOverwrites);
}

foundation::UserEntry* SyncManagerDialog::currentUser() {
    if (user_ < 0 || size_t(user_) >= c_.registry.userList.size()) return nullptr;
    return &c_.registry.userList[size_t(user_)];
}

foundation::LinkEntry* SyncManagerDialog::selectedLink() {
    if (item_ < 0 || size_t(item_) >= rows_.size()) return nullptr;
    return c_.registry.findLink(user_, rows_[size_t(item_)]);
}

void SyncManagerDialog::handle(View& view, const ui::Event& event) {
    using ui::Notify;
    switch (event.id) {
        case kSmUsers:
            if (event.what == Notify::SelectionChanged) userChanged(view);
            break;
        case kSmCategories:
            if (event.what == Notify::SelectionChanged) categoryChanged(view);
            break;
        case kSmBooks:
            if (event.what == Notify::SelectionChanged && event.index >= 0) {
                item_ = event.index;
                showSelected(view);
            }
            break;
        case kSmPath:
            if (event.what == Notify::Changed) pathEdited(view);
            break;
        case kSmBrowse:
            browse(view);
            break;
        case kSmRegister:
        case kSmSynchronize:
        case kSmHandheldOverwrites:
        case kSmDesktopOverwrites:
            if (event.what == Notify::Clicked) registerBook(view);
            break;
        case kSmUnregister:
            unregisterBook(view);
            break;
        case kSmEnable:
        case kSmDisable:
            setEnabled(view, event.id == kSmEnable);
            break;
        case kSmHighResolution:
            highResolutionClicked(view);
            break;
        case kSmRefresh:
            refresh(view);
            break;
        case kSmDone:
            done(view);
            break;
        default:
            break;
    }
}

}  // namespace syncmgr
