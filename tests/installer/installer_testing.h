// One sandbox for every installer test: a private hive, HOME and the XDG
// folders, a system folder and an install folder inside a temporary folder;
// a distribution folder with setup.inf, license.txt and the component files
// of a script built entry by entry; a Palm Desktop whose HotSync Manager is
// the build's hotsync stand-in, with users; and the scripted ui, in this
// process or for the real setupwiz, with its log.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "installer/setup_state.h"
#include "support/process.h"
#include "support/test_support.h"

namespace installer_testing {

std::string binary(const std::string& name);  // the build's bin/<name>

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    testsupport::TempDir dir;
    std::string dist;     // the distribution: setupwiz, setup.inf, license.txt, component files
    std::string target;   // the install folder ("Brightfold", not made)
    std::string home;     // HOME, with Desktop
    std::string desktop;  // the desktop folder
    std::string system;   // BRIGHTFOLD_SYSTEM_DIR
    installer::SetupState state;

    std::string writeDist(std::string_view name, std::string_view text) const;  // its path

    // A component entry with its first file, written into the distribution
    // unless `present` is false; its index. file() adds a further file.
    int component(const std::string& name, const std::string& fileName, const std::string& destination = ".",
                  bool present = true);
    installer::FileEntry& file(int component, const std::string& fileName,
                               const std::string& destination = ".", bool present = true);
    installer::FileEntry& entry(int index) { return state.script().entries.at(size_t(index)); }

    // The Palm Desktop ("Path" the folder palm, "HotSyncPath" bin/hotsync)
    // and its users, each with a folder palm/<name> holding Backup and
    // Install (returned).
    void palmDesktop();
    std::string addUser(const std::string& name, const std::string& id);

    void setValue(const std::string& keyPath, const std::string& name, const std::string& text) const;
    std::string value(const std::string& keyPath, const std::string& name) const;

    // In this process: the scripted ui plays `script` (answer lines,
    // dialog sections); afterBox runs after each message box.
    void answer(const std::string& script);
    std::function<void()> afterBox;
    // The ui log since the last answer() or run(), whole and by lines.
    std::string log() const;
    std::vector<std::string> boxes() const;

    // The run of `state` into target, and an uninstall as the system's list
    // starts it ("/d") from the copied program with the script as the
    // install loaded it.
    std::optional<std::string> install();
    std::optional<std::string> uninstall();

    // The real setupwiz (the distribution's copy unless another is named)
    // with its arguments and ui script, in the sandbox's environment.
    testsupport::ProcessResult run(const std::vector<std::string>& args, std::string_view uiScript,
                                   const std::string& setupwiz = "");
    std::vector<std::pair<std::string, std::string>> environment() const;

    // Key paths of the hive (file order) and the files under the sandbox,
    // relative, folders with a trailing "/" (hive and ui files left out).
    std::vector<std::string> hiveKeys() const;
    std::vector<std::string> files() const;

private:
    testsupport::ScopedHive hive_;
    testsupport::ScopedEnv home_, configHome_, dataHome_, systemDir_;
    std::string script_, log_;
    installer::SetupScript loaded_;  // the script before any run appended to it
};

}  // namespace installer_testing
