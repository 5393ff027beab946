#include "run_testing.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "foundation/hotsync_users.h"
#include "foundation/registry_access.h"
#include "installer/installation_run.h"
#include "installer/installer_places.h"
#include "platform/faults.h"
#include "platform/ui.h"
#include "platform/ui_script.h"

namespace fs = std::filesystem;

namespace testsupport {

RunSandbox::RunSandbox(const std::string& application)
    : hive_(dir.file("hive.reg")),
      home_("HOME", dir.file("home").c_str()),
      configHome_("XDG_CONFIG_HOME", dir.file("home/.config").c_str()),
      dataHome_("XDG_DATA_HOME", dir.file("home/.local/share").c_str()),
      systemDir_("BRIGHTFOLD_SYSTEM_DIR", dir.file("system").c_str()),
      log_(dir.file("ui.log")) {
    dist = dir.makeDir("dist");
    target = dir.file("Brightfold");
    desktop = dir.makeDir("home/Desktop");
    dir.makeDir("home/.config");
    system = dir.makeDir("system");
    writeFile(dist + "/setupwiz", std::string("setup program"));
    writeFile(dist + "/setup.inf", std::string("[Installation]\r\n"));
    state.programPath = dist + "/setupwiz";
    state.programFolder = dist + "/";
    state.script().application = application;
    state.script().applicationKeys = {application};
    answer("");
}

RunSandbox::~RunSandbox() {
    platform::ui::setBackend(nullptr);
    platform::faults::disarmAll();
}

installer::FileEntry& RunSandbox::file(int component, const std::string& fileName,
                                       const std::string& destination, bool present) {
    installer::FileEntry entry;
    entry.component = component;
    entry.fileName = fileName;
    entry.destination = destination;
    entry.selected = true;
    if (present && !fileName.empty()) writeFile(dist + "/" + fileName, "contents of " + fileName);
    std::vector<installer::FileEntry>& entries = state.script().entries;
    entries.push_back(std::move(entry));
    return entries.back();
}

int RunSandbox::component(const std::string& name, const std::string& fileName,
                          const std::string& destination, bool present) {
    int index = int(state.script().entries.size());
    installer::FileEntry& entry = file(index, fileName, destination, present);
    entry.name = name;
    entry.description = name + " component";
    loaded_ = state.script();
    return index;
}

std::string RunSandbox::palmDesktop() {
    std::string palm = dir.makeDir("palm");
    std::string text = palm;
    foundation::RegistryValue(installer::kPalmCoreKey, "Path", text);
    text = buildDir() + "/bin/hotsync";
    foundation::RegistryValue(installer::kPalmCoreKey, "HotSyncPath", text);
    std::string error;
    foundation::HotSyncUser ann{"Ann", palm + "/Ann", "1234"};
    EXPECT_TRUE(foundation::addUser(ann, error)) << error;
    return ann.folder;
}

void RunSandbox::answer(const std::string& answers) {
    std::ofstream(log_, std::ios::trunc).flush();
    platform::ui::setBackend(platform::ui::makeScriptedBackend(answers, log_));
}

std::vector<std::string> RunSandbox::boxes() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::optional<std::string> RunSandbox::install() {
    loaded_ = state.script();
    return installer::RunInstallation(state, dist, target, false);
}

std::optional<std::string> RunSandbox::uninstall() {
    installer::SetupState removal;
    removal.uninstallMode = true;
    removal.restartAllowed = false;
    removal.programPath = target + "/setupwiz";
    removal.programFolder = target + "/";
    removal.scripts[0] = loaded_;
    return installer::RunInstallation(removal, target, target, false);
}

std::vector<std::string> RunSandbox::hiveKeys() const {
    std::vector<std::string> keys;
    std::ifstream in(hive_.path());
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']')
            keys.push_back(line.substr(1, line.size() - 2));
    }
    return keys;
}

std::vector<std::string> RunSandbox::files() const {
    std::vector<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(dir.path())) {
        std::string path = fs::relative(item.path(), dir.path()).string();
        if (path.starts_with("hive.reg") || path == "ui.log") continue;
        found.push_back(item.is_directory() ? path + "/" : path);
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace testsupport
