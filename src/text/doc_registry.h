// text/doc_registry.h - the text library's link registry (QLRegistry.dat).
//
// For every HotSync user the text library keeps one list of entries: the
// Palm Doc databases found in the user's Backup folder and the lines of the
// user's section in QLRegistry.dat, sorted by name without regard to ASCII
// letter case. The load, save and refresh around it, and the lock on
// sync.dat, are the workbook library's (foundation/link_registry_base.h);
// this variant differs in its product, file format and Backup search, and it
// creates sync.dat when it is missing.
//
// QLRegistry.dat (ANSI text, CR LF line ends on disk, LF accepted):
//   per user in userList order that has an entry with a pcPath:
//     "[%s]\n"                        user name
//     "%s=%d,%d,%d,%d,%d,%s\n"        per such entry, in list order: name =
//                                     syncRule, category, lastSyncedCounter
//                                     (stored as it is, not scrambled),
//                                     syncTimeLow, syncTimeHigh, pcPath
//   No first line, no "enabled=" line, no "?" and no font mapping.
//   Reading: the name before the first "=" is cut to 63 characters (what a
//   DocFileEntry holds); the fields after it are split at commas; the path
//   ends at the next comma. A line that lacks a field (or holds a field that
//   is not a number) gives an entry without pcPath that keeps the numbers
//   read before the gap; such entries are not written back. A line ends at
//   its first NUL byte; lines without "=" or with an empty name are skipped.
//
// DocFileEntry, the first 72 bytes of every DocLinkEntry:
//   off width
//    0  64    name, NUL-terminated, at most 63 characters (a file name in Backup)
//   64   8    newestTime: FILETIME (low, high) of the newest file of that name
//
// The five numbers take the places of the workbook variant's syncRule,
// category, lastSyncedCounter and csvSyncTime halves. The text library reads
// them, keeps them and writes them back, and acts on none of them; the
// second is held as a signed 16-bit value and set to 0 when the entry is
// matched with a database found in Backup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/link_file.h"
#include "foundation/link_registry.h"
#include "foundation/link_registry_base.h"

namespace text {

constexpr const char* kProductName = "Quillo";
constexpr const char* kRegistryFileName = "QLRegistry.dat";

// The message shown, and retried, while sync.dat cannot be opened: the
// system error code and its HRESULT form (see syncOpenFailureText).
constexpr const char* kSyncOpenFailureFormat = "CreateFile failed, %d, %08x\n";
constexpr const char* kSyncOpenFailureCaption = "Export";

constexpr size_t kDocFileNameSize = 64;
constexpr size_t kMaxDocFileNameLength = 63;
// The first size of a user's search list (it doubles as needed).
constexpr size_t kInitialDocListRoom = 256;

struct DocFileEntry {
    char name[kDocFileNameSize] = {};
    foundation::FileTimeParts newestTime;

    std::string_view fileName() const;
    void setFileName(std::string_view text);  // cut to 63 characters
};
static_assert(sizeof(DocFileEntry) == 72);
static_assert(offsetof(DocFileEntry, newestTime) == 64);

struct DocLinkEntry {
    DocFileEntry file;
    int32_t syncRule = 0;
    int16_t category = 0;  // set to 0 when matched with a database in Backup
    int32_t lastSyncedCounter = 0;
    int32_t syncTimeLow = 0;
    int32_t syncTimeHigh = 0;
    std::string pcPath;  // empty: not linked

    std::string_view name() const { return file.fileName(); }
};

struct DocUserEntry {
    std::string name;                   // at most 31 characters, as the workbook variant keeps it
    std::vector<DocLinkEntry> entries;  // sorted by name without regard to ASCII case
};

// One line of a user's section. Returns false for a line that is not an
// entry (no "=", empty name); complete is false for a line that lacks a field.
struct ParsedDocLine {
    DocLinkEntry entry;
    bool complete = false;
};
bool parseDocLinkLine(std::string_view line, ParsedDocLine& out);
std::string formatDocLinkLine(const DocLinkEntry& entry);

// The entries of one user's section of the file, in sorted order (lines of
// equal names keep their order in the file).
std::vector<DocLinkEntry> readDocSection(const foundation::LinkFileText& file, std::string_view userName);
// The file text for a user list.
std::string serializeDocUsers(const std::vector<DocUserEntry>& users);

// Inserts an entry at its sorted position, after any entry of an equal name.
DocLinkEntry& insertDocEntry(std::vector<DocLinkEntry>& entries, DocLinkEntry entry);

// findDocDatabases: the Palm Doc databases (type "TEXt", creator "REAd") of
// a user's Backup folder, or of the user folder when Backup cannot be read,
// sorted by name without regard to ASCII case; a name met twice (in another
// letter case) is listed once with the newest last-write time. Only files
// whose names end in ".pdb" (any case) are read; folders, hidden and system
// files, names longer than 63 characters and files shorter than a database
// header are skipped. Returns the count, -15 when the user folder is empty
// or not an absolute path or neither folder can be read (list empty), -3
// when memory runs out.
int findDocDatabases(const std::string& userFolder, const std::string& backupFolderName,
                     std::vector<DocFileEntry>& out);

// The text of the message shown when sync.dat cannot be opened.
std::string syncOpenFailureText(int error);

class DocRegistry : public foundation::LinkRegistryBase {
public:
    // Lists the databases of a user; the count or a negative status.
    using DatabaseScanner = std::function<int(int userIndex, std::vector<DocFileEntry>& found)>;

    // Creates sync.dat when missing; while it cannot be opened shows the
    // "CreateFile failed" message (a bounded number of times).
    DocRegistry();
    explicit DocRegistry(foundation::SyncFile::Options syncOptions);
    // The default scanner refers to this object: not movable.
    DocRegistry(DocRegistry&&) = delete;

    // Defaults to findDocDatabases on the user's folders.
    DatabaseScanner findDatabases;
    std::vector<DocUserEntry> userList;

    std::string serialize() const override;

    // The entry of that name in the user's list, or nullptr.
    DocLinkEntry* findEntry(int userIndex, std::string_view name);
    // The path of an entry's database in the user's Backup folder; empty
    // when the user has no folder or the name is not a plain file name (names
    // from QLRegistry.dat are untrusted).
    std::string backupDatabasePath(int userIndex, std::string_view name) const;

protected:
    void clearLists() override;
    void addUser(const std::string& name, const foundation::LinkFileText& file, int userIndex) override;

private:
    void mergeBackup(DocUserEntry& user, int userIndex);
};

}  // namespace text
