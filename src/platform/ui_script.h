// platform/ui_script.h - the scripted ui backend: message boxes, dialogs and
// file choosers answered from a script, every event logged. The format is
// described in docs/dialogs.md; tests outside the project rely on it, so it
// only grows compatibly.
//
// ScriptPlayer is the script itself (its lines, the cursor, the log); it
// plays a dialog's section against a ScriptedDialog. The scripted backend
// gives it a DialogModel; a GUI backend gives it its real widgets.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_model.h"
#include "platform/ui.h"

namespace platform::ui {

// An open dialog as a script drives it: a person's actions (with the meaning
// and refusals of DialogModel's) and the view that `expect` reads.
class ScriptedDialog {
public:
    virtual ~ScriptedDialog() = default;
    virtual DialogView& view() = 0;
    virtual bool has(int id) const = 0;
    virtual ControlKind kind(int id) const = 0;  // Label when missing
    virtual ActionResult click(int id) = 0;
    virtual ActionResult type(int id, std::string_view text) = 0;
    virtual ActionResult choose(int id, int index) = 0;
    virtual ActionResult doubleClick(int id, int index) = 0;
    virtual ActionResult checkItem(int id, int index, bool on) = 0;
    virtual ActionResult scroll(int id, Scroll how) = 0;
    virtual void close() = 0;  // Escape
    virtual bool ended() const = 0;
    virtual int result() const = 0;
    // `snapshot FILE`: saves the client area as a PNG picture; nothing when
    // done, else why not.
    virtual std::optional<std::string> snapshot(const std::string& path) {
        (void)path;
        return std::string("no picture without a display");
    }
};

class ScriptPlayer {
public:
    // `script` is the text of a script file; the log is appended to the file
    // at logPath (empty: no log).
    ScriptPlayer(std::string_view script, std::string logPath);
    ~ScriptPlayer();

    // The next answer line for a box (its safe answer without one), logged.
    Answer answer(const MessageBox& box);
    // The next `file` line for a chooser, logged.
    std::optional<std::string> chooseFile(const FileChooser& chooser);
    // Matches the next `dialog` line, calls open() (which runs the
    // controller's init and shows the dialog), plays the section, closes the
    // dialog as Escape does if the section left it open, and returns its result.
    int runDialog(const DialogSpec& spec, ScriptedDialog& dialog, const std::function<void()>& open);

private:
    struct Line;
    const Line* peek() const;
    void skipSection();
    void log(const std::string& line);
    void logFailure(const Line& line, const std::string& reason);
    void play(ScriptedDialog& dialog);
    std::optional<std::string> run(ScriptedDialog& dialog, const Line& line);
    static std::optional<std::string> expect(ScriptedDialog& dialog, int id, const std::string& property,
                                             std::string_view value);

    std::vector<Line> lines_;
    size_t next_ = 0;
    int playing_ = 0;  // dialogs open, counting the ones they opened
    std::string logPath_;
};

// A scripted backend playing `script` (the text of a script file) and
// appending its log to the file at logPath (empty: no log).
std::unique_ptr<Backend> makeScriptedBackend(std::string_view script, std::string logPath);

// The scripted backend of BRIGHTFOLD_UI_SCRIPT and BRIGHTFOLD_UI_LOG; the
// script is read now, at most kMaxScriptBytes of it.
std::unique_ptr<Backend> makeScriptedBackendFromEnvironment();
// The text of BRIGHTFOLD_UI_SCRIPT (empty when unset or unreadable) and the
// path of BRIGHTFOLD_UI_LOG, as makeScriptedBackendFromEnvironment reads them.
void readScriptEnvironment(std::string& text, std::string& logPath);

constexpr size_t kMaxScriptBytes = size_t(1) << 20;

}  // namespace platform::ui
