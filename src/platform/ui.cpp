// Message boxes: a headless backend (standard error, safe answers) and a
// scripted one (answers from a file, every box logged). They need no window
// system; their few OS calls are in ui_native.h.
#include "platform/ui.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

std::string describe(const MessageBox& box) { return oneLine(box.caption) + ": " + oneLine(box.text); }

class HeadlessBackend final : public Backend {
public:
    Answer messageBox(const MessageBox& box) override {
        native::writeStandardError(describe(box) + "\n");
        return safeAnswer(box.buttons);
    }
};

class ScriptedBackend final : public Backend {
public:
    ScriptedBackend() {
        if (const char* log = std::getenv("BRIGHTFOLD_UI_LOG"); log && *log) logPath_ = log;
        const char* script = std::getenv("BRIGHTFOLD_UI_SCRIPT");
        if (!script || !*script) return;
        std::string text;
        if (!native::readFile(script, size_t(1) << 20, text)) return;  // a script is a few lines
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string word;
            for (size_t i = start; i < end; ++i) {
                char c = text[i];
                if (c == ' ' || c == '\t' || c == '\r') continue;
                if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
                word += c;
            }
            if (!word.empty()) answers_.push_back(word);
            start = end + 1;
        }
    }

    Answer messageBox(const MessageBox& box) override {
        Answer answer = safeAnswer(box.buttons);
        if (next_ < answers_.size()) {
            const std::string& word = answers_[next_++];
            for (const AnswerName& n : kAnswerNames)
                if (word == n.name && offers(box.buttons, n.answer)) answer = n.answer;
        }
        if (!logPath_.empty()) native::appendToFile(logPath_, describe(box) + " => " + nameOf(answer) + "\n");
        return answer;
    }

private:
    std::vector<std::string> answers_;
    size_t next_ = 0;
    std::string logPath_;
};

std::unique_ptr<Backend> g_chosen;    // from BRIGHTFOLD_UI, made on first use
std::unique_ptr<Backend> g_replaced;  // set by setBackend

}  // namespace

Backend& currentBackend() {
    if (g_replaced) return *g_replaced;
    if (!g_chosen) {
        const char* kind = std::getenv("BRIGHTFOLD_UI");
        if (kind && std::string(kind) == "scripted")
            g_chosen = std::make_unique<ScriptedBackend>();
        else
            g_chosen = std::make_unique<HeadlessBackend>();  // no GUI backend yet
    }
    return *g_chosen;
}

Answer safeAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return IdOk;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return IdNo;
        case Buttons::OkCancel:
        case Buttons::RetryCancel:
            return IdCancel;
        case Buttons::AbortRetryIgnore:
            return IdAbort;  // stops, never repeats or skips
    }
    return IdCancel;
}

Answer messageBox(Window owner, std::string_view text, std::string_view caption, Buttons buttons, Icon icon) {
    MessageBox box;
    box.owner = owner;
    box.text = std::string(text);
    box.caption = std::string(caption);
    box.buttons = buttons;
    box.icon = icon;
    return currentBackend().messageBox(box);
}

void setBackend(std::unique_ptr<Backend> backend) { g_replaced = std::move(backend); }

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

}  // namespace platform::ui
