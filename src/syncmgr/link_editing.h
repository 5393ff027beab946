// syncmgr/link_editing.h - linking a handheld book to a PC file, and unlinking.
//
// The Sync Manager's Register and Unregister buttons, as functions that work
// on a link registry alone (no dialog, no library state), so the dialog, the
// add-in stand-in and the tests share them. Both reload the registry from
// disk first (refresh in desktop mode without saving) and end with a refresh
// with saving, so a change reaches TBRegistry.dat before any other process
// reads it.
//
// Register (path, user, rule, category, high resolution, font mapping):
//   file name = what follows the last '/' or '\\' of the path
//   "*.xls"   book = name without ".xls"; an Excel link
//   "*.csv"   book = name without ".csv", cut at its last hyphen (required)
//   refused   empty path, another ending, "=" in the book name, a handheld
//             book of an old version (versionSign 0) or against the naming
//             rule (versionSign < 0), a book already linked by another user
//             to another path
//   Excel file missing (or not a regular file): the template workbook is
//             copied to the path and the link marked for import (-1)
//   the link: created when the user has none (versionSign 1, category),
//             then pcPath, syncRule, fontMapping (-1 without high
//             resolution); the registry's highResolution takes the choice;
//             the book's bookIndex entry gains a reference
//
// Messages (shown by the dialog in a box captioned "Error"):
//   "Enter file path"
//   "CSV file has to follow Tabulo naming convention. Hyphen should separate
//    workbook name from worksheet name."
//   "Invalid file type"
//   "Book name contains illegal character - '='"
//   "Old version workbook. Upgrade it on Palm and Hotsync."
//   "Palm workbook name does not follow the Tabulo naming convention. Add
//    worksheet name to book name using Tabulo and HotSync."
//   "Book already registered as %s"
//   "Error creating %s - %d"
// and two of this implementation's own, for links the registry file could
// not hold: kPathLineBreakMessage, kBookNameLengthMessage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/link_registry.h"

namespace syncmgr {

constexpr const char* kEnterPathMessage = "Enter file path";
constexpr const char* kCsvNamingMessage =
    "CSV file has to follow Tabulo naming convention. Hyphen should separate workbook name from worksheet "
    "name.";
constexpr const char* kInvalidFileTypeMessage = "Invalid file type";
constexpr const char* kIllegalCharacterMessage = "Book name contains illegal character - '='";
constexpr const char* kOldVersionMessage = "Old version workbook. Upgrade it on Palm and Hotsync.";
constexpr const char* kNamingRuleMessage =
    "Palm workbook name does not follow the Tabulo naming convention. Add worksheet name to book name using "
    "Tabulo and HotSync.";
constexpr const char* kAlreadyRegisteredFormat = "Book already registered as %s";
constexpr const char* kErrorCreatingFormat = "Error creating %s - %d";
// A line break or NUL in the path would split the link's line in
// TBRegistry.dat (and lose or forge links at the next load).
constexpr const char* kPathLineBreakMessage = "File path must not contain a line break or NUL character";
// Book names are kept to 31 characters; a longer one would be cut when the
// file is read back and would no longer match its workbook.
constexpr const char* kBookNameLengthMessage = "Book name must have 1 to 31 characters";
constexpr const char* kNotLinkedFormat = "Book %s is not linked";

constexpr std::string_view kExcelEnding = ".xls";
constexpr std::string_view kCsvEnding = ".csv";

enum class LinkKind { Excel, Csv };

// How a register or unregister ended.
struct LinkEditResult {
    enum class Outcome {
        Done,     // the registry file holds the change
        Refused,  // message says why; nothing was changed
        Failed,   // status: the registry could not be loaded (-1), the user
                  // does not exist (-10), or the file not written (-9)
    };
    Outcome outcome = Outcome::Done;
    std::string message;
    int status = 0;
    std::string bookName;
    bool templateCopied = false;  // a missing workbook was created from the template

    bool ok() const { return outcome == Outcome::Done; }
};

// The book named by a PC file path under the naming rule above; an empty
// book name with the refusal message when the path names none.
struct LinkTarget {
    std::string bookName;
    LinkKind kind = LinkKind::Excel;
    std::string refusal;  // empty when the path names a book
};
LinkTarget linkTargetOf(std::string_view path);

// Register: links the user's book named by pcPath to that path with the
// rule. category is the handheld category number (0-15; anything else is 0)
// a new link gets. fontMapping (0-4) is kept only with highResolution.
struct RegisterRequest {
    int user = 0;
    std::string pcPath;
    int32_t syncRule = foundation::kSyncSynchronize;
    int category = 0;
    bool highResolution = false;
    int32_t fontMapping = 0;
};
LinkEditResult registerLink(foundation::LinkRegistry& registry, const RegisterRequest& request);

// Unregister without the question: empties the PC path of the user's link of
// the book and drops one reference from the book's bookIndex entry.
LinkEditResult unregisterLink(foundation::LinkRegistry& registry, int user, std::string_view bookName);

// Makes a registry list the handheld books of each user's Backup folder
// (discovery) when it loads, as the library's own registry does.
void useBackupDiscovery(foundation::LinkRegistry& registry);

}  // namespace syncmgr
