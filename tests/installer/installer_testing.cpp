#include "installer_testing.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "foundation/hotsync_users.h"
#include "foundation/registry_access.h"
#include "installer/installation_run.h"
#include "installer/installer_places.h"
#include "installer/registry_lookup.h"
#include "platform/faults.h"
#include "platform/ui.h"
#include "platform/ui_script.h"

namespace fs = std::filesystem;
namespace ui = platform::ui;

namespace installer_testing {

std::string binary(const std::string& name) { return testsupport::buildDir() + "/bin/" + name; }

namespace {

// The scripted backend, with a hook after each message box.
class HookedBackend : public ui::Backend {
public:
    HookedBackend(std::unique_ptr<ui::Backend> inner, const std::function<void()>& after)
        : inner_(std::move(inner)), after_(after) {}
    ui::Answer messageBox(const ui::MessageBox& box) override {
        ui::Answer answer = inner_->messageBox(box);
        if (after_) after_();
        return answer;
    }
    int runDialog(ui::Window owner, ui::DialogController& controller) override {
        return inner_->runDialog(owner, controller);
    }
    std::optional<std::string> chooseFile(const ui::FileChooser& chooser) override {
        return inner_->chooseFile(chooser);
    }

private:
    std::unique_ptr<ui::Backend> inner_;
    const std::function<void()>& after_;
};

}  // namespace

Sandbox::Sandbox()
    : dist(dir.makeDir("dist")),
      target(dir.file("Brightfold")),
      home(dir.makeDir("home")),
      desktop(dir.makeDir("home/Desktop")),
      system(dir.makeDir("system")),
      hive_(dir.file("hive.reg")),
      home_("HOME", home.c_str()),
      configHome_("XDG_CONFIG_HOME", dir.makeDir("home/.config").c_str()),
      dataHome_("XDG_DATA_HOME", dir.file("home/.local/share").c_str()),
      systemDir_("BRIGHTFOLD_SYSTEM_DIR", system.c_str()),
      script_(dir.file("ui.script")),
      log_(dir.file("ui.log")) {
    writeDist("setupwiz", "setup program");  // the real one is copied for run()
    writeDist("setup.inf", "[Installation]\r\n");
    writeDist("license.txt", "Terms.\n");
    state.programPath = dist + "/setupwiz";
    state.programFolder = dist + "/";
    state.script().application = "Tabulo";
    state.script().applicationKeys = {"Tabulo"};
    answer("");
}

Sandbox::~Sandbox() {
    ui::setBackend(nullptr);
    platform::faults::disarmAll();
}

std::string Sandbox::writeDist(std::string_view name, std::string_view text) const {
    std::string path = dist + "/" + std::string(name);
    testsupport::writeFile(path, text);
    return path;
}

installer::FileEntry& Sandbox::file(int component, const std::string& fileName,
                                    const std::string& destination, bool present) {
    installer::FileEntry entry;
    entry.component = component;
    entry.fileName = fileName;
    entry.destination = destination;
    entry.selected = true;
    if (present && !fileName.empty()) writeDist(fileName, "contents of " + fileName);
    std::vector<installer::FileEntry>& entries = state.script().entries;
    entries.push_back(std::move(entry));
    return entries.back();
}

int Sandbox::component(const std::string& name, const std::string& fileName, const std::string& destination,
                       bool present) {
    int index = int(state.script().entries.size());
    installer::FileEntry& entry = file(index, fileName, destination, present);
    entry.name = name;
    entry.description = name + " component";
    loaded_ = state.script();
    return index;
}

void Sandbox::palmDesktop() {
    setValue(std::string(installer::kPalmCoreKey), "Path", dir.makeDir("palm"));
    setValue(std::string(installer::kPalmCoreKey), "HotSyncPath", binary("hotsync"));
}

std::string Sandbox::addUser(const std::string& name, const std::string& id) {
    const std::string folder = dir.makeDir("palm") + "/" + name;
    std::string error;
    EXPECT_TRUE(foundation::addUser({name, folder, id}, error)) << error;
    return folder;
}

void Sandbox::setValue(const std::string& keyPath, const std::string& name, const std::string& text) const {
    std::string value = text;
    foundation::RegistryValue(keyPath, name, value);
}

std::string Sandbox::value(const std::string& keyPath, const std::string& name) const {
    return installer::lookupText(keyPath, name);
}

void Sandbox::answer(const std::string& script) {
    std::ofstream(log_, std::ios::trunc).flush();
    ui::setBackend(std::make_unique<HookedBackend>(ui::makeScriptedBackend(script, log_), afterBox));
}

std::string Sandbox::log() const {
    std::error_code ignored;
    if (!fs::exists(log_, ignored)) return {};
    std::vector<uint8_t> bytes = testsupport::readFile(log_);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Sandbox::boxes() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::optional<std::string> Sandbox::install() {
    loaded_ = state.script();
    return installer::RunInstallation(state, dist, target, false);
}

std::optional<std::string> Sandbox::uninstall() {
    installer::SetupState removal;
    removal.uninstallMode = true;
    removal.restartAllowed = false;
    removal.programPath = target + "/setupwiz";
    removal.programFolder = target + "/";
    removal.scripts[0] = loaded_;
    return installer::RunInstallation(removal, target, target, false);
}

testsupport::ProcessResult Sandbox::run(const std::vector<std::string>& args, std::string_view uiScript,
                                        const std::string& setupwiz) {
    if (setupwiz.empty() && fs::file_size(dist + "/setupwiz") < 100)
        fs::copy_file(binary("setupwiz"), dist + "/setupwiz", fs::copy_options::overwrite_existing);
    testsupport::writeFile(script_, uiScript);
    std::error_code ignored;
    fs::remove(log_, ignored);
    return testsupport::runProgram(setupwiz.empty() ? dist + "/setupwiz" : setupwiz, args, environment());
}

std::vector<std::pair<std::string, std::string>> Sandbox::environment() const {
    return {{"BRIGHTFOLD_HIVE", hive_.path()},      {"HOME", home},
            {"XDG_CONFIG_HOME", home + "/.config"}, {"XDG_DATA_HOME", home + "/.local/share"},
            {"BRIGHTFOLD_SYSTEM_DIR", system},      {"BRIGHTFOLD_UI", "scripted"},
            {"BRIGHTFOLD_UI_SCRIPT", script_},      {"BRIGHTFOLD_UI_LOG", log_}};
}

std::vector<std::string> Sandbox::hiveKeys() const {
    std::vector<std::string> keys;
    std::ifstream in(hive_.path());
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']')
            keys.push_back(line.substr(1, line.size() - 2));
    }
    return keys;
}

std::vector<std::string> Sandbox::files() const {
    std::vector<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(dir.path())) {
        std::string path = fs::relative(item.path(), dir.path()).string();
        if (path.starts_with("hive.reg") || path.starts_with("ui.")) continue;
        found.push_back(item.is_directory() ? path + "/" : path);
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace installer_testing
