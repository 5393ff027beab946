#include "syncmgr/link_editing.h"

#include "foundation/message_text.h"
#include "foundation/sync_lock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "syncmgr/discovery.h"
#include "syncmgr/export_checks.h"

namespace syncmgr {

namespace {

using Outcome = LinkEditResult::Outcome;

LinkEditResult refused(std::string message, std::string bookName = {}) {
    LinkEditResult r;
    r.outcome = Outcome::Refused;
    r.message = std::move(message);
    r.bookName = std::move(bookName);
    return r;
}

LinkEditResult failed(int status, std::string bookName = {}) {
    LinkEditResult r;
    r.outcome = Outcome::Failed;
    r.status = status;
    r.bookName = std::move(bookName);
    return r;
}

// The registry as it is on disk and in the Backup folders now, and the user.
int reloadForUser(foundation::LinkRegistry& registry, int user) {
    int rc = registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No);
    if (rc < 0) return rc;
    if (user < 0 || size_t(user) >= registry.userList.size()) return BF_ERR_USER;
    return 0;
}

// The change is written (and the registry reloaded from it) before any other
// process can read the file.
int saveChanges(foundation::LinkRegistry& registry) {
    int rc = registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::Yes);
    return rc < 0 ? rc : 0;
}

}  // namespace

LinkTarget linkTargetOf(std::string_view path) {
    LinkTarget target;
    if (path.empty()) {
        target.refusal = kEnterPathMessage;
        return target;
    }
    std::string_view name = platform::fileNamePart(path);
    std::string_view book;
    if (platform::endsWithNoCase(name, kExcelEnding)) {
        book = name.substr(0, name.size() - kExcelEnding.size());
        target.kind = LinkKind::Excel;
    } else if (platform::endsWithNoCase(name, kCsvEnding)) {
        std::string_view stem = name.substr(0, name.size() - kCsvEnding.size());
        size_t hyphen = stem.rfind('-');
        if (hyphen == std::string_view::npos) {
            target.refusal = kCsvNamingMessage;
            return target;
        }
        book = stem.substr(0, hyphen);
        target.kind = LinkKind::Csv;
    } else {
        target.refusal = kInvalidFileTypeMessage;
        return target;
    }
    if (book.find('=') != std::string_view::npos) {
        target.refusal = kIllegalCharacterMessage;
        return target;
    }
    if (book.empty() || book.size() > foundation::kMaxBookNameLength) {
        target.refusal = kBookNameLengthMessage;
        return target;
    }
    target.bookName = std::string(book);
    return target;
}

LinkEditResult registerLink(foundation::LinkRegistry& registry, const RegisterRequest& request) {
    if (int rc = reloadForUser(registry, request.user); rc < 0) return failed(rc);

    const std::string& path = request.pcPath;
    if (path.empty()) return refused(kEnterPathMessage);
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return refused(kPathLineBreakMessage);
    LinkTarget target = linkTargetOf(path);
    if (!target.refusal.empty()) return refused(target.refusal);
    const std::string& book = target.bookName;

    // The user's own link of the book: a handheld book that cannot be linked
    // refuses; a link that already carries a PC path is this user's own
    // registration.
    int ownRegistrations = 0;
    if (const foundation::LinkEntry* own = registry.findLink(request.user, book)) {
        if (own->book.versionSign == 0) return refused(kOldVersionMessage, book);
        if (own->book.versionSign < 0) return refused(kNamingRuleMessage, book);
        // A book found in Backup but never linked carries no reference in
        // bookIndex, so it cannot count as one (or another user's link to
        // another path would be dropped from the index).
        if (!own->pcPath.empty()) ownRegistrations = 1;
    }

    // A book is linked to one PC path across all users: another user's link
    // to another path refuses; the user's own link moves.
    if (const foundation::BookIndexEntry* entry = registry.findBook(book)) {
        if (!platform::sameNoCase(entry->pcPath, path)) {
            if (entry->refCount > ownRegistrations)
                return refused(foundation::fillMessage(kAlreadyRegisteredFormat, entry->pcPath), book);
            registry.removeBook(book);
        }
    }

    LinkEditResult result;
    result.bookName = book;
    if (target.kind == LinkKind::Excel && !platform::isRegularFile(path)) {
        if (!platform::copyFile(registry.templateWorkbookPath, path, false)) {
            std::string message = foundation::fillMessage(kErrorCreatingFormat, path, platform::lastError());
            // The index entry removed above is rebuilt by the next load.
            registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No);
            return refused(message, book);
        }
        result.templateCopied = true;
    }

    foundation::LinkEntry* link = registry.findLink(request.user, book);
    if (!link) {
        foundation::LinkEntry fresh;
        fresh.book.setBookName(book);
        fresh.book.versionSign = foundation::kVersionSignDesktopOnly;
        fresh.book.category = int16_t(request.category >= 0 && request.category <= 15 ? request.category : 0);
        link = &registry.insertLink(registry.userList[size_t(request.user)], std::move(fresh));
    }
    if (result.templateCopied) link->lastSyncedCounter = foundation::kCounterImportNext;
    link->pcPath = path;
    link->syncRule = request.syncRule;
    registry.highResolution = request.highResolution ? 1 : 0;
    link->fontMapping = request.highResolution ? request.fontMapping : -1;

    foundation::BookIndexEntry* entry = registry.findBook(book);
    if (!entry) entry = &registry.insertBook({0, book, path});
    ++entry->refCount;

    if (int rc = saveChanges(registry); rc < 0) return failed(rc, book);
    return result;
}

LinkEditResult unregisterLink(foundation::LinkRegistry& registry, int user, std::string_view bookName) {
    if (int rc = reloadForUser(registry, user); rc < 0) return failed(rc);
    const std::string book(bookName);
    foundation::LinkEntry* link = registry.findLink(user, book);
    if (!link || link->pcPath.empty()) return refused(foundation::fillMessage(kNotLinkedFormat, book), book);
    link->pcPath.clear();
    if (foundation::BookIndexEntry* entry = registry.findBook(book)) {
        if (--entry->refCount < 1) registry.removeBook(book);
    }
    if (int rc = saveChanges(registry); rc < 0) return failed(rc, book);
    LinkEditResult result;
    result.bookName = book;
    return result;
}

void useBackupDiscovery(foundation::LinkRegistry& registry) {
    registry.findHandheldBooks = [&registry](int userIndex, std::vector<foundation::HandheldBook>& books) {
        return FindHandheldBooks(registry, userIndex, books);
    };
}

}  // namespace syncmgr
