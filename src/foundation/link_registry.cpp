#include "foundation/link_registry.h"

#include <algorithm>
#include <cstring>

#include "foundation/link_file.h"
#include "platform/files.h"
#include "platform/text.h"

namespace foundation {

std::string_view HandheldBook::bookName() const {
    return std::string_view(name, strnlen(name, kMaxBookNameLength));
}

void HandheldBook::setBookName(std::string_view text) {
    std::memset(name, 0, sizeof name);
    std::memcpy(name, text.data(), std::min(text.size(), kMaxBookNameLength));
}

namespace {

// The one character of deviceClass in the "enabled=" line, which the reader
// takes alone: the digit, or '0' for a value that one digit cannot hold.
char deviceClassCharacter(int32_t deviceClass) {
    return deviceClass >= 0 && deviceClass <= 9 ? char('0' + deviceClass) : '0';
}

}  // namespace

bool parseLinkLine(std::string_view line, ParsedLinkLine& out) {
    out = ParsedLinkLine();
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    out.link.book.setBookName(line.substr(0, eq));
    out.link.book.versionSign = kVersionSignDesktopOnly;

    std::string_view rest = line.substr(eq + 1);
    // Five numbers, each ended by a comma; a missing or malformed one leaves
    // the rest 0 and the link without a PC path.
    int32_t numbers[5] = {};
    out.complete = true;
    for (int i = 0; i < 5 && out.complete; ++i) {
        size_t comma = rest.find(',');
        if (comma == std::string_view::npos || !parseInt32(rest.substr(0, comma), numbers[i])) {
            out.complete = false;
            break;
        }
        rest = rest.substr(comma + 1);
    }
    LinkEntry& link = out.link;
    link.syncRule = numbers[0];
    link.book.category = int16_t(numbers[1]);
    link.lastSyncedCounter = ScrambleCounter(numbers[2]);
    link.csvSyncTime = {uint32_t(numbers[3]), uint32_t(numbers[4])};
    if (!out.complete) return true;

    size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        int32_t mapping = 0;
        if (!parseInt32(rest.substr(0, question), mapping)) mapping = 0;
        link.fontMapping = mapping;
        link.pcPath = std::string(rest.substr(question + 1));
    } else {
        link.fontMapping = 0;  // the older form: the path alone
        link.pcPath = std::string(rest);
    }
    out.complete = !link.pcPath.empty();
    return true;
}

std::string formatLinkLine(const LinkEntry& link) {
    std::string s(link.name());
    s += '=';
    s += std::to_string(link.syncRule) + ',';
    s += std::to_string(link.book.category) + ',';
    s += std::to_string(ScrambleCounter(link.lastSyncedCounter)) + ',';
    s += std::to_string(int32_t(link.csvSyncTime.low)) + ',';
    s += std::to_string(int32_t(link.csvSyncTime.high)) + ',';
    s += std::to_string(link.fontMapping) + '?';
    s += link.pcPath;
    s += '\n';
    return s;
}

LinkRegistry::LinkRegistry(Product product, std::string fileName, ModuleStateOwner* owner)
    : LinkRegistryBase(std::move(product), std::move(fileName), {}, owner) {}

std::string LinkRegistry::serialize() const {
    std::string out = std::to_string(highResolution) + "\n";
    for (const UserEntry& user : userList) {
        bool any = std::any_of(user.links.begin(), user.links.end(),
                               [](const LinkEntry& l) { return !l.pcPath.empty(); });
        if (!any) continue;
        out += "[" + user.name + "]\n";
        out += "enabled=";
        out += user.enabled == 1 ? '1' : '0';
        out += deviceClassCharacter(user.deviceClass);
        out += '\n';
        for (const LinkEntry& link : user.links)
            if (!link.pcPath.empty()) out += formatLinkLine(link);
    }
    return out;
}

void LinkRegistry::onSettingsRead() {
    templateWorkbookPath = platform::joinPath(settings.productFolder, "dummy.xls");
}

void LinkRegistry::clearLists() {
    userList.clear();
    bookIndex.clear();
}

void LinkRegistry::onFileRead(const LinkFileText& file) {
    if (!file.empty() && !file.firstLine().empty() && file.firstLine()[0] == '1') highResolution = 1;
}

void LinkRegistry::addUser(const std::string& name, const LinkFileText& file, int userIndex) {
    UserEntry user;
    user.name = name.substr(0, kMaxBookNameLength);
    readUserSection(file, user);
    mergeBackup(user, userIndex);
    userList.push_back(std::move(user));
}

void LinkRegistry::readUserSection(const LinkFileText& file, UserEntry& user) {
    if (file.empty()) return;
    std::vector<std::string_view> lines = file.section(user.name);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (i == 0 && line.substr(0, 8) == "enabled=") {
            user.enabled = line.size() > 8 && line[8] == '1' ? 1 : 0;
            if (line.size() > 9) user.deviceClass = static_cast<unsigned char>(line[9]) - '0';
            continue;
        }
        ParsedLinkLine parsed;
        if (!parseLinkLine(line, parsed)) continue;
        if (parsed.complete) {
            BookIndexEntry* entry = findBook(parsed.link.name());
            if (!entry) entry = &insertBook({0, std::string(parsed.link.name()), parsed.link.pcPath});
            ++entry->refCount;
        }
        insertLink(user, std::move(parsed.link));
    }
}

void LinkRegistry::mergeBackup(UserEntry& user, int userIndex) {
    if (!findHandheldBooks) return;
    std::vector<HandheldBook> books;
    if (findHandheldBooks(userIndex, books) < 0) return;
    for (const HandheldBook& book : books) {
        auto [pos, found] =
            lookupSorted(user.links, book.bookName(), [](const LinkEntry& l) { return l.name(); });
        if (!found) {
            // Inserted at pos. (Taking begin() in the same expression as the
            // insert read a stale iterator when the insert reallocated.)
            LinkEntry fresh;
            fresh.book = book;
            user.links.insert(user.links.begin() + std::ptrdiff_t(pos), std::move(fresh));
        }
        user.links[pos].book = book;
    }
}

LinkEntry* LinkRegistry::findLink(int userIndex, std::string_view bookName) {
    if (userIndex < 0 || size_t(userIndex) >= userList.size()) return nullptr;
    auto& links = userList[size_t(userIndex)].links;
    auto [pos, found] = lookupSorted(links, bookName, [](const LinkEntry& l) { return l.name(); });
    return found ? &links[pos] : nullptr;
}

BookIndexEntry* LinkRegistry::findBook(std::string_view bookName) {
    auto [pos, found] =
        lookupSorted(bookIndex, bookName, [](const BookIndexEntry& e) { return std::string_view(e.name); });
    return found ? &bookIndex[pos] : nullptr;
}

LinkEntry& LinkRegistry::insertLink(UserEntry& user, LinkEntry link) {
    auto pos = std::upper_bound(
        user.links.begin(), user.links.end(), link.name(),
        [](std::string_view key, const LinkEntry& l) { return platform::compareNoCase(key, l.name()) < 0; });
    return *user.links.insert(pos, std::move(link));
}

BookIndexEntry& LinkRegistry::insertBook(BookIndexEntry entry) {
    auto [pos, found] =
        lookupSorted(bookIndex, entry.name, [](const BookIndexEntry& e) { return std::string_view(e.name); });
    return *bookIndex.insert(bookIndex.begin() + std::ptrdiff_t(pos), std::move(entry));
}

void LinkRegistry::removeBook(std::string_view bookName) {
    auto [pos, found] =
        lookupSorted(bookIndex, bookName, [](const BookIndexEntry& e) { return std::string_view(e.name); });
    if (found) bookIndex.erase(bookIndex.begin() + std::ptrdiff_t(pos));
}

}  // namespace foundation
