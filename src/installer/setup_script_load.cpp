// LoadScript and the load-time check MarkSelectable: the script file read
// into the current script, and which components' destinations exist here.
#include <string>

#include "installer/installer_places.h"
#include "installer/libreoffice_placement.h"
#include "installer/office_placement.h"
#include "installer/registry_lookup.h"
#include "installer/setup_script.h"
#include "installer/setup_state.h"
#include "platform/dialog.h"
#include "platform/files.h"

namespace installer {
namespace {

namespace ui = platform::ui;

// A script is a few kilobytes; a larger file is refused rather than read.
constexpr long long kMaxScriptBytes = 1 << 20;

constexpr std::string_view kErrorCaption = "Error";
constexpr std::string_view kConduitManagerError = "Error with CondMgr.dll, please contact ";
constexpr std::string_view kInstallAideError = "Error with Instaide.dll, please contact ";
constexpr std::string_view kHotSyncLocationError =
    "Error with the HotSync Manager's location, please contact ";

// The file's text; empty when it cannot be read; nothing when it is too large.
std::optional<std::string> readScriptFile(const std::string& path) {
    std::optional<platform::File> file = platform::File::open(path, platform::File::Mode::Read);
    if (!file) return std::string();
    long long size = file->size();
    if (size > kMaxScriptBytes) return std::nullopt;
    std::string text(size_t(size > 0 ? size : 0), '\0');
    if (!text.empty() && !file->readExact(text.data(), text.size())) return std::string();
    return text;
}

// Whether an entry's destination exists on this machine.
bool destinationAvailable(const FileEntry& entry, bool uninstallMode) {
    if (!entry.regKey.empty()) {
        if (!entry.regValue.empty() && entry.regValue.front() == '-') return keyExists(entry.regKey);
        return !lookupText(entry.regKey, entry.regValue).empty();
    }
    if (const OfficeTarget* target = findOfficeTarget(entry.destination)) return officeTargetPresent(*target);
    if (isLibreOfficeDestination(entry.destination)) return libreOfficeAvailable(uninstallMode);
    return true;  // "Pilot", "\SYSTEM", "\NOTIFIER", "." and folders
}

}  // namespace

size_t LoadScript(SetupState& state, std::string_view path, bool* refused) {
    if (refused) *refused = false;
    std::optional<std::string> text = readScriptFile(std::string(path));
    ParsedScript parsed = parseScript(text ? *text : std::string());
    if (!text)
        parsed.problems.insert(parsed.problems.begin(),
                               "the file is larger than " + std::to_string(kMaxScriptBytes) + " bytes");
    state.defaultFolder = std::move(parsed.defaultFolder);
    state.script() = std::move(parsed.script);
    if (!parsed.problems.empty()) {
        state.script().entries.clear();
        ui::messageBox(ui::focusWindow(), refusalText(path, parsed.problems), kRefusedCaption,
                       ui::Buttons::Ok, ui::Icon::Error);
        if (refused) *refused = true;
        return 0;
    }
    MarkSelectable(state);
    return state.script().entries.size();
}

void MarkSelectable(SetupState& state) {
    state.palmDesktopPath = lookupText(kPalmCoreKey, "Path");
    if (!state.palmDesktopPath.empty()) {
        int loaded = state.palm.load();
        if (loaded != kPalmLoaded) {
            std::string_view text = loaded == kPalmNoConduitManager ? kConduitManagerError
                                    : loaded == kPalmNoInstallAide  ? kInstallAideError
                                                                    : kHotSyncLocationError;
            ui::messageBox(ui::focusWindow(), std::string(text) + std::string(kSupportAddress), kErrorCaption,
                           ui::Buttons::Ok, ui::Icon::Error);
            state.palmDesktopPath.clear();
        }
    }
    SetupScript& script = state.script();
    for (FileEntry& entry : script.entries) {
        entry.selected = destinationAvailable(entry, state.uninstallMode);
        if (!entry.selected) script.setSelected(entry.component, false);
    }
    state.palm.unload();
}

}  // namespace installer
