// Builders for the Palm Desktop side of setupwiz: a sandbox with a Palm
// Desktop installed (the HotSync Manager recorded as the build's hotsync
// program, with the Conduit Manager and install aide stand-ins beside it),
// HotSync users, and a ui backend that answers message boxes from a list and
// plays dialogs with a function.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog_model.h"
#include "platform/ui.h"
#include "support/test_support.h"

namespace palmtest {

std::string hotsyncProgram();  // the build's bin/hotsync

class PalmSandbox {
public:
    PalmSandbox();
    testsupport::TempDir dir;
    // Adds a HotSync user whose folder (with Backup and Install) lies in dir;
    // returns the folder.
    std::string addUser(const std::string& name, const std::string& id);
    // "HotSyncPath" under the Palm Desktop's Core key.
    void setHotSyncPath(const std::string& path);

private:
    testsupport::ScopedHive hive_;
};

// Answers message boxes from a list (then with Cancel) and records their
// texts; runs each dialog on a DialogModel with `play` (nothing: the dialog
// is closed as by Escape) and records its resource id. Installed for its
// lifetime.
class ScopedUi {
public:
    using Play = std::function<void(platform::ui::DialogModel&)>;
    explicit ScopedUi(std::vector<platform::ui::Answer> answers = {}, Play play = {});
    ~ScopedUi();
    ScopedUi(const ScopedUi&) = delete;
    ScopedUi& operator=(const ScopedUi&) = delete;

    struct Record {
        std::vector<platform::ui::Answer> answers;
        Play play;
        std::function<void()> afterBox;  // runs after each message box
        bool showDialogs = true;         // false: IdCancel without running them, as without a display
        std::vector<std::string> boxes;  // "caption: text"
        std::vector<int> dialogs;
    };
    Record& record() { return *record_; }

private:
    std::shared_ptr<Record> record_;
};

}  // namespace palmtest
