// Message boxes: the headless line on standard error, safe answers, the
// scripted backend, and backends set by tests.
#include "platform/ui.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/test_support.h"

namespace ui = platform::ui;

namespace {

std::string fileText(const std::string& path) {
    std::vector<uint8_t> bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// Runs f with standard error sent to a file and returns what was written.
template <typename F>
std::string captureStderr(F&& f) {
    testsupport::TempDir dir;
    std::string path = dir.file("stderr");
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int saved = dup(2);
    dup2(fd, 2);
    close(fd);
    f();
    dup2(saved, 2);
    close(saved);
    return fileText(path);
}

class Recorder : public ui::Backend {
public:
    explicit Recorder(std::vector<ui::MessageBox>* seen) : seen_(seen) {}
    ui::Answer messageBox(const ui::MessageBox& box) override {
        seen_->push_back(box);
        return ui::IdRetry;
    }

private:
    std::vector<ui::MessageBox>* seen_;
};

}  // namespace

TEST(MessageBoxes, SafeAnswers) {
    EXPECT_EQ(ui::safeAnswer(ui::Buttons::Ok), ui::IdOk);
    EXPECT_EQ(ui::safeAnswer(ui::Buttons::OkCancel), ui::IdCancel);
    EXPECT_EQ(ui::safeAnswer(ui::Buttons::YesNo), ui::IdNo);
    EXPECT_EQ(ui::safeAnswer(ui::Buttons::YesNoCancel), ui::IdNo);
    EXPECT_EQ(ui::safeAnswer(ui::Buttons::RetryCancel), ui::IdCancel);
    EXPECT_EQ(ui::safeAnswer(ui::Buttons::AbortRetryIgnore), ui::IdAbort);
    EXPECT_EQ(ui::IdOk, 1);
    EXPECT_EQ(ui::IdNo, 7);
    EXPECT_EQ(ui::oneLine("a\nb\n"), "a\\nb\\n");
    EXPECT_EQ(ui::focusWindow(), nullptr);
}

TEST(MessageBoxes, HeadlessWritesOneLineAndTakesTheSafeChoice) {
    if (testsupport::inChild()) GTEST_SKIP();
    ui::Answer answer = ui::IdOk;
    std::string err = captureStderr([&] {
        ui::messageBox(nullptr, "Tabulo is not installed properly", "Error", ui::Buttons::Ok,
                       ui::Icon::Error);
        answer = ui::messageBox(nullptr, "Replace the file\nBudget.xls?", "Sync Manager", ui::Buttons::YesNo,
                                ui::Icon::Question);
    });
    EXPECT_EQ(err, "Error: Tabulo is not installed properly\nSync Manager: Replace the file\\nBudget.xls?\n");
    EXPECT_EQ(answer, ui::IdNo);
}

TEST(MessageBoxes, TestBackendReplacesAndRestores) {
    std::vector<ui::MessageBox> seen;
    ui::setBackend(std::make_unique<Recorder>(&seen));
    int marker = 0;
    EXPECT_EQ(ui::messageBox(&marker, "text", "caption", ui::Buttons::RetryCancel, ui::Icon::Warning),
              ui::IdRetry);
    ui::setBackend(nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].owner, &marker);
    EXPECT_EQ(seen[0].text, "text");
    EXPECT_EQ(seen[0].caption, "caption");
    EXPECT_EQ(seen[0].buttons, ui::Buttons::RetryCancel);
    EXPECT_EQ(seen[0].icon, ui::Icon::Warning);
    std::string err = captureStderr([] { ui::messageBox(nullptr, "back", "Headless"); });
    if (!testsupport::inChild()) {
        EXPECT_EQ(err, "Headless: back\n");
    }
}

TEST(MessageBoxes, ScriptedAnswersAndLogChild) {
    TESTSUPPORT_CHILD_ONLY();
    std::string err = captureStderr([] {
        EXPECT_EQ(ui::messageBox(nullptr, "Overwrite?", "Q1", ui::Buttons::YesNo), ui::IdYes);
        // "retry" is no button of a Yes/No box: the safe choice is taken.
        EXPECT_EQ(ui::messageBox(nullptr, "Delete?", "Q2", ui::Buttons::YesNo), ui::IdNo);
        EXPECT_EQ(ui::messageBox(nullptr, "two\nlines", "Q3", ui::Buttons::YesNoCancel), ui::IdCancel);
        EXPECT_EQ(ui::messageBox(nullptr, "Again?", "Q4", ui::Buttons::AbortRetryIgnore), ui::IdIgnore);
        // The script has run out.
        EXPECT_EQ(ui::messageBox(nullptr, "Sure?", "Q5", ui::Buttons::OkCancel), ui::IdCancel);
    });
    EXPECT_EQ(err, "");  // the scripted backend writes only its log
}

TEST(MessageBoxes, ScriptedBackendFromEnvironment) {
    if (testsupport::inChild()) GTEST_SKIP();
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("script"), "YES\r\nretry\n\n  cancel \nignore\n");
    int rc = testsupport::runTestInChild("MessageBoxes.ScriptedAnswersAndLogChild",
                                         {{"BRIGHTFOLD_UI", "scripted"},
                                          {"BRIGHTFOLD_UI_SCRIPT", dir.file("script")},
                                          {"BRIGHTFOLD_UI_LOG", dir.file("log")}});
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(fileText(dir.file("log")),
              "Q1: Overwrite? => yes\n"
              "Q2: Delete? => no\n"
              "Q3: two\\nlines => cancel\n"
              "Q4: Again? => ignore\n"
              "Q5: Sure? => cancel\n");
}
