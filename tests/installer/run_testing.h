// A sandbox for installation runs driven in memory: a private hive, a home
// with desktop and application-data folders, a system folder, a
// distribution folder with the setup program and "setup.inf", a script
// built entry by entry, and message boxes answered from a script and logged.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "installer/setup_state.h"
#include "support/test_support.h"

namespace testsupport {

class RunSandbox {
public:
    explicit RunSandbox(const std::string& application = "Tabulo");
    ~RunSandbox();

    TempDir dir;
    std::string dist;     // the distribution: setupwiz, setup.inf, component files
    std::string target;   // the install folder (made by the run)
    std::string desktop;  // the desktop folder
    std::string system;   // the system folder
    installer::SetupState state;

    // A component entry with its first file, written into the distribution
    // unless `present` is false; its index.
    int component(const std::string& name, const std::string& fileName, const std::string& destination = ".",
                  bool present = true);
    // A further file of a component.
    installer::FileEntry& file(int component, const std::string& fileName,
                               const std::string& destination = ".", bool present = true);
    installer::FileEntry& entry(int index) { return state.script().entries.at(size_t(index)); }

    // The Palm Desktop stand-in with one user "Ann" (ID 1234); the user folder.
    std::string palmDesktop();

    // The answers to the next boxes, one a line ("yes", "no", "ok", ...).
    void answer(const std::string& answers);
    // The boxes shown since the last answer(), "caption: text => answer" each.
    std::vector<std::string> boxes() const;

    std::optional<std::string> install();
    // An uninstall as the system's list starts it ("/d") from the copied
    // program, with the script as it was before the install's run.
    std::optional<std::string> uninstall();

    // Key paths of the hive (tree order) and the files under the sandbox,
    // relative, folders with a trailing "/" (the hive and the log left out).
    std::vector<std::string> hiveKeys() const;
    std::vector<std::string> files() const;

private:
    ScopedHive hive_;
    ScopedEnv home_, configHome_, dataHome_, systemDir_;
    std::string log_;
    installer::SetupScript loaded_;  // the script before any run appended to it
};

}  // namespace testsupport
