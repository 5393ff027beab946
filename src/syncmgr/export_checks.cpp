#include "syncmgr/export_checks.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_set>

#include "foundation/link_registry.h"
#include "foundation/sync_lock.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"
#include "workbook/passwords.h"

namespace syncmgr {

namespace {

constexpr std::string_view kWorkbookEnding = ".xls";

// pcPath begins with the given path, compared over the path's length.

bool allowsExport(const foundation::LinkEntry& link) {
    return link.syncRule == foundation::kSyncDesktopOverwrites ||
           link.syncRule == foundation::kSyncSynchronize || link.book.versionSign == 0;
}

// A path folded as sameNoCase compares, for set lookups.
std::string foldedPath(std::string_view path) {
    std::string key(path);
    for (char& c : key) c = platform::lowerAscii(c);
    return key;
}

// The list's paths, folded.
std::unordered_set<std::string> foldedPaths(const ExportList& list) {
    std::unordered_set<std::string> paths;
    std::string_view rest = list.block;
    while (!rest.empty()) {
        size_t nul = rest.find('\0');
        paths.insert(foldedPath(rest.substr(0, nul)));
        if (nul == std::string_view::npos) break;
        rest.remove_prefix(nul + 1);
    }
    return paths;
}

}  // namespace

bool ExportList::contains(std::string_view path) const {
    std::string_view rest = block;
    while (!rest.empty()) {
        size_t nul = rest.find('\0');
        std::string_view entry = rest.substr(0, nul);
        if (platform::sameNoCase(entry, path)) return true;
        if (nul == std::string_view::npos) break;
        rest.remove_prefix(nul + 1);
    }
    return false;
}

void ExportList::append(std::string_view path) {
    block.append(path);
    block += '\0';
    ++count;
}

int16_t VerifyFileExport(workbook::TransferContext& context, SheetRecord* record, int user) {
    if (!record) return BF_ERR_PARAMETER;
    workbook::TransferOptions& options = context.options;
    options.exportTarget.authorPassword.clear();
    options.exportTarget.userPassword.clear();
    options.exportTargetUser = user;

    const std::string path(platform::byteStringText(record->sheetName));
    std::string_view name = platform::fileNamePart(path);
    size_t start = 0;
    if (user < 0) {
        if (!platform::endsWithNoCase(name, kWorkbookEnding)) return BF_ERR_PARAMETER;
        name.remove_suffix(kWorkbookEnding.size());
    } else {
        start = size_t(user);
    }
    const std::string bookName(name);

    foundation::LinkRegistry& registry = context.registry;
    const foundation::BookIndexEntry* book = registry.findBook(bookName);
    if (!book || !platform::startsWithNoCase(book->pcPath, path)) return BF_ERR_PARAMETER;

    for (size_t u = start; u < registry.userList.size(); ++u) {
        if (registry.userList[u].enabled == 0) continue;
        const foundation::LinkEntry* link = registry.findLink(int(u), bookName);
        if (!link || link->pcPath.empty()) continue;
        if (!allowsExport(*link)) {
            if (user < 0) continue;
            return BF_ERR_PARAMETER;  // the user asked for keeps the handheld's version
        }
        std::string target = platform::joinPath(registry.installFolder(int(u)), bookName);
        target += '\0';
        if (!platform::replaceByteString(record->sheetName, target)) return BF_ERR_MEMORY;
        record->sheetNumber = int16_t(u);
        options.fontMapping = link->fontMapping;
        workbook::PrepareExportTarget(record, options.exportTarget);
        return int16_t(u);
    }
    return BF_ERR_PARAMETER;
}

int16_t VerifyExport(workbook::TransferContext& context, SheetRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    if (context.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No) < 0)
        return BF_ERR_PARAMETER;
    return VerifyFileExport(context, record, -1);
}

void BuildExportList(workbook::TransferContext& context, ExportList& list) {
    // Sets rather than ExportList::contains: with thousands of links a scan
    // of the list per link made the build quadratic.
    const std::unordered_set<std::string> previous = foldedPaths(list);
    std::unordered_set<std::string> added;
    ExportList fresh;
    for (const foundation::UserEntry& user : context.registry.userList) {
        if (user.enabled != 1) continue;
        for (const foundation::LinkEntry& link : user.links) {
            if (link.pcPath.empty()) continue;
            if (link.syncRule == foundation::kSyncHandheldOverwrites && link.book.versionSign <= 1) continue;
            std::string key = foldedPath(link.pcPath);
            if (added.count(key)) continue;
            if (link.book.versionSign > 1 && previous.count(key)) continue;
            added.insert(std::move(key));
            fresh.append(link.pcPath);
        }
    }
    list = std::move(fresh);
}

int16_t VerifyAllFileExport(const ExportList& list, TextRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    platform::clearByteString(record->text);
    record->number = 0;
    if (!list.empty()) {
        if (!platform::replaceByteString(record->text, list.block)) return BF_ERR_MEMORY;
    }
    record->number = int16_t(std::min<int32_t>(list.count, std::numeric_limits<int16_t>::max()));
    return 0;
}

}  // namespace syncmgr
