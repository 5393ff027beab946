// The LibreOffice extension's keyword, availability and unopkg calls.
#include "installer/libreoffice_placement.h"

#include <vector>

#include "platform/shell.h"

namespace installer {
namespace {

constexpr const char* kUnopkg = "unopkg";

}  // namespace

bool isLibreOfficeDestination(std::string_view destination) { return destination == kLibreOfficeDestination; }

bool libreOfficeAvailable(bool uninstallMode) {
    return uninstallMode || !platform::shell::findProgram(kUnopkg).empty();
}

std::optional<std::string> registerLibreOfficeExtension(const std::string& path) {
    // --force replaces an installed copy without asking on the terminal.
    int status = platform::shell::runProgram({kUnopkg, "add", "--force", path});
    if (status == 0) return std::nullopt;
    return "Error registering " + path + " with LibreOffice (unopkg: " +
           (status < 0 ? std::string("not started") : "status " + std::to_string(status)) +
           ")\nClose LibreOffice and run the installation as the user who uses it";
}

void unregisterLibreOfficeExtension() {
    if (platform::shell::findProgram(kUnopkg).empty()) return;
    platform::shell::runProgram({kUnopkg, "remove", std::string(kLibreOfficeExtensionId)});
}

}  // namespace installer
