#include "syncmgr/import_checks.h"

#include "foundation/sync_lock.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"
#include "workbook/book_lister.h"

namespace syncmgr {

bool importDue(const foundation::LinkEntry& link) {
    switch (link.syncRule) {
        case foundation::kSyncHandheldOverwrites:
            return true;
        case foundation::kSyncSynchronize:
            return link.lastSyncedCounter == foundation::kCounterImportNext ||
                   link.book.changeCounter > uint32_t(link.lastSyncedCounter);
        default:
            return false;
    }
}

int16_t VerifyImport(workbook::TransferContext& context, TextRecord* record, std::string& lastListedBook) {
    if (!record) return BF_ERR_PARAMETER;
    foundation::LinkRegistry& registry = context.registry;
    if (registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No) < 0)
        return BF_ERR_PARAMETER;

    const std::string path(platform::byteStringText(record->text));
    std::string_view bookName = platform::fileNamePart(path);
    if (bookName.size() < kWorkbookEnding.size() ||
        !platform::sameNoCase(bookName.substr(bookName.size() - kWorkbookEnding.size()), kWorkbookEnding))
        return BF_ERR_PARAMETER;
    bookName.remove_suffix(kWorkbookEnding.size());

    const foundation::BookIndexEntry* book = registry.findBook(bookName);
    if (!book || !platform::sameNoCase(book->pcPath, path)) return BF_ERR_PARAMETER;

    for (size_t user = 0; user < registry.userList.size(); ++user) {
        if (registry.userList[user].enabled == 0) continue;
        foundation::LinkEntry* link = registry.findLink(int(user), bookName);
        if (!link || link->pcPath.empty() || !importDue(*link)) continue;

        std::string bookPath = platform::joinPath(registry.backupFolder(int(user)), bookName);
        bookPath += '\0';  // the text's length counts the NUL
        if (!platform::replaceByteString(record->text, bookPath)) return BF_ERR_MEMORY;
        record->number = workbook::kListSheetDatabases;
        context.options.fontMapping = link->fontMapping;
        // The sheets are scaled for the device of the user whose Backup they come from.
        context.options.importUser = int32_t(user);
        workbook::ListBookFiles(record, nullptr, lastListedBook);
        link->lastSyncedCounter = int32_t(link->book.changeCounter + 1);
        return int16_t(user);
    }
    return BF_ERR_PARAMETER;
}

}  // namespace syncmgr
