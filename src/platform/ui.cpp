// Message boxes on Linux: a headless backend (standard error, safe answers)
// and a scripted one (answers from a file, every box logged).
#include "platform/ui.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform::ui {
namespace {

struct AnswerName { Answer answer; const char* name; };
constexpr AnswerName kAnswerNames[] = {
    {IdOk, "ok"},       {IdCancel, "cancel"}, {IdAbort, "abort"}, {IdRetry, "retry"},
    {IdIgnore, "ignore"}, {IdYes, "yes"},     {IdNo, "no"},
};

const char* nameOf(Answer answer) {
    for (const AnswerName& n : kAnswerNames)
        if (n.answer == answer) return n.name;
    return "?";
}

// The answers a box with these buttons can give.
bool offers(Buttons buttons, Answer answer) {
    switch (buttons) {
    case Buttons::Ok: return answer == IdOk;
    case Buttons::OkCancel: return answer == IdOk || answer == IdCancel;
    case Buttons::YesNo: return answer == IdYes || answer == IdNo;
    case Buttons::YesNoCancel: return answer == IdYes || answer == IdNo || answer == IdCancel;
    case Buttons::RetryCancel: return answer == IdRetry || answer == IdCancel;
    case Buttons::AbortRetryIgnore: return answer == IdAbort || answer == IdRetry || answer == IdIgnore;
    }
    return false;
}

// Writes all bytes to a descriptor, retrying short writes.
void writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

std::string describe(const MessageBox& box) { return oneLine(box.caption) + ": " + oneLine(box.text); }

class HeadlessBackend final : public Backend {
public:
    Answer messageBox(const MessageBox& box) override {
        writeAll(STDERR_FILENO, describe(box) + "\n");
        return safeAnswer(box.buttons);
    }
};

class ScriptedBackend final : public Backend {
public:
    ScriptedBackend() {
        if (const char* log = std::getenv("BRIGHTFOLD_UI_LOG"); log && *log) logPath_ = log;
        const char* script = std::getenv("BRIGHTFOLD_UI_SCRIPT");
        if (!script || !*script) return;
        int fd = ::open(script, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        std::string text;
        char buffer[4096];
        for (;;) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            text.append(buffer, size_t(n));
            if (text.size() > (1u << 20)) break;  // a script is a few lines
        }
        ::close(fd);
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
        if (!logPath_.empty()) {
            int fd = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
            if (fd >= 0) {
                writeAll(fd, describe(box) + " => " + nameOf(answer) + "\n");
                ::close(fd);
            }
        }
        return answer;
    }

private:
    std::vector<std::string> answers_;
    size_t next_ = 0;
    std::string logPath_;
};

std::unique_ptr<Backend> g_chosen;    // from BRIGHTFOLD_UI, made on first use
std::unique_ptr<Backend> g_replaced;  // set by setBackend

Backend& currentBackend() {
    if (g_replaced) return *g_replaced;
    if (!g_chosen) {
        const char* kind = std::getenv("BRIGHTFOLD_UI");
        if (kind && std::string(kind) == "scripted") g_chosen = std::make_unique<ScriptedBackend>();
        else g_chosen = std::make_unique<HeadlessBackend>();  // no GUI backend yet
    }
    return *g_chosen;
}

}  // namespace

Answer safeAnswer(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok: return IdOk;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return IdNo;
    case Buttons::OkCancel:
    case Buttons::RetryCancel: return IdCancel;
    case Buttons::AbortRetryIgnore: return IdAbort;  // stops, never repeats or skips
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

Window focusWindow() { return nullptr; }

void setBackend(std::unique_ptr<Backend> backend) { g_replaced = std::move(backend); }

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

}  // namespace platform::ui
