// The setup script reader on arbitrary text: an accepted script fits the
// tables and every field its length; a refused one has no entries.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "installer/setup_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace installer;
    const ParsedScript parsed = parseScript(std::string_view(reinterpret_cast<const char*>(data), size));
    const SetupScript& script = parsed.script;
    if (!parsed.problems.empty() && !script.entries.empty()) __builtin_trap();
    if (parsed.problems.empty() &&
        (script.entries.size() > kMaxScriptEntries || script.applicationKeys.size() > kMaxProductKeys))
        __builtin_trap();
    if (script.applicationKeys.empty() || parsed.defaultFolder.size() > kDefaultFolderChars ||
        script.application.size() > kApplicationChars)
        __builtin_trap();
    for (const FileEntry& entry : script.entries)
        if (entry.name.size() > kNameChars || entry.fileName.size() > kFileNameChars ||
            entry.description.size() > kDescriptionChars || entry.destination.size() > kDestinationChars ||
            entry.regKey.size() > kRegKeyChars || entry.regValue.size() > kRegValueChars ||
            entry.component < 0 || size_t(entry.component) >= script.entries.size() ||
            script.entries[size_t(entry.component)].component != entry.component)
            __builtin_trap();
    componentListing(script);
    refusalText("setup.inf", parsed.problems);
    return 0;
}
