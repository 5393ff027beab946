// installer/libreoffice_placement.h - the LibreOffice extension: the
// destination keyword "\LibreOffice", its availability (unopkg on the
// program path) and its registration with unopkg after the copy and before
// the removal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace installer {

// The keyword, compared case exact like the Office ones.
constexpr std::string_view kLibreOfficeDestination = "\\LibreOffice";
// The extension's identifier (its description.xml), what `unopkg remove` takes.
constexpr std::string_view kLibreOfficeExtensionId = "com.brightfold.addins";

bool isLibreOfficeDestination(std::string_view destination);

// LibreOffice is present when its extension manager `unopkg` is on the
// program path. At an uninstall the destination counts as present all the
// same, so that what an install placed is removed.
bool libreOfficeAvailable(bool uninstallMode);

// `unopkg add --force <path>`, waited for; an error text when it fails.
std::optional<std::string> registerLibreOfficeExtension(const std::string& path);
// `unopkg remove <identifier>`, waited for; failures are silent (LibreOffice
// gone, the extension removed by hand).
void unregisterLibreOfficeExtension();

}  // namespace installer
