#include "setupwiz_testing.h"

#include <filesystem>

#include "foundation/registry_access.h"
#include "installer/registry_lookup.h"

namespace installer_testing {

namespace fs = std::filesystem;

SetupwizSandbox::SetupwizSandbox()
    : distFolder(dir.makeDir("dist")),
      home(dir.makeDir("home")),
      systemFolder(dir.makeDir("system")),
      hive_(dir.file("hive.reg")),
      script_(dir.file("ui-script.txt")),
      log_(dir.file("ui-log.txt")) {
    fs::copy_file(testsupport::buildDir() + "/bin/setupwiz", program(), fs::copy_options::overwrite_existing);
}

std::string SetupwizSandbox::writeDist(std::string_view name, std::string_view text) const {
    std::string path = distFolder + "/" + std::string(name);
    testsupport::writeFile(path, text);
    return path;
}

void SetupwizSandbox::writeDistribution(std::string_view setupInf, std::string_view licence) const {
    writeDist("setup.inf", setupInf);
    writeDist("license.txt", licence);
}

std::string SetupwizSandbox::program() const { return distFolder + "/setupwiz"; }

std::vector<std::pair<std::string, std::string>> SetupwizSandbox::environment() const {
    return {{"BRIGHTFOLD_HIVE", hive_.path()},       {"HOME", home},
            {"XDG_CONFIG_HOME", home + "/.config"},  {"XDG_DATA_HOME", home + "/.local/share"},
            {"BRIGHTFOLD_SYSTEM_DIR", systemFolder}, {"BRIGHTFOLD_UI", "scripted"},
            {"BRIGHTFOLD_UI_SCRIPT", script_},       {"BRIGHTFOLD_UI_LOG", log_}};
}

testsupport::ProcessResult SetupwizSandbox::run(const std::vector<std::string>& args,
                                                std::string_view uiScript, const std::string& setupwiz) {
    testsupport::writeFile(script_, uiScript);
    std::error_code ignored;
    fs::remove(log_, ignored);
    return testsupport::runProgram(setupwiz.empty() ? program() : setupwiz, args, environment());
}

std::string SetupwizSandbox::log() const {
    std::vector<uint8_t> bytes;
    std::error_code ignored;
    if (!fs::exists(log_, ignored)) return {};
    bytes = testsupport::readFile(log_);
    return std::string(bytes.begin(), bytes.end());
}

void SetupwizSandbox::setValue(const std::string& keyPath, const std::string& name,
                               const std::string& text) const {
    std::string value = text;
    foundation::RegistryValue(keyPath, name, value);
}

std::string SetupwizSandbox::value(const std::string& keyPath, const std::string& name) const {
    return installer::lookupText(keyPath, name);
}

bool SetupwizSandbox::keyExists(const std::string& keyPath) const { return installer::keyExists(keyPath); }

}  // namespace installer_testing
