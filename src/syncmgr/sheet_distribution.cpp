#include "syncmgr/sheet_distribution.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "foundation/file_names.h"
#include "foundation/registry_access.h"
#include "platform/files.h"
#include "workbook/format_version.h"
#include "workbook/sheet_probe.h"

namespace syncmgr {

using workbook::BookHeader;

namespace {

// The book header of a user's handheld copy in Backup, read the way the
// header-only probe reads: the container header, the first record entry,
// then 62 bytes after record 0's key. Nothing unless it is a sheet database
// of a supported version whose header bytes are all in the file.
std::optional<BookHeader> readHandheldBookHeader(const std::string& path) {
    auto probe = workbook::probeSheetFile(path);
    if (!probe || !workbook::isSupportedSheetHeader(probe->header) || !probe->hasBookHeader)
        return std::nullopt;
    return workbook::decodeBookHeader(probe->bookHeader);
}

// Runs `change` on the book header in record 0 of an image; images without a
// whole record 0 are left alone.
template <typename Change>
void changeImageHeader(foundation::PdbImage& image, Change change) {
    auto record = foundation::recordAt(image, workbook::kHeaderRecord);
    if (!record || record->size() < workbook::kHeaderRecordSize) return;
    auto bytes = record->subspan(workbook::kKeySize, workbook::kBookHeaderSize);
    auto header = workbook::decodeBookHeader(bytes);
    if (!header) return;
    change(*header);
    auto encoded = workbook::encodeBookHeader(*header);
    std::copy(encoded.begin(), encoded.end(), bytes.begin());
}

}  // namespace

int16_t WriteSheetToUsers(workbook::TransferContext& context, std::string_view bookName,
                          const foundation::PdbImage& image, int excludedUser, int32_t counter,
                          size_t* usersWritten) {
    size_t written = 0;
    if (usersWritten) *usersWritten = 0;
    if (!image.hasHeader()) return BF_ERR_WRITE;
    // The name comes from a handheld file or from caller strings: it must
    // name one file inside the Install folder, or nothing is written at all.
    const std::string databaseName = image.name();
    if (!foundation::isSafeFileNamePart(databaseName)) return BF_ERR_WRITE;
    const std::string fileName = databaseName + ".pdb";

    foundation::LinkRegistry& registry = context.registry;
    const int32_t target = context.options.exportTargetUser;
    const bool everyUser = target < 0;
    struct Target {
        size_t user;
        foundation::LinkEntry* link;
    };
    std::vector<Target> targets;
    for (size_t u = everyUser ? 0 : size_t(target); u < registry.userList.size(); ++u) {
        if (int(u) == excludedUser) {
            if (!everyUser) break;  // the one user asked for is excluded: no one else gets it
            continue;
        }
        foundation::LinkEntry* link = nullptr;
        if (everyUser) {
            link = registry.findLink(int(u), bookName);
            if (!link || link->pcPath.empty() || link->syncRule == foundation::kSyncHandheldOverwrites)
                continue;
        }
        targets.push_back({u, link});
        if (!everyUser) break;
    }
    // A file in an Install folder whose name differs from this one only in
    // letter case is another database waiting there: on Windows this one would
    // replace it. Checked for every user before any is written.
    for (const Target& t : targets) {
        const std::string folder = registry.userFolder(int(t.user));
        if (!folder.empty() &&
            foundation::hasCaseTwin(platform::joinPath(
                platform::joinPath(folder, registry.settings.installFolderName), fileName)))
            return BF_ERR_WRITE;
    }

    for (const Target& t : targets) {
        const size_t u = t.user;
        foundation::LinkEntry* link = t.link;
        // Every user's file starts from the image: what one user's handheld
        // copy decides never reaches another user.
        foundation::PdbImage copy = image;
        const std::string folder = registry.userFolder(int(u));
        if (!folder.empty()) {
            std::string backup =
                platform::joinPath(platform::joinPath(folder, registry.settings.backupFolderName), fileName);
            if (auto handheld = readHandheldBookHeader(backup)) {
                changeImageHeader(copy, [&](BookHeader& h) {
                    h.openPasswordHash = handheld->openPasswordHash;
                    h.defaultColumnWidth = handheld->defaultColumnWidth;
                    h.defaultRowHeight = handheld->defaultRowHeight;
                    h.carried58 = handheld->carried58;
                    h.formatFlags = (h.formatFlags & ~kHandheldFontFlagsMask) |
                                    (handheld->formatFlags & kHandheldFontFlagsMask);
                    h.bookFlags &= uint8_t(~kDesktopBookFlags);
                });
            }
        }
        if (link) {
            const int16_t category = link->book.category;
            if (category >= 0 && category <= 15)
                changeImageHeader(copy, [&](BookHeader& h) { h.setCategory(unsigned(category)); });
        }

        // Without a user folder there is no Install folder to write into.
        if (folder.empty()) return BF_ERR_WRITE;
        std::string path =
            platform::joinPath(platform::joinPath(folder, registry.settings.installFolderName), fileName);
        if (foundation::writePdb(copy, path) != 1) return BF_ERR_WRITE;
        // The link records the transfer only once the file is there: a failed
        // write leaves the counter saying the book still has to go.
        if (link) link->lastSyncedCounter = counter != 0 ? counter : int32_t(link->book.changeCounter + 1);
        ++written;
        if (usersWritten) *usersWritten = written;
        foundation::MarkPendingInstall(registry.product(), int(u));
    }
    // The checks may let a sheet through that no user takes (a Handheld
    // Overwrites link whose book is of an unknown version): the caller must
    // not take it for delivered.
    return written > 0 ? 1 : BF_ERR_USER;
}

}  // namespace syncmgr
