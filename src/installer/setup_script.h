// installer/setup_script.h - the setup script ("setup.inf", "oldSetup.inf")
// and its in-memory form.
//
// The script is an INI-style text file read with the profile-string rules:
// case-blind section and key names, ";" comment lines, blanks around a value
// dropped, one pair of enclosing quotes dropped, values cut to their field,
// numbered series ("File0", "File1", ...) read from 0 up to the first missing
// or empty key. Section "Installation" names the product ("Application"), the
// default folder ("DefDir") and the product keys ("Application0".."7"); the
// section named by "Application" lists the components ("AppName%d" = "name,
// description"); each component's section lists its files ("File%d",
// "Destination%d", "RegKey%d", "RegValue%d", "DesktopIcon%d").
//
// The table holds one entry per component first (entry i is component i and
// carries its file 0), then every further file. The run appends two entries
// (the script and the setup program) for the uninstaller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

constexpr size_t kMaxProductKeys = 8;
constexpr size_t kMaxEntries = 64;
constexpr size_t kRunEntries = 2;  // appended by the run
constexpr size_t kMaxScriptEntries = kMaxEntries - kRunEntries;

// Characters kept of each field.
constexpr size_t kDefaultFolderChars = 258;
constexpr size_t kApplicationChars = 30;
constexpr size_t kProductKeyChars = 31;
constexpr size_t kNameChars = 31;
constexpr size_t kFileNameChars = 31;
constexpr size_t kDescriptionChars = 63;
constexpr size_t kTargetFolderChars = 259;
constexpr size_t kDestinationChars = 258;
constexpr size_t kRegKeyChars = 510;
constexpr size_t kRegValueChars = 62;

struct FileEntry {
    bool toPalmUser = false;         // destination "Pilot"; set when the folder is worked out
    bool isNotifier = false;         // destination "\NOTIFIER"; set when the folder is worked out
    bool selected = false;           // component entry: chosen; others: destination available at load
    bool officePathWritten = false;  // the installer recorded the Office start-up folder itself
    bool isSetupProgram = false;     // the copy of the setup program
    int32_t desktopIcon = 0;
    int32_t component = 0;    // index of the component entry
    std::string name;         // component name
    std::string fileName;     // "File%d"
    std::string description;  // component entries only
    std::string targetFolder;
    std::string destination;  // "Destination%d", default "."
    std::string regKey;
    std::string regValue;
};

struct SetupScript {
    std::string application;
    std::vector<std::string> applicationKeys;  // at least one once loaded
    std::vector<FileEntry> entries;

    // Whether the entry takes part in a run: its component entry is selected.
    bool chosen(const FileEntry& entry) const;
    // The selected flag by index; out of range: ignored / not selected.
    void setSelected(int index, bool on);
    bool selected(int index) const;
};

struct SetupState;

// A script read from its text, before the load-time check. A script that
// does not fit the tables (more than 8 product keys or 62 entries, a file
// name that is too long or not a plain name, a component line that is too
// long) is refused as a whole: `problems` names each fault and `script` has
// no entries.
struct ParsedScript {
    SetupScript script;
    std::string defaultFolder;
    std::vector<std::string> problems;
};
ParsedScript parseScript(std::string_view text);

// The caption and text of the box that refuses a script.
constexpr std::string_view kRefusedCaption = "Setup";
std::string refusalText(std::string_view path, const std::vector<std::string>& problems);

// LoadScript: reads the file into the current script of the state, sets its
// default folder, shows the refusal box for a refused script (refused is then
// set), runs MarkSelectable and returns the number of entries. A missing
// file reads as empty (0 entries).
size_t LoadScript(SetupState& state, std::string_view path, bool* refused = nullptr);
// The load-time check: which destinations are available, and so which
// components can be chosen. Called by LoadScript.
void MarkSelectable(SetupState& state);

// One line of the component check list.
struct ComponentItem {
    std::string text;  // "%s, %s" from name and description
    bool selected = false;
};
// Entries 0, 1, ... while entry i is a component entry (its component is i).
std::vector<ComponentItem> componentListing(const SetupScript& script);

}  // namespace installer
