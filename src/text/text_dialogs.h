// text/text_dialogs.h - textlink's Export, Import and About dialogs.
//
// Export, dialog 132 (170 x 75), "Export":
//   1029  edit            "From:": the text file to export (stand-alone form)
//   1030  button          "...": an open-file chooser for "From:"
//   1005  drop-down list  "Registered Users:", in userList order
//   1006  drop-down list  categories: hidden and disabled
//   1     default button  "Export"
//   2     button          "Cancel" ("Done" in the stand-alone form)
// Import, dialog 133 (168 x 186), "Import":
//   1005  drop-down list  "Registered Users:"
//   1006  drop-down list  categories: hidden and disabled
//   1002  list box        "Palm Doc files": the selected user's entries
//   1026  edit            "To:": the text file to write (stand-alone form)
//   1027  button          "...": a save-file chooser for "To:"
//   1     default button  "Import"
//   2     button          "Cancel" ("Done" in the stand-alone form)
// About, dialog 134 (217 x 55): the product icon (resource 120), label 1031
//   with the product line, the maker's notice, button 1 "OK".
// Export and Import add "&About textlink..." (command 16) to their window
// menu; it opens the About box.
//
// Each of Export and Import has two forms. Stand-alone (no caller record):
// the user picks source and target, the dialog converts and reports every
// conversion in a message box, and stays open until "Done". With a caller's
// DocTransferRecord: the dialog only fills the record (user, path; status
// -16 until the user confirms) and the caller moves the text.
#pragma once

#include <string>
#include <string_view>

#include "platform/dialog.h"
#include "text/textlink_state.h"
#include "textlink.h"

namespace text {

constexpr int kExportResource = 132;
constexpr int kImportResource = 133;
constexpr int kAboutResource = 134;
constexpr int kProductIconResource = 120;

enum TextDialogControl : int {
    kTdOk = platform::ui::IdOk,
    kTdCancel = platform::ui::IdCancel,
    kTdFiles = 1002,
    kTdFilesGroup = 1004,
    kTdUsers = 1005,
    kTdCategories = 1006,
    kTdToLabel = 1025,
    kTdTo = 1026,
    kTdToBrowse = 1027,
    kTdFromLabel = 1028,
    kTdFrom = 1029,
    kTdFromBrowse = 1030,
    kTdAboutLine = 1031,
};

// The window-menu command that opens the About box.
constexpr int kAboutCommand = 16;
constexpr const char* kAboutMenuText = "&About textlink...";

constexpr const char* kTextFilter = "Text files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kDoneText = "Done";
constexpr const char* kDoneCaption = "Done";
constexpr const char* kErrorCaption = "Error";
constexpr const char* kCompletedFormat = "Conversion from %s\n to %s completed";
constexpr const char* kFailedFormat = "Conversion from %s\n to %s failed, \nError %d";
constexpr const char* kAboutTitleFormat = "%s Text Conversion Utility";
constexpr const char* kAboutLineFormat = "%s Text Conversion Utility V%s";
constexpr const char* kMakersNotice = "Copyright (C) Brightfold";

const platform::ui::DialogSpec& exportDialogSpec();
const platform::ui::DialogSpec& importDialogSpec();
const platform::ui::DialogSpec& aboutDialogSpec();

// The message after a conversion: "completed" for status 0, else "failed"
// with the status.
std::string conversionMessage(std::string_view from, std::string_view to, int status);

// The user and file lists of Export and Import: the first user is selected
// whenever none is.
class TextTransferDialog : public platform::ui::DialogController {
public:
    // record == nullptr: the stand-alone form, on a record of the dialog's
    // own. With a record its status is -16 until the user confirms.
    TextTransferDialog(TextlinkState& state, DocTransferRecord* record);
    ~TextTransferDialog() override;
    TextTransferDialog(const TextTransferDialog&) = delete;
    TextTransferDialog& operator=(const TextTransferDialog&) = delete;

protected:
    using View = platform::ui::DialogView;

    // Window menu and users list; returns the selected user (-1: none).
    int initCommon(View& view);
    // Keeps a user selected; returns it (-1: the list is empty).
    int keepUserSelected(View& view);
    void about(View& view);
    // Runs a chooser on `path` (kept as the last path) and shows the choice
    // in the edit; true when the user chose.
    bool choose(View& view, platform::ui::FileChooser::Kind kind, int edit, std::string& path);
    void report(View& view, std::string_view from, std::string_view to, int status);

    bool standAlone() const { return record_ == &own_; }

    TextlinkState& state_;
    DocTransferRecord own_{};
    DocTransferRecord* record_;
};

class ExportDialog final : public TextTransferDialog {
public:
    using TextTransferDialog::TextTransferDialog;
    const platform::ui::DialogSpec& spec() const override { return exportDialogSpec(); }
    void init(View& view) override;
    void handle(View& view, const platform::ui::Event& event) override;

private:
    void exportSelected(View& view);
};

class ImportDialog final : public TextTransferDialog {
public:
    using TextTransferDialog::TextTransferDialog;
    const platform::ui::DialogSpec& spec() const override { return importDialogSpec(); }
    void init(View& view) override;
    void handle(View& view, const platform::ui::Event& event) override;

private:
    void userChanged(View& view);
    void targetChanged(View& view);
    void importSelected(View& view);

    int user_ = -1;
};

class AboutBox final : public platform::ui::DialogController {
public:
    const platform::ui::DialogSpec& spec() const override { return aboutDialogSpec(); }
    void init(platform::ui::DialogView& view) override;
    void handle(platform::ui::DialogView& view, const platform::ui::Event& event) override;
};

}  // namespace text
