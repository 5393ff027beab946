// Helpers for the text library's tests: Palm Doc databases as bytes, a
// message box backend that records and answers, child processes with their
// standard error captured, and the paths of the built library and stand-in.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/ui.h"
#include "support/process.h"
#include "support/test_support.h"

namespace textlinktest {

struct DocDbSpec {
    std::string name;                // database name in the header
    std::vector<std::string> texts;  // one text record each, stored as given
    const char* type = "TEXt";
    const char* creator = "REAd";
    uint16_t recordSize = 4096;
    uint8_t compression = 1;  // 1: the texts are plain text; 2: token streams
};
// A whole Palm Doc database file: header, record list, record 0, records.
std::vector<uint8_t> makeDocDatabase(const DocDbSpec& spec);

std::string textOf(const std::string& path);  // a file's bytes as text ("" when missing)
std::string crlf(const std::string& lfText);  // line feeds as CR LF

// Records every message box ("caption: text") and answers from a list,
// then with the safe choice; records file choosers and answers them from a
// list, then cancels; records the resource of every dialog run (without
// running it: IdCancel).
class RecordingBackend : public platform::ui::Backend {
public:
    struct Shared {
        std::vector<std::string> boxes;
        std::vector<platform::ui::MessageBox> details;
        std::vector<platform::ui::Answer> answers;
        std::vector<platform::ui::FileChooser> choosers;
        std::vector<std::optional<std::string>> files;
        std::vector<int> dialogs;
    };
    explicit RecordingBackend(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    platform::ui::Answer messageBox(const platform::ui::MessageBox& box) override;
    std::optional<std::string> chooseFile(const platform::ui::FileChooser& chooser) override;
    int runDialog(platform::ui::Window owner, platform::ui::DialogController& controller) override;

private:
    std::shared_ptr<Shared> shared_;
};

// Installs a RecordingBackend for the scope; restores the default after.
class ScopedRecorder {
public:
    explicit ScopedRecorder(std::vector<platform::ui::Answer> answers = {});
    ~ScopedRecorder();
    const std::vector<std::string>& boxes() const { return shared_->boxes; }
    const std::vector<platform::ui::MessageBox>& details() const { return shared_->details; }
    const std::vector<platform::ui::FileChooser>& choosers() const { return shared_->choosers; }
    const std::vector<int>& dialogs() const { return shared_->dialogs; }
    // The answers of the next file choosers (nothing: cancelled).
    void answerChoosers(std::vector<std::optional<std::string>> files) { shared_->files = std::move(files); }

private:
    std::shared_ptr<RecordingBackend::Shared> shared_;
};

// Runs body in a forked child whose standard error goes to a file; the
// child's exit code (body's result, 255 when it did not end normally) and
// what it wrote to standard error.
struct ChildResult {
    int exitCode = -1;
    std::string stderrText;
};
ChildResult runInChild(const testsupport::TempDir& dir, const std::function<int()>& body);

// While it lives, every allocation through operator new of at least
// `smallest` bytes fails (std::bad_alloc), in this program and in the
// libraries it loaded: the way to run out of memory inside the real library.
class ScopedLargeAllocationFailure {
public:
    explicit ScopedLargeAllocationFailure(size_t smallest);
    ~ScopedLargeAllocationFailure();
    ScopedLargeAllocationFailure(const ScopedLargeAllocationFailure&) = delete;
    ScopedLargeAllocationFailure& operator=(const ScopedLargeAllocationFailure&) = delete;
};

// A program run with its output captured (support/process.h).
using testsupport::ProcessResult;
using testsupport::runProgram;

std::string textlinkPath();  // the built lib/libtextlink.so
std::string addinPath();     // the built bin/quillo-addin

}  // namespace textlinktest
