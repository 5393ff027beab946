#include "text/doc_registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "foundation/file_names.h"
#include "foundation/pdb.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "text/doc_format.h"

namespace text {

using foundation::lookupSorted;

std::string_view DocFileEntry::fileName() const {
    return std::string_view(name, strnlen(name, kMaxDocFileNameLength));
}

void DocFileEntry::setFileName(std::string_view text) {
    std::memset(name, 0, sizeof name);
    std::memcpy(name, text.data(), std::min(text.size(), kMaxDocFileNameLength));
}

namespace {

std::string_view entryName(const DocLinkEntry& e) { return e.name(); }

// The next comma-separated field of rest, or nothing when there is none.
bool nextField(std::string_view& rest, bool& more, std::string_view& field) {
    if (!more) return false;
    size_t comma = rest.find(',');
    field = rest.substr(0, comma);
    if (comma == std::string_view::npos) {
        more = false;
        rest = {};
    } else {
        rest = rest.substr(comma + 1);
    }
    return true;
}

bool hasPdbEnding(std::string_view name) {
    return name.size() >= 4 && platform::sameNoCase(name.substr(name.size() - 4), ".pdb");
}

// Lists one folder's Doc databases into out (sorted, one entry per name).
bool scanFolder(const std::string& folder, std::vector<DocFileEntry>& out) {
    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(folder, entries)) return false;
    for (const platform::DirEntry& e : entries) {
        if (e.directory || e.hidden || e.system || !hasPdbEnding(e.name)) continue;
        // An entry holds 63 characters; a longer name would name another file.
        if (e.name.size() > kMaxDocFileNameLength) continue;
        foundation::PdbHeader header;
        if (!foundation::probePdbHeader(platform::joinPath(folder, e.name), header)) continue;
        if (header.type != kDocType || header.creator != kDocCreator) continue;

        auto [pos, found] = lookupSorted(out, e.name, [](const DocFileEntry& f) { return f.fileName(); });
        if (!found) {
            DocFileEntry fresh;
            fresh.setFileName(e.name);
            pos = size_t(out.insert(out.begin() + std::ptrdiff_t(pos), fresh) - out.begin());
        }
        if (e.lastWrite > out[pos].newestTime.value())
            out[pos].newestTime = foundation::FileTimeParts::of(e.lastWrite);
    }
    return true;
}

}  // namespace

bool parseDocLinkLine(std::string_view line, ParsedDocLine& out) {
    out = ParsedDocLine();
    // A line ends at a NUL byte, as a C string does.
    line = line.substr(0, line.find('\0'));
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    DocLinkEntry& entry = out.entry;
    entry.file.setFileName(line.substr(0, eq));

    std::string_view rest = line.substr(eq + 1);
    bool more = true;
    int32_t numbers[5] = {};
    int read = 0;
    std::string_view field;
    while (read < 5 && nextField(rest, more, field) && foundation::parseInt32(field, numbers[read])) ++read;
    entry.syncRule = numbers[0];
    entry.category = int16_t(numbers[1]);
    entry.lastSyncedCounter = numbers[2];
    entry.syncTimeLow = numbers[3];
    entry.syncTimeHigh = numbers[4];
    if (read < 5 || !nextField(rest, more, field)) return true;
    // The path ends at the next comma: a path holding a comma is cut there.
    entry.pcPath = std::string(field);
    out.complete = !entry.pcPath.empty();
    return true;
}

std::string formatDocLinkLine(const DocLinkEntry& entry) {
    std::string s(entry.name());
    s += '=';
    s += std::to_string(entry.syncRule) + ',';
    s += std::to_string(entry.category) + ',';
    s += std::to_string(entry.lastSyncedCounter) + ',';
    s += std::to_string(entry.syncTimeLow) + ',';
    s += std::to_string(entry.syncTimeHigh) + ',';
    s += entry.pcPath;
    s += '\n';
    return s;
}

DocLinkEntry& insertDocEntry(std::vector<DocLinkEntry>& entries, DocLinkEntry entry) {
    auto pos = std::upper_bound(entries.begin(), entries.end(), entry.name(),
                                [](std::string_view key, const DocLinkEntry& e) {
                                    return platform::compareNoCase(key, e.name()) < 0;
                                });
    return *entries.insert(pos, std::move(entry));
}

std::vector<DocLinkEntry> readDocSection(const foundation::LinkFileText& file, std::string_view userName) {
    std::vector<DocLinkEntry> entries;
    if (file.empty()) return entries;
    for (std::string_view line : file.section(userName)) {
        ParsedDocLine parsed;
        if (parseDocLinkLine(line, parsed)) insertDocEntry(entries, std::move(parsed.entry));
    }
    return entries;
}

std::string serializeDocUsers(const std::vector<DocUserEntry>& users) {
    std::string out;
    for (const DocUserEntry& user : users) {
        bool any = std::any_of(user.entries.begin(), user.entries.end(),
                               [](const DocLinkEntry& e) { return !e.pcPath.empty(); });
        if (!any) continue;
        out += "[" + user.name + "]\n";
        for (const DocLinkEntry& entry : user.entries)
            if (!entry.pcPath.empty()) out += formatDocLinkLine(entry);
    }
    return out;
}

int findDocDatabases(const std::string& userFolder, const std::string& backupFolderName,
                     std::vector<DocFileEntry>& out) {
    out.clear();
    // The folder is read by its full path; one that names no root (on
    // Windows: no drive letter, as a network path) cannot be searched.
    if (userFolder.empty() || !platform::isAbsolutePath(userFolder)) return BF_ERR_PATH;
    try {
        out.reserve(kInitialDocListRoom);
        std::string backup = platform::joinPath(userFolder, backupFolderName);
        if (!scanFolder(backup, out)) {
            // Without a Backup folder: the same path with its last part
            // removed (the user folder).
            out.clear();
            size_t cut = backup.find_last_of(platform::kPathSeparator);
            std::string parent = backup.substr(0, cut == 0 ? 1 : cut);
            if (cut == std::string::npos || !scanFolder(parent, out)) {
                out.clear();
                return BF_ERR_PATH;
            }
        }
        return int(out.size());
    } catch (const std::bad_alloc&) {
        out.clear();
        return BF_ERR_MEMORY;
    }
}

std::string syncOpenFailureText(int error) {
    // %08x shows the error as an HRESULT of the Win32 facility, the form in
    // which Windows tools report a failed call.
    const uint32_t hresult = 0x80070000u | (uint32_t(error) & 0xFFFFu);
    char text[64];
    std::snprintf(text, sizeof text, kSyncOpenFailureFormat, error, unsigned(hresult));
    return text;
}

namespace {

foundation::SyncFile::Options textSyncOptions() {
    foundation::SyncFile::Options options;
    options.createWhenMissing = true;
    options.onOpenFailure = [](int error) {
        platform::ui::messageBox(nullptr, syncOpenFailureText(error), kSyncOpenFailureCaption,
                                 platform::ui::Buttons::Ok, platform::ui::Icon::Error);
    };
    return options;
}

}  // namespace

DocRegistry::DocRegistry() : DocRegistry(textSyncOptions()) {}

DocRegistry::DocRegistry(foundation::SyncFile::Options syncOptions)
    : LinkRegistryBase(foundation::Product{kProductName}, kRegistryFileName, std::move(syncOptions)) {
    findDatabases = [this](int userIndex, std::vector<DocFileEntry>& found) {
        return findDocDatabases(userFolder(userIndex), settings.backupFolderName, found);
    };
}

std::string DocRegistry::serialize() const { return serializeDocUsers(userList); }

void DocRegistry::clearLists() { userList.clear(); }

void DocRegistry::addUser(const std::string& name, const foundation::LinkFileText& file, int userIndex) {
    DocUserEntry user;
    user.name = name.substr(0, foundation::kMaxBookNameLength);
    user.entries = readDocSection(file, user.name);
    mergeBackup(user, userIndex);
    userList.push_back(std::move(user));
}

void DocRegistry::mergeBackup(DocUserEntry& user, int userIndex) {
    if (!findDatabases) return;
    std::vector<DocFileEntry> found;
    if (findDatabases(userIndex, found) < 0) return;
    for (const DocFileEntry& database : found) {
        auto [pos, matched] = lookupSorted(user.entries, database.fileName(), entryName);
        if (!matched) {
            DocLinkEntry fresh;
            fresh.file = database;
            user.entries.insert(user.entries.begin() + std::ptrdiff_t(pos), std::move(fresh));
            continue;
        }
        // The entry takes the found name and time; its numbers and path stay.
        DocLinkEntry& entry = user.entries[pos];
        entry.file = database;
        entry.category = 0;
    }
}

DocLinkEntry* DocRegistry::findEntry(int userIndex, std::string_view name) {
    if (userIndex < 0 || size_t(userIndex) >= userList.size()) return nullptr;
    auto& entries = userList[size_t(userIndex)].entries;
    auto [pos, found] = lookupSorted(entries, name, entryName);
    return found ? &entries[pos] : nullptr;
}

std::string DocRegistry::backupDatabasePath(int userIndex, std::string_view name) const {
    if (userIndex < 0 || !foundation::isSafeFileNamePart(name)) return {};
    std::string folder = backupFolder(userIndex);
    return folder.empty() ? std::string() : platform::joinPath(folder, name);
}

}  // namespace text
