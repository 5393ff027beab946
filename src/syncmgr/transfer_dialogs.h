// syncmgr/transfer_dialogs.h - the add-in's one-off transfers: the Export,
// Import, Password and Change Size dialogs.
//
// The dialogs only collect choices. They leave them in the record passed in
// and in the module-wide settings the sheet and cell calls read afterwards:
// options.exportTargetUser, exportCategory, exportTarget (the passwords),
// importUser, fontMapping, and the registry's highResolution.
//
//   dialog            id   controls
//   Export            132  1005 users, 1006 categories (without "All"),
//                          1030 High Resolution, 1039 font map, 1024 author
//                          password, 1025 user password (enabled while an
//                          author password is typed), 1 OK, 2 Cancel
//   Import            133  1005 users, 1006 categories ("All" first), 1002
//                          workbooks, 1030, 1039, 1 Import (enabled while a
//                          workbook is selected), 2 Cancel
//   Password          131  1022 prompt, 1020 password, 1 OK, 2 Cancel
//   Change Size       153  1032 Font Size, 1034 Cell Size, 1020 percentage,
//                          1036 its scroll bar, 1 OK, 2 Cancel
//
// Clicking High Resolution (Export, Import) changes highResolution at once;
// closing the dialog then saves the link registry, which stores it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gridlink.h"
#include "platform/dialog.h"
#include "syncmgr/categories.h"
#include "syncmgr/gridlink_state.h"

namespace syncmgr {

constexpr int kPasswordResource = 131;
constexpr int kExportResource = 132;
constexpr int kImportResource = 133;
constexpr int kSizeResource = 153;

enum TransferControl : int {
    kTdOk = platform::ui::IdOk,  // OK, Import
    kTdCancel = platform::ui::IdCancel,
    kTdWorkbooks = 1002,
    kTdUsers = 1005,
    kTdCategories = 1006,
    kTdPassword = 1020,  // Password: the password; Change Size: the percentage
    kTdPrompt = 1022,
    kTdAuthorPassword = 1024,
    kTdUserPassword = 1025,
    kTdHighResolution = 1030,
    kTdFontSize = 1032,
    kTdCellSize = 1034,
    kTdSizeScroll = 1036,
    kTdFontMap = 1039,
};
constexpr int kTdPercentage = kTdPassword;

constexpr const char* kPasswordCaption = "Tabulo password to synchronize Excel book";
constexpr const char* kPasswordPrompt = "Password for %s";
constexpr const char* kSizeCaptionStart = "Change Size For ";
constexpr int kMinPercentage = 10;
constexpr int kMaxPercentage = 500;
constexpr int kPercentageStep = 10;
constexpr int kStartPercentage = 100;

const platform::ui::DialogSpec& exportSpec();
const platform::ui::DialogSpec& importSpec();
const platform::ui::DialogSpec& passwordSpec();
const platform::ui::DialogSpec& sizeSpec();

// Column letters of a 1-based column: A-Z, then AA-ZZ ("?" outside 1-702).
std::string columnLetters(int64_t column);
// "Change Size For AA5:AB7" for the range at SheetRecord offsets 4 (first
// row), 8 (first column), 12 (rows) and 16 (columns).
std::string sizeCaption(const SheetRecord& record);

// The registry and settings the Export and Import dialogs work on.
struct TransferDialogContext {
    foundation::LinkRegistry& registry;
    workbook::TransferOptions& options;
    CategoryCache& categoryCache;
};

// What both dialogs share: the users list and the font and resolution
// controls.
class TransferDialog : public platform::ui::DialogController {
public:
    explicit TransferDialog(TransferDialogContext context) : c_(context) {}
    // High Resolution was clicked: the registry is to be saved at closing.
    bool resolutionChanged() const { return resolutionChanged_; }

protected:
    using View = platform::ui::DialogView;
    void fillUsers(View& view);
    void initFont(View& view);
    void resolutionClicked(View& view);
    void applyFont(View& view);
    int user(View& view) const;

    TransferDialogContext c_;
    std::vector<CategoryEntry> categories_;
    bool resolutionChanged_ = false;
};

class ExportDialog final : public TransferDialog {
public:
    using TransferDialog::TransferDialog;
    const platform::ui::DialogSpec& spec() const override { return exportSpec(); }
    void init(View& view) override;
    void handle(View& view, const platform::ui::Event& event) override;

private:
    void userChanged(View& view);
    void ok(View& view);
};

class ImportDialog final : public TransferDialog {
public:
    // record: where Import leaves the book's Backup path.
    ImportDialog(TransferDialogContext context, TextRecord& record)
        : TransferDialog(context), record_(record) {}
    const platform::ui::DialogSpec& spec() const override { return importSpec(); }
    void init(View& view) override;
    void handle(View& view, const platform::ui::Event& event) override;
    // Import could not store the path in the record.
    bool outOfMemory() const { return outOfMemory_; }

private:
    void userChanged(View& view);
    void categoryChanged(View& view);
    void importBook(View& view);
    const foundation::LinkEntry* selectedLink(View& view);

    TextRecord& record_;
    std::vector<std::string> books_;  // list position -> book name
    bool outOfMemory_ = false;
};

class PasswordDialog final : public platform::ui::DialogController {
public:
    explicit PasswordDialog(std::string databaseName) : databaseName_(std::move(databaseName)) {}
    const platform::ui::DialogSpec& spec() const override { return passwordSpec(); }
    void init(platform::ui::DialogView& view) override;
    void handle(platform::ui::DialogView& view, const platform::ui::Event& event) override;
    const std::string& password() const { return password_; }

private:
    std::string databaseName_;
    std::string password_;
};

class SizeDialog final : public platform::ui::DialogController {
public:
    SizeDialog(std::string caption, SizeChoices& choices) : caption_(std::move(caption)), choices_(choices) {}
    const platform::ui::DialogSpec& spec() const override { return sizeSpec(); }
    void init(platform::ui::DialogView& view) override;
    void handle(platform::ui::DialogView& view, const platform::ui::Event& event) override;
    int percentage() const { return percentage_; }

private:
    void show(platform::ui::DialogView& view);

    std::string caption_;
    SizeChoices& choices_;
    int percentage_ = kStartPercentage;
};

// The four exports' operations. Each runs its dialog owned by the focus
// window. ExportWorkbook: 1 OK, 0 Cancel, -1 no record. ImportWorkbook: what
// ListBookFiles gives after Import, 0 Cancel, -1 no record or the registry
// cannot be refreshed, -3 memory. GetPassword: 1 OK, 2 Cancel, -1 no record,
// -3 memory. GetSize: 1 OK, 2 Cancel, -1 no record.
int16_t ExportWorkbook(GridlinkState& state, SheetRecord* record);
int16_t ImportWorkbook(GridlinkState& state, TextRecord* record);
int16_t GetPassword(GridlinkState& state, TextRecord* record);
int16_t GetSize(GridlinkState& state, SheetRecord* record);

}  // namespace syncmgr
