// The real bin/setupwiz run in a sandbox: a private hive (BRIGHTFOLD_HIVE),
// HOME and the XDG folders inside the sandbox, and a distribution folder
// holding a copy of setupwiz beside its setup.inf, license.txt and component
// files. Dialogs are played by the scripted backend; its log is kept.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/process.h"
#include "support/test_support.h"

namespace installer_testing {

class SetupwizSandbox {
public:
    SetupwizSandbox();

    testsupport::TempDir dir;
    std::string distFolder;    // the distribution, with the copy of setupwiz
    std::string home;          // HOME
    std::string systemFolder;  // BRIGHTFOLD_SYSTEM_DIR

    // Writes a file into the distribution folder; returns its path.
    std::string writeDist(std::string_view name, std::string_view text) const;
    // setup.inf and a licence that can be accepted, in one call.
    void writeDistribution(std::string_view setupInf, std::string_view licence = "Terms.\n") const;
    std::string program() const;  // the distribution's setupwiz

    // Runs a setupwiz (the distribution's copy unless another is named) with
    // its arguments and a dialog script; the ui log of this run is log().
    testsupport::ProcessResult run(const std::vector<std::string>& args, std::string_view uiScript,
                                   const std::string& setupwiz = "");
    std::string log() const;
    // The environment a run gets (hive, HOME, XDG folders, scripted ui).
    std::vector<std::pair<std::string, std::string>> environment() const;

    // The hive, through the same routines as the program (HKEY_CURRENT_USER
    // unless the key path names HKEY_LOCAL_MACHINE).
    void setValue(const std::string& keyPath, const std::string& name, const std::string& text) const;
    std::string value(const std::string& keyPath, const std::string& name) const;
    bool keyExists(const std::string& keyPath) const;

private:
    testsupport::ScopedHive hive_;
    std::string script_, log_;
};

}  // namespace installer_testing
