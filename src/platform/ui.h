// platform/ui.h - message boxes, and the backend that also runs dialogs
// and file choosers (dialog.h).
//
// Every message to the user is a modal box owned by the window that has the
// focus. A Backend renders boxes (and, later, dialogs described as data and
// driven by a controller class per dialog). The backend is chosen once per
// process from BRIGHTFOLD_UI:
//   headless (the default without a display): each box is written to
//     standard error as one line "caption: text" (line feeds written as \n)
//     and answered with its safe choice: OK for a plain box, No or Cancel for
//     a question, so nothing is replaced or deleted without a person's consent.
//   scripted: plays the script named by BRIGHTFOLD_UI_SCRIPT and appends
//     every event to the file named by BRIGHTFOLD_UI_LOG (ui_script.h,
//     docs/dialogs.md). A message-box-only script is one answer per line
//     ("ok", "cancel", "yes", "no", "retry", "ignore", "abort"); when the
//     script runs out the safe choice is taken. Each box is logged as
//     "caption: text => answer". Tests and automation use it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::ui {

// Opaque window handle; nullptr is "no owner" (the desktop).
using Window = void*;

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class Icon { None, Error, Question, Warning, Information };

// Answers, with the values of the Win32 IDOK ... IDNO constants.
enum Answer : int { IdOk = 1, IdCancel = 2, IdAbort = 3, IdRetry = 4, IdIgnore = 5, IdYes = 6, IdNo = 7 };

struct MessageBox {
    Window owner = nullptr;
    std::string text;
    std::string caption;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
};

// The answer a careful default takes: OK for a plain box, else No, else Cancel.
Answer safeAnswer(Buttons buttons);

class DialogController;
struct FileChooser;

class Backend {
public:
    virtual ~Backend() = default;
    virtual Answer messageBox(const MessageBox& box) = 0;
    // A modal dialog (dialog.h). The default cannot show one: it writes
    // "dialog <id>: no display" to standard error and answers IdCancel
    // without running the controller.
    virtual int runDialog(Window owner, DialogController& controller);
    // A file chooser (dialog.h). The default answers "cancelled".
    virtual std::optional<std::string> chooseFile(const FileChooser& chooser);
};

// Shows a message box through the current backend and returns the answer.
Answer messageBox(Window owner, std::string_view text, std::string_view caption,
                  Buttons buttons = Buttons::Ok, Icon icon = Icon::None);

// The window that has the keyboard focus (owner of every dialog); nullptr
// on the headless and scripted backends.
Window focusWindow();

// The backend of this process: the one set by setBackend, else the one
// BRIGHTFOLD_UI chooses (made on first use).
Backend& currentBackend();

// Replaces the backend of this process (tests); nullptr restores the one
// chosen by BRIGHTFOLD_UI.
void setBackend(std::unique_ptr<Backend> backend);

// Escapes a text for a one-line log: a line feed becomes the two characters \n.
std::string oneLine(std::string_view text);

}  // namespace platform::ui
