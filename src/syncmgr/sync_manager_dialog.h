// syncmgr/sync_manager_dialog.h - the Sync Manager: linking handheld books to
// PC files, per HotSync user.
//
// Dialog 130 (300 x 178 dialog units), captioned "Tabulo Sync Manager 7.1":
//
//   id    kind            role
//   1005  drop-down list  "Registered Users:" (userList, in index order)
//   1006  drop-down list  "Categories:" ("All" and the user's categories)
//   1002  list view       "Palm Workbooks": the user's books in the category,
//                         each with its state image (sync_manager_images.h)
//   1001  edit            "Synchronized with:": the selected book's PC path
//   1014  button          Browse: a file chooser for the path
//   1012  button          Register: link the selected book to the path
//   1013  button          Unregister: unlink it, after a question
//   1010 / 1009 / 1011    "Sync Rule": Synchronize / Handheld Overwrites /
//                         Desktop Overwrites; a click re-registers at once
//   1018  read-only edit  "Hotsynced": time of the newest Backup copy
//   1039  drop-down list  "Map default Excel font to:" Default ... Large
//   1030  check box       High Resolution
//   1022 / 1021           "Synchronization": Enable / Disable the user
//   1019  button          Refresh: reload everything
//   1     default button  Done
//
// Register and Unregister go through link_editing (the same code path as
// `tabulo-addin link` and `unlink`): each reloads the registry and saves its
// change at once. Enable, Disable and High Resolution are kept by the dialog
// and stored when it closes with Done, onto the registry as it is on disk
// then (so links changed meanwhile by another process are kept). Closing
// rebuilds the export list.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "foundation/link_registry.h"
#include "platform/dialog.h"
#include "platform/files.h"
#include "syncmgr/categories.h"
#include "syncmgr/export_checks.h"
#include "syncmgr/link_editing.h"
#include "workbook/transfer_context.h"

namespace syncmgr {

constexpr int kSyncManagerResource = 130;

enum SyncManagerControl : int {
    kSmDone = platform::ui::IdOk,
    kSmPath = 1001,
    kSmBooks = 1002,
    kSmUsers = 1005,
    kSmCategories = 1006,
    kSmHandheldOverwrites = 1009,
    kSmSynchronize = 1010,
    kSmDesktopOverwrites = 1011,
    kSmRegister = 1012,
    kSmUnregister = 1013,
    kSmBrowse = 1014,
    kSmHotsynced = 1018,
    kSmRefresh = 1019,
    kSmDisable = 1021,
    kSmEnable = 1022,
    kSmHighResolution = 1030,
    kSmFontMap = 1039,
};

constexpr const char* kSyncManagerCaptionFormat = "%s Sync Manager %s";
constexpr const char* kErrorCaption = "Error";
constexpr const char* kUnregisterCaption = "Unregister";
constexpr const char* kUnregisterQuestion = "Do you want to unlink the selected Palm file from the PC file?";
constexpr const char* kWorkbookFilter =
    "Worksheets (*.xls)|*.xls|CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||";
constexpr const char* kFontMapNames[] = {"Default", "Tiny", "Small", "Standard", "Large"};

const platform::ui::DialogSpec& syncManagerSpec();

// "Tabulo Sync Manager 7.1".
std::string syncManagerCaption();
// A Backup time in local time as "Jan 05, 2004 14:30"; empty when it cannot
// be converted.
std::string formatBackupTime(platform::FileTime time);

// What the dialog works on: the library's registry, transfer options and
// export list, and the category cache.
struct SyncManagerContext {
    foundation::LinkRegistry& registry;
    workbook::TransferOptions& options;
    ExportList& exportList;
    CategoryCache& categoryCache;
};

class SyncManagerDialog final : public platform::ui::DialogController {
public:
    explicit SyncManagerDialog(SyncManagerContext context) : c_(context) {}

    const platform::ui::DialogSpec& spec() const override { return syncManagerSpec(); }
    void init(platform::ui::DialogView& view) override;
    void handle(platform::ui::DialogView& view, const platform::ui::Event& event) override;

private:
    using View = platform::ui::DialogView;

    void refresh(View& view);
    void fill(View& view);  // Refresh after its reload
    void userChanged(View& view);
    void categoryChanged(View& view, std::string_view keepBook = {});
    void showSelected(View& view);
    void pathEdited(View& view);
    void browse(View& view);
    void registerBook(View& view);
    void unregisterBook(View& view);
    void setEnabled(View& view, bool on);
    void highResolutionClicked(View& view);
    void done(View& view);

    void reload();
    void applyChoices();
    void clearBookControls(View& view);
    void enableRuleButtons(View& view, bool on);
    void checkRule(View& view, int32_t rule);
    void showError(View& view, const LinkEditResult& result);
    foundation::UserEntry* currentUser();
    foundation::LinkEntry* selectedLink();

    SyncManagerContext c_;
    int user_ = -1;
    int category_ = -1;
    int item_ = -1;
    std::vector<CategoryEntry> categories_;
    std::vector<std::string> rows_;  // list position -> book name
    // Enable / Disable clicked, per user name: survives reloads, stored at Done.
    std::map<std::string, int32_t> enabledChoice_;
    bool changed_ = false;  // Enable, Disable or High Resolution was clicked
};

}  // namespace syncmgr
