#include "workbook/book_lister.h"

#include <algorithm>
#include <vector>

#include "foundation/link_registry.h"
#include "foundation/pdb.h"
#include "platform/bstr.h"
#include "platform/text.h"
#include "workbook/format_version.h"

namespace workbook {

namespace {

constexpr std::string_view kSeparators = "/\\";

bool isApplicationFile(std::string_view name) {
    return platform::sameNoCase(name, kPreferencesDatabaseFile) ||
           platform::sameNoCase(name, kDataDatabaseFile);
}

// The folder to scan: the whole path when it is a folder, else the path
// without its last component. Empty when neither is a folder.
std::string folderOf(const std::string& path, size_t lastSeparator) {
    if (!path.empty() && platform::isDirectory(path)) return path;
    if (lastSeparator == std::string::npos) return {};
    // "/Budget" lies in the root folder.
    std::string folder = path.substr(0, lastSeparator == 0 ? 1 : lastSeparator);
    return platform::isDirectory(folder) ? folder : std::string();
}

}  // namespace

bool belongsToBook(std::string_view name, std::string_view bookName) {
    if (name.size() < bookName.size()) return false;
    if (!platform::sameNoCase(name.substr(0, bookName.size()), bookName)) return false;
    return name.size() == bookName.size() || name[bookName.size()] == '-';
}

int16_t ListBookFiles(TextRecord* record, platform::FileTime* newerThan, std::string& lastListedBook) {
    if (!record) return BF_ERR_PARAMETER;
    // The number a caller walks the sheets by: 0 until something is listed,
    // so a listing that finds nothing leaves no sheet to ask for.
    const int16_t kind = record->number;
    record->number = 0;
    const uint16_t version = dbVersion();
    const bool sheets = kind == kListSheetDatabases;
    const std::string_view ending = sheets ? kSheetDatabaseEnding : kCsvEnding;

    std::string path(platform::byteStringText(record->text));
    size_t cut = path.find_last_of(kSeparators);
    std::string_view bookName =
        cut == std::string::npos ? std::string_view(path) : std::string_view(path).substr(cut + 1);
    if (platform::endsWithNoCase(bookName, ending)) bookName.remove_suffix(ending.size());
    if (size_t hyphen = bookName.rfind('-'); hyphen != std::string_view::npos)
        bookName = bookName.substr(0, hyphen);

    std::string folder = folderOf(path, cut);
    std::vector<platform::DirEntry> entries;
    if (folder.empty() || !platform::listDirectory(folder, entries)) return BF_ERR_PATH;
    std::sort(entries.begin(), entries.end(), [](const platform::DirEntry& a, const platform::DirEntry& b) {
        int c = platform::compareNoCase(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });

    std::string names;
    int16_t count = 0;
    platform::FileTime newest = 0;
    std::string lastDatabase;
    for (const platform::DirEntry& e : entries) {
        if (count == kMaxListedFiles) break;
        if (e.directory || e.hidden || e.system) continue;
        if (!platform::endsWithNoCase(e.name, ending) || isApplicationFile(e.name)) continue;
        if (newerThan && e.lastWrite <= *newerThan) continue;

        std::string compared;
        if (sheets) {
            foundation::PdbHeader header;
            if (!foundation::probePdbHeader(platform::joinPath(folder, e.name), header)) continue;
            if (!foundation::headerMatches(header, kSheetType, kSheetCreator, kMinSheetVersion, version))
                continue;
            compared = header.name;
        } else {
            compared = e.name.substr(0, e.name.size() - ending.size());
        }
        if (!belongsToBook(compared, bookName)) continue;

        newest = std::max(newest, e.lastWrite);
        names += e.name;
        names += '\0';
        ++count;
        if (sheets) lastDatabase = compared.substr(0, foundation::pdb::kMaxNameLength);
    }
    if (count == 0) return 0;

    std::string list = platform::joinPath(folder, bookName);
    list += '\0';
    list += names;
    if (!platform::replaceByteString(record->text, list)) return BF_ERR_MEMORY;
    record->number = count;
    if (sheets) lastListedBook = lastDatabase;
    if (newerThan && newest > *newerThan) *newerThan = newest;
    return count;
}

std::optional<BookListFile> bookListFile(std::string_view list, int k) {
    if (k < 1) return std::nullopt;
    auto next = [&list](std::string_view& out) {
        if (list.empty()) return false;
        size_t end = list.find('\0');
        out = list.substr(0, end);
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        return !out.empty();
    };
    BookListFile file;
    if (!next(file.bookPath)) return std::nullopt;
    for (int i = 0; i < k; ++i)
        if (!next(file.fileName)) return std::nullopt;
    if (file.fileName.find_first_of(kSeparators) != std::string_view::npos || file.fileName == "." ||
        file.fileName == "..")
        return std::nullopt;
    return file;
}

std::string bookFilePath(std::string_view bookPath, std::string_view fileName) {
    size_t cut = bookPath.find_last_of(kSeparators);
    std::string path(cut == std::string_view::npos ? std::string_view() : bookPath.substr(0, cut + 1));
    path += fileName;
    return path;
}

}  // namespace workbook
