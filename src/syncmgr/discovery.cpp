#include "syncmgr/discovery.h"

#include "foundation/byteorder.h"
#include "foundation/pdb.h"
#include "platform/files.h"
#include "platform/text.h"
#include "syncmgr/gridlink_version.h"
#include "workbook/sheet_format.h"
#include "workbook/sheet_probe.h"

namespace syncmgr {

using foundation::HandheldBook;

bool isApplicationDatabase(std::string_view fileName) {
    return platform::sameNoCase(fileName, kPreferencesDatabase) ||
           platform::sameNoCase(fileName, kDataDatabase);
}

bool hasPdbEnding(std::string_view fileName) {
    return fileName.size() >= 4 && platform::sameNoCase(fileName.substr(fileName.size() - 4), ".pdb");
}

namespace {

// Merges a file's sign into a book's versionSign: the highest positive
// version if any sheet follows the naming rule, else the lowest negative one.
int16_t mergeSign(int16_t current, int16_t sign) {
    if (sign > 0) return current <= sign ? sign : current;
    if (current == 0) return sign;
    if (current > 0) return current;
    return sign <= current ? sign : current;
}

}  // namespace

int scanHandheldBooks(const std::string& folder, std::vector<HandheldBook>& books) {
    books.clear();
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(folder, entries)) return BF_ERR_PATH;
    books.reserve(256);
    const uint16_t dbVersion = gridlinkDbVersion();
    for (const platform::DirEntry& e : entries) {
        if (e.directory || e.hidden || e.system || !hasPdbEnding(e.name) || isApplicationDatabase(e.name))
            continue;
        auto probe = workbook::probeSheetFile(platform::joinPath(folder, e.name));
        if (!probe) continue;
        const foundation::PdbHeader& header = probe->header;
        if (header.type != workbook::kSheetType || header.creator != workbook::kSheetCreator) continue;

        std::string_view fullName = header.name;
        std::string_view bookPart = fullName;
        int16_t sign = 0;
        int16_t category = -1;
        uint32_t counter = 0;
        bool inRange = header.version >= kMinSheetVersion && header.version <= dbVersion;
        if (inRange) {
            if (!probe->hasBookHeader) continue;
            const uint8_t* bookHeader = probe->bookHeader.data();
            category = int16_t(bookHeader[workbook::header::kBookFlags] >> 4);
            counter = uint32_t(foundation::ScrambleCounter(
                int32_t(foundation::loadBE32(bookHeader + workbook::header::kChangeCounter))));
            size_t hyphen = fullName.rfind('-');
            if (hyphen != std::string_view::npos) bookPart = fullName.substr(0, hyphen);
            bool followsRule = fullName.size() <= foundation::kMaxBookNameLength &&
                               hyphen != std::string_view::npos && !bookPart.empty() &&
                               bookPart.size() <= kMaxBookPartLength;
            sign = int16_t(followsRule ? header.version : -int(header.version));
        }

        auto [pos, found] =
            foundation::lookupSorted(books, bookPart, [](const HandheldBook& b) { return b.bookName(); });
        if (!found) {
            HandheldBook fresh;
            fresh.setBookName(bookPart);
            books.insert(books.begin() + std::ptrdiff_t(pos), fresh);
        } else if (!inRange) {
            continue;
        }
        HandheldBook& book = books[pos];
        book.versionSign = mergeSign(book.versionSign, sign);
        book.category = category;
        if (sign != 0) {
            if (counter > book.changeCounter) book.changeCounter = counter;
            if (e.lastWrite > book.newestBackupTime.value())
                book.newestBackupTime = foundation::FileTimeParts::of(e.lastWrite);
        }
    }
    return int(books.size());
}

int FindHandheldBooks(const foundation::LinkRegistry& registry, int userIndex,
                      std::vector<HandheldBook>& books) {
    books.clear();
    if (userIndex < 0) return BF_ERR_PARAMETER;
    std::string userFolder = registry.userFolder(userIndex);
    if (userFolder.empty()) return BF_ERR_PATH;
    std::string backup = platform::joinPath(userFolder, registry.settings.backupFolderName);
    // A user without a Backup folder has the databases lying in the user folder scanned.
    if (!platform::isDirectory(backup)) backup = userFolder;
    return scanHandheldBooks(backup, books);
}

}  // namespace syncmgr
