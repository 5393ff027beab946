// The scripted backend: one cursor over the script's lines, shared by message
// boxes, file choosers and dialogs (which may open one another), and a log
// line per event. Dialogs are played against a DialogModel.
#include "platform/ui_script.h"

#include <charconv>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_model.h"
#include "platform/ui_native.h"

namespace platform::ui {
namespace {

struct AnswerName {
    Answer answer;
    const char* name;
};
constexpr AnswerName kAnswerNames[] = {
    {IdOk, "ok"},         {IdCancel, "cancel"}, {IdAbort, "abort"}, {IdRetry, "retry"},
    {IdIgnore, "ignore"}, {IdYes, "yes"},       {IdNo, "no"},
};

const char* nameOf(Answer answer) {
    for (const AnswerName& n : kAnswerNames)
        if (n.answer == answer) return n.name;
    return "?";
}

std::optional<Answer> answerNamed(std::string_view word) {
    for (const AnswerName& n : kAnswerNames)
        if (word == n.name) return n.answer;
    return std::nullopt;
}

// The answers a box with these buttons can give.
bool offers(Buttons buttons, Answer answer) {
    switch (buttons) {
        case Buttons::Ok:
            return answer == IdOk;
        case Buttons::OkCancel:
            return answer == IdOk || answer == IdCancel;
        case Buttons::YesNo:
            return answer == IdYes || answer == IdNo;
        case Buttons::YesNoCancel:
            return answer == IdYes || answer == IdNo || answer == IdCancel;
        case Buttons::RetryCancel:
            return answer == IdRetry || answer == IdCancel;
        case Buttons::AbortRetryIgnore:
            return answer == IdAbort || answer == IdRetry || answer == IdIgnore;
    }
    return false;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string lower(std::string_view word) {
    std::string out(word);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

// Words of a command line, and the rest of the line for a text.
class Words {
public:
    explicit Words(std::string_view line) : rest_(line) {}
    // The next word, or empty at the end of the line.
    std::string_view next() {
        skipBlanks();
        size_t end = 0;
        while (end < rest_.size() && !isBlank(rest_[end])) ++end;
        std::string_view word = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return word;
    }
    // Everything after the blanks that follow the last word.
    std::string_view tail() {
        skipBlanks();
        std::string_view all = rest_;
        rest_ = {};
        return all;
    }
    bool atEnd() {
        skipBlanks();
        return rest_.empty();
    }

private:
    void skipBlanks() {
        while (!rest_.empty() && isBlank(rest_.front())) rest_.remove_prefix(1);
    }
    std::string_view rest_;
};

std::string firstWord(std::string_view line) { return lower(Words(line).next()); }

// A text of the script: \n is a line feed, \\ a backslash; any other
// backslash stands for itself.
std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            out += text[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The inverse, for texts the log quotes.
std::string escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

std::string quoted(std::string_view text) { return "\"" + escape(text) + "\""; }

// A decimal int: an optional '-' and digits, nothing else, no overflow.
std::optional<int> parseNumber(std::string_view word) {
    int value = 0;
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, value);
    if (word.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::optional<bool> parseYesNo(std::string_view word) {
    std::string w = lower(word);
    if (w == "yes") return true;
    if (w == "no") return false;
    return std::nullopt;
}

const char* yesNo(bool on) { return on ? "yes" : "no"; }

bool isList(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::ListBox ||
           kind == ControlKind::ListView || kind == ControlKind::CheckList;
}

bool hasText(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
        case ControlKind::Edit:
        case ControlKind::Button:
        case ControlKind::DefaultButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
        case ControlKind::GroupBox:
            return true;
        default:
            return false;
    }
}

// The words that begin a command other than an answer.
bool isCommandWord(std::string_view word) {
    static constexpr const char* kWords[] = {"dialog", "file",   "click",  "type", "select",  "dblclick",
                                             "check",  "scroll", "expect", "end",  "snapshot"};
    for (const char* w : kWords)
        if (word == w) return true;
    return false;
}

// A command's outcome: empty when it ran, else why it failed.
using Failure = std::optional<std::string>;

Failure refused(ActionResult result) {
    if (result == ActionResult::Done) return std::nullopt;
    return std::string(describe(result));
}

Failure badWord(std::string_view what, std::string_view word) {
    return std::string(what) + " \"" + std::string(word) + "\"";
}

}  // namespace

struct ScriptPlayer::Line {
    int number = 0;    // in the file, from 1
    std::string text;  // without the line end and the blanks around it
    std::string word;  // the first word, in lower case
};

ScriptPlayer::ScriptPlayer(std::string_view script, std::string logPath) : logPath_(std::move(logPath)) {
    int number = 0;
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string_view::npos) end = script.size();
        std::string_view text = script.substr(start, end - start);
        ++number;
        start = end + 1;
        while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
        while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
        if (text.empty() || text.front() == '#') continue;
        lines_.push_back({number, std::string(text), firstWord(text)});
    }
}

Answer ScriptPlayer::answer(const MessageBox& box) {
    Answer answer = safeAnswer(box.buttons);
    bool answered = false;
    if (const Line* line = peek()) {
        bool oneWord = line->word.size() == line->text.size();
        std::optional<Answer> named = oneWord ? answerNamed(line->word) : std::nullopt;
        // Inside a dialog only an answer word answers a box; outside one
        // any line but a command does, as message-box-only scripts expect.
        if (named || (playing_ == 0 && !isCommandWord(line->word))) {
            ++next_;
            answered = true;
            if (named && offers(box.buttons, *named)) answer = *named;
        }
    }
    bool silent = answered || (playing_ == 0 && !peek());
    log(oneLine(box.caption) + ": " + oneLine(box.text) + " => " + nameOf(answer) +
        (silent ? "" : " (no answer line)"));
    return answer;
}

std::optional<std::string> ScriptPlayer::chooseFile(const FileChooser& chooser) {
    static constexpr const char* kKinds[] = {"open", "save", "folder"};
    size_t kind = static_cast<size_t>(chooser.kind);
    std::string head = std::string(kind < 3 ? kKinds[kind] : "open") + " " + quoted(chooser.initialPath);
    const Line* line = peek();
    if (!line || line->word != "file") {
        log(head + " => cancel (no file line)");
        return std::nullopt;
    }
    ++next_;
    Words words(line->text);
    words.next();
    std::string path = unescape(words.tail());
    if (path.empty()) {
        log(head + " => cancel (FAIL line " + std::to_string(line->number) +
            ": file needs a path or cancel)");
        return std::nullopt;
    }
    if (lower(path) == "cancel") {
        log(head + " => cancel");
        return std::nullopt;
    }
    log(head + " => " + oneLine(path));
    return path;
}

int ScriptPlayer::runDialog(const DialogSpec& spec, ScriptedDialog& dialog,
                            const std::function<void()>& open) {
    ++playing_;
    // The dialog's section begins at a "dialog" line naming it; a dialog
    // without one is closed as soon as it opened.
    const Line* section = nullptr;
    Failure failure;
    if (const Line* line = peek(); line && line->word == "dialog") {
        ++next_;
        section = line;
        Words words(line->text);
        words.next();
        std::string_view idWord = words.next();
        std::optional<int> id = parseNumber(idWord);
        if (!id || !words.atEnd())
            failure = badWord("bad dialog id", idWord);
        else if (*id != spec.resourceId)
            failure = "dialog " + std::to_string(spec.resourceId) + " opened";
        if (failure) skipSection();
    }
    open();
    log("dialog " + std::to_string(spec.resourceId) + " \"" + oneLine(dialog.view().caption()) + "\" opened");
    if (failure)
        logFailure(*section, *failure);
    else if (section)
        play(dialog);
    if (!dialog.ended()) dialog.close();
    log("dialog " + std::to_string(spec.resourceId) + " closed " + std::to_string(dialog.result()));
    --playing_;
    return dialog.result();
}

const ScriptPlayer::Line* ScriptPlayer::peek() const {
    return next_ < lines_.size() ? &lines_[next_] : nullptr;
}

// Moves past the rest of a section, to the next "dialog" line.
void ScriptPlayer::skipSection() {
    while (next_ < lines_.size() && lines_[next_].word != "dialog") ++next_;
}

void ScriptPlayer::log(const std::string& line) {
    if (!logPath_.empty()) native::appendToFile(logPath_, line + "\n");
}

void ScriptPlayer::logFailure(const Line& line, const std::string& reason) {
    log(line.text + " FAIL line " + std::to_string(line.number) + ": " + reason);
}

// Runs the section's commands until the dialog ends, a command fails, or
// the section ends (the script's end or the next "dialog" line).
void ScriptPlayer::play(ScriptedDialog& model) {
    while (!model.ended()) {
        const Line* line = peek();
        if (!line || line->word == "dialog") return;
        ++next_;
        Failure failure = run(model, *line);
        if (failure) {
            logFailure(*line, *failure);
            skipSection();
            return;
        }
        log(line->text + " ok");
    }
}

std::optional<std::string> ScriptPlayer::run(ScriptedDialog& model, const Line& line) {
    Words words(line.text);
    std::string command = lower(words.next());
    if (answerNamed(command)) return "no message box to answer";
    if (command == "file") return "no file chooser to answer";
    if (command == "end") {
        if (!words.atEnd()) return badWord("unexpected", words.next());
        model.close();
        return std::nullopt;
    }
    if (command == "snapshot") {
        std::string path = unescape(words.tail());
        if (path.empty()) return std::string("snapshot needs a file name");
        return model.snapshot(path);
    }
    if (!isCommandWord(command) || command == "dialog") return badWord("unknown command", command);
    std::string_view idWord = words.next();
    std::optional<int> id = parseNumber(idWord);
    if (!id) return badWord("bad control id", idWord);
    if (command == "type") return refused(model.type(*id, unescape(words.tail())));
    if (command == "expect") {
        std::string property = lower(words.next());
        return expect(model, *id, property, words.tail());
    }
    // The rest take words only.
    std::vector<std::string_view> args;
    while (!words.atEnd()) args.push_back(words.next());
    auto number = [&](size_t i) { return i < args.size() ? parseNumber(args[i]) : std::nullopt; };
    auto arity = [&](size_t n) -> Failure {
        if (args.size() == n) return std::nullopt;
        return args.size() < n ? Failure("missing argument") : badWord("unexpected", args[n]);
    };
    if (command == "click") {
        if (Failure f = arity(0)) return f;
        return refused(model.click(*id));
    }
    if (command == "select" || command == "dblclick") {
        if (Failure f = arity(1)) return f;
        std::optional<int> index = number(0);
        if (!index) return badWord("bad index", args[0]);
        return refused(command == "select" ? model.choose(*id, *index) : model.doubleClick(*id, *index));
    }
    if (command == "check") {
        if (Failure f = arity(2)) return f;
        std::optional<int> index = number(0);
        if (!index) return badWord("bad index", args[0]);
        if (args[1] != "0" && args[1] != "1") return badWord("bad check state", args[1]);
        return refused(model.checkItem(*id, *index, args[1] == "1"));
    }
    if (command == "scroll") {
        if (Failure f = arity(1)) return f;
        static constexpr std::pair<const char*, Scroll> kScrolls[] = {
            {"lineup", Scroll::LineUp},     {"linedown", Scroll::LineDown}, {"pageup", Scroll::PageUp},
            {"pagedown", Scroll::PageDown}, {"top", Scroll::Top},           {"bottom", Scroll::Bottom}};
        std::string how = lower(args[0]);
        for (const auto& [name, scroll] : kScrolls)
            if (how == name) return refused(model.scroll(*id, scroll));
        return badWord("bad scroll", args[0]);
    }
    return badWord("unknown command", command);
}

std::optional<std::string> ScriptPlayer::expect(ScriptedDialog& dialog, int id, const std::string& property,
                                                std::string_view value) {
    const DialogView& model = dialog.view();
    auto mismatch = [&](const std::string& actual) -> Failure { return property + " is " + actual; };
    if (property == "caption") {
        if (id != 0) return std::string("caption belongs to the dialog (0)");
        std::string caption = model.caption();
        return caption == unescape(value) ? std::nullopt : mismatch(quoted(caption));
    }
    if (!dialog.has(id)) return std::string(describe(ActionResult::NoSuchControl));
    ControlKind kind = dialog.kind(id);
    auto wrongKind = [&]() -> Failure { return "control has no " + property; };

    if (property == "text") {
        if (!hasText(kind)) return wrongKind();
        std::string text = model.text(id);
        return text == unescape(value) ? std::nullopt : mismatch(quoted(text));
    }
    if (property == "items") {
        if (!isList(kind)) return wrongKind();
        std::string joined;
        for (int i = 0; i < model.itemCount(id); ++i) joined += (i ? "|" : "") + model.itemText(id, i);
        return joined == unescape(value) ? std::nullopt : mismatch(quoted(joined));
    }
    if (property == "selected") {
        if (!isList(kind)) return wrongKind();
        std::optional<int> expected = parseNumber(value);
        if (!expected) return badWord("bad index", value);
        int selected = model.selected(id);
        return selected == *expected ? std::nullopt : mismatch(std::to_string(selected));
    }
    // INDEX:VALUE forms: an item's check mark, enabled state or image.
    size_t colon = value.find(':');
    std::optional<int> index;
    if (colon != std::string_view::npos) {
        index = parseNumber(value.substr(0, colon));
        if (!index) return badWord("bad index", value.substr(0, colon));
        value.remove_prefix(colon + 1);
    }
    auto badItem = [&]() -> Failure {
        if (*index >= 0 && *index < model.itemCount(id)) return std::nullopt;
        return std::string(describe(ActionResult::BadIndex));
    };
    std::string prefix = index ? std::to_string(*index) + ":" : "";
    if (property == "image") {
        if (kind != ControlKind::ListView) return wrongKind();
        if (!index) return badWord("bad image, want INDEX:IMAGE", value);
        std::optional<int> expected = parseNumber(value);
        if (!expected) return badWord("bad image", value);
        if (Failure f = badItem()) return f;
        int image = model.itemImage(id, *index);
        return image == *expected ? std::nullopt : mismatch(prefix + std::to_string(image));
    }
    if (property != "enabled" && property != "visible" && property != "checked")
        return badWord("unknown property", property);
    std::optional<bool> expected = parseYesNo(value);
    if (!expected) return badWord("bad value, want yes or no", value);
    bool actual = false;
    if (index) {
        if (kind != ControlKind::CheckList || property == "visible") return wrongKind();
        if (Failure f = badItem()) return f;
        actual = property == "checked" ? model.itemChecked(id, *index) : model.itemEnabled(id, *index);
    } else if (property == "checked") {
        if (kind != ControlKind::CheckBox && kind != ControlKind::RadioButton) return wrongKind();
        actual = model.checked(id);
    } else {
        actual = property == "enabled" ? model.enabled(id) : model.visible(id);
    }
    return actual == *expected ? std::nullopt : mismatch(prefix + yesNo(actual));
}

ScriptPlayer::~ScriptPlayer() = default;

namespace {

// The scripted backend's dialogs: the script drives a DialogModel.
class ModelDialog final : public ScriptedDialog {
public:
    ModelDialog(const DialogSpec& spec, DialogController& controller, Window owner)
        : model_(spec, controller, owner) {}
    DialogModel& model() { return model_; }
    DialogView& view() override { return model_; }
    bool has(int id) const override { return model_.has(id); }
    ControlKind kind(int id) const override { return model_.kind(id); }
    ActionResult click(int id) override { return model_.click(id); }
    ActionResult type(int id, std::string_view text) override { return model_.type(id, text); }
    ActionResult choose(int id, int index) override { return model_.choose(id, index); }
    ActionResult doubleClick(int id, int index) override { return model_.doubleClick(id, index); }
    ActionResult checkItem(int id, int index, bool on) override { return model_.checkItem(id, index, on); }
    ActionResult scroll(int id, Scroll how) override { return model_.scroll(id, how); }
    void close() override { model_.close(); }
    bool ended() const override { return model_.ended(); }
    int result() const override { return model_.result(); }

private:
    DialogModel model_;
};

class ScriptedBackend final : public Backend {
public:
    ScriptedBackend(std::string_view script, std::string logPath) : player_(script, std::move(logPath)) {}
    Answer messageBox(const MessageBox& box) override { return player_.answer(box); }
    std::optional<std::string> chooseFile(const FileChooser& chooser) override {
        return player_.chooseFile(chooser);
    }
    int runDialog(Window owner, DialogController& controller) override {
        ModelDialog dialog(controller.spec(), controller, owner);
        return player_.runDialog(controller.spec(), dialog, [&] { dialog.model().open(); });
    }

private:
    ScriptPlayer player_;
};

}  // namespace

std::unique_ptr<Backend> makeScriptedBackend(std::string_view script, std::string logPath) {
    return std::make_unique<ScriptedBackend>(script, std::move(logPath));
}

std::unique_ptr<Backend> makeScriptedBackendFromEnvironment() {
    std::string logPath, text;
    readScriptEnvironment(text, logPath);
    return makeScriptedBackend(text, std::move(logPath));
}

void readScriptEnvironment(std::string& text, std::string& logPath) {
    logPath.clear();
    text.clear();
    if (const char* log = std::getenv("BRIGHTFOLD_UI_LOG"); log && *log) logPath = log;
    const char* script = std::getenv("BRIGHTFOLD_UI_SCRIPT");
    if (script && *script && native::readFile(script, kMaxScriptBytes, text) &&
        text.size() > kMaxScriptBytes) {
        // A longer script is cut after its last whole line within the limit.
        size_t end = text.rfind('\n', kMaxScriptBytes - 1);
        text.resize(end == std::string::npos ? 0 : end + 1);
    }
}

}  // namespace platform::ui
