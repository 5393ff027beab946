// foundation/link_registry.h - the workbook library's link registry.
//
// For every HotSync user it records which handheld workbook is linked to
// which desktop file (an Excel workbook or a set of CSV files), with the
// sync rule and the state of the last transfer. It lives in TBRegistry.dat in
// the product folder, is held in memory by each process that loads the
// library, and is merged at every load with the workbooks present in each
// user's Backup folder.
//
// TBRegistry.dat (ANSI text, CR LF line ends on disk, LF accepted):
//   1. "%d\n"                 highResolution (0 or 1)
//   2. per user in userList order that has a link with a PC path:
//      "[%s]\n"               user name
//      "enabled=%d%d\n"       enabled flag and deviceClass, one character
//                             each (a deviceClass outside 0-9 is written
//                             as 0; the reader takes one character)
//      "%s=%d,%d,%d,%d,%d,%d?%s\n" per link with a PC path, in list order:
//                             book name = syncRule, category,
//                             ScrambleCounter(lastSyncedCounter),
//                             csvSyncTime low, csvSyncTime high, fontMapping ? pcPath
//   Older lines lack the font mapping and "?": "...,%d,%s" (fontMapping 0).
//
// HandheldBook, the first 52 bytes of every LinkEntry:
//   off width
//    0   2    reserved, 0
//    2  32    name, NUL-terminated, at most 31 characters
//   34   2    versionSign: >0 format version of a book that follows the naming
//             rule, <0 negated version of one that does not, 0 unsupported
//             version, 1 a desktop link whose book is not (yet) in Backup
//   36   2    category 0-15, -1 when not read
//   38   2    padding
//   40   4    changeCounter, highest among the book's sheet databases
//   44   8    newestBackupTime (FILETIME: low, high)
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/link_file.h"
#include "foundation/link_registry_base.h"
#include "platform/text.h"

namespace foundation {

// ScrambleCounter: the self-inverse scrambling of change counters in the
// book header and in the link registry file: 0, -1 and -2 stay as they are,
// every other value is XOR-ed with 0x5C3E9A71.
constexpr uint32_t kCounterScrambleKey = 0x5C3E9A71;
constexpr int32_t ScrambleCounter(int32_t value) {
    if (value == 0 || value == -1 || value == -2) return value;
    return int32_t(uint32_t(value) ^ kCounterScrambleKey);
}

// A Windows FILETIME as two 32-bit halves (so HandheldBook keeps its layout).
struct FileTimeParts {
    uint32_t low = 0;
    uint32_t high = 0;
    uint64_t value() const { return (uint64_t(high) << 32) | low; }
    static FileTimeParts of(uint64_t t) { return {uint32_t(t), uint32_t(t >> 32)}; }
};

constexpr size_t kBookNameSize = 32;
constexpr size_t kMaxBookNameLength = 31;

struct HandheldBook {
    int16_t reserved = 0;
    char name[kBookNameSize] = {};
    int16_t versionSign = 0;
    int16_t category = 0;
    uint8_t padding[2] = {};
    uint32_t changeCounter = 0;
    FileTimeParts newestBackupTime;

    std::string_view bookName() const;
    void setBookName(std::string_view text);  // cut to 31 characters
};
static_assert(sizeof(HandheldBook) == 52);
static_assert(offsetof(HandheldBook, name) == 2);
static_assert(offsetof(HandheldBook, versionSign) == 34);
static_assert(offsetof(HandheldBook, category) == 36);
static_assert(offsetof(HandheldBook, changeCounter) == 40);
static_assert(offsetof(HandheldBook, newestBackupTime) == 44);

// versionSign of a desktop link whose book is not in Backup.
constexpr int16_t kVersionSignDesktopOnly = 1;

enum SyncRule : int32_t {
    kSyncSynchronize = 0,
    kSyncHandheldOverwrites = 1,
    kSyncDesktopOverwrites = 2,
};

// lastSyncedCounter values with a meaning of their own.
constexpr int32_t kCounterImportNext = -1;     // import at the next chance
constexpr int32_t kCounterPcFileMissing = -2;  // the PC file was missing at the last HotSync

struct LinkEntry {
    HandheldBook book;
    int32_t syncRule = kSyncSynchronize;
    int32_t lastSyncedCounter = 0;
    FileTimeParts csvSyncTime;
    int32_t fontMapping = 0;  // 0-4, or -1 when High Resolution is off for the link
    std::string pcPath;       // empty: not linked

    std::string_view name() const { return book.bookName(); }
};

struct UserEntry {
    std::string name;  // at most 31 characters
    int32_t enabled = 1;
    int32_t deviceClass = 0;
    std::vector<LinkEntry> links;  // sorted by book name without regard to case
};

struct BookIndexEntry {
    int16_t refCount = 0;  // links of all users that carry this book with a PC path
    std::string name;
    std::string pcPath;
};

// The sorted-list lookup: the position of the first entry whose name is not
// less than the key, and whether that entry is equal to it.
template <typename List, typename NameOf>
std::pair<size_t, bool> lookupSorted(const List& list, std::string_view key, NameOf nameOf) {
    size_t lo = 0, hi = list.size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (platform::compareNoCase(nameOf(list[mid]), key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return {lo, lo < list.size() && platform::compareNoCase(nameOf(list[lo]), key) == 0};
}

// One line of a user's section in the link file, parsed. A line that lacks
// one of the five numbers or the path gives a link without a PC path.
struct ParsedLinkLine {
    LinkEntry link;
    bool complete = false;
};
// Returns false for a line that is not a link line (no "=", empty name).
bool parseLinkLine(std::string_view line, ParsedLinkLine& out);
std::string formatLinkLine(const LinkEntry& link);

class LinkRegistry : public LinkRegistryBase {
public:
    // Lists the handheld workbooks of a user's Backup folder (discovery);
    // returns their count or a negative status.
    using BookScanner = std::function<int(int userIndex, std::vector<HandheldBook>& books)>;

    // owner: see LinkRegistryBase.
    LinkRegistry(Product product, std::string fileName, ModuleStateOwner* owner = nullptr);

    BookScanner findHandheldBooks;

    // Module-wide values loaded or used by the registry.
    int32_t highResolution = 0;  // kept across loads; set to 1 by a file whose first line begins with "1"
    std::string templateWorkbookPath;
    std::vector<UserEntry> userList;
    std::vector<BookIndexEntry> bookIndex;

    std::string serialize() const override;
    // Reads the user's section of the file into the user's entry and
    // counts its linked books in bookIndex (a step of the load).
    void readUserSection(const LinkFileText& file, UserEntry& user);

    // Lookups (nullptr when absent).
    LinkEntry* findLink(int userIndex, std::string_view bookName);
    BookIndexEntry* findBook(std::string_view bookName);
    // Inserts a link at its sorted position, after any link of an equal
    // name, so that two lines of one name (a hand-edited file) keep their
    // order through every load and save; returns it.
    LinkEntry& insertLink(UserEntry& user, LinkEntry link);
    BookIndexEntry& insertBook(BookIndexEntry entry);
    void removeBook(std::string_view bookName);

protected:
    void onSettingsRead() override;
    void clearLists() override;
    void onFileRead(const LinkFileText& file) override;
    void addUser(const std::string& name, const LinkFileText& file, int userIndex) override;

private:
    void mergeBackup(UserEntry& user, int userIndex);
};

}  // namespace foundation
