#include "handheld.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "foundation/byteorder.h"
#include "foundation/file_names.h"
#include "foundation/link_registry.h"
#include "foundation/pdb.h"
#include "platform/files.h"
#include "platform/text.h"
#include "workbook/format_version.h"
#include "workbook/sheet_format.h"

namespace hotsync {

namespace {

namespace pdb = foundation::pdb;

// One record as it travels between files: its list entry's attribute byte
// and unique ID, and its bytes.
struct RecordCopy {
    uint8_t attributes = 0;
    uint32_t uniqueId = 0;  // 24 bits
    std::vector<uint8_t> bytes;
};

struct ParsedDatabase {
    std::vector<uint8_t> header;  // the 78 header bytes as in the file
    std::vector<RecordCopy> records;
};

std::optional<ParsedDatabase> parseDatabase(std::span<const uint8_t> file) {
    foundation::PdbImage image;
    if (!foundation::loadPdbFromBytes(image, file)) return std::nullopt;
    ParsedDatabase db;
    db.header.assign(file.begin(), file.begin() + pdb::kHeaderSize);
    for (size_t i = 0; i < image.numRecords(); ++i) {
        auto record = foundation::recordAt(image, i);
        if (!record) return std::nullopt;
        const uint8_t* entry = &file[pdb::kHeaderSize + pdb::kEntrySize * i];
        RecordCopy copy;
        copy.attributes = entry[4];
        copy.uniqueId = (uint32_t(entry[5]) << 16) | (uint32_t(entry[6]) << 8) | entry[7];
        copy.bytes.assign(record->begin(), record->end());
        db.records.push_back(std::move(copy));
    }
    return db;
}

// The file bytes of a database: its header fields as read (the name field
// whole, bytes after its NUL included), its records in order.
std::vector<uint8_t> assembleDatabase(const ParsedDatabase& db) {
    foundation::PdbHeader header;
    foundation::parsePdbHeader(db.header, header);  // db.header holds a whole header
    header.name.assign(db.header.begin(), db.header.begin() + pdb::kNameSize);
    std::vector<foundation::PdbRecordData> records;
    records.reserve(db.records.size());
    for (const RecordCopy& r : db.records) records.push_back({r.bytes, r.attributes, r.uniqueId});
    return foundation::buildPdb(header, records);
}

bool isSheetDatabase(const ParsedDatabase& db) {
    foundation::PdbHeader header;
    if (!foundation::parsePdbHeader(db.header, header)) return false;
    return header.type == workbook::kSheetType && header.creator == workbook::kSheetCreator &&
           db.records.size() >= workbook::kFirstCellRecord &&
           workbook::parseHeaderRecord(db.records[workbook::kHeaderRecord].bytes).has_value();
}

void setCounter(ParsedDatabase& db, uint32_t counter) {
    std::vector<uint8_t>& record0 = db.records[workbook::kHeaderRecord].bytes;
    foundation::storeBE32(&record0[workbook::kKeySize + workbook::header::kChangeCounter],
                          workbook::ScrambleCounter(counter));
}

std::string fourChars(uint32_t v) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        uint8_t c = uint8_t(v >> (24 - 8 * i));
        s[size_t(i)] = c >= 0x20 && c < 0x7F ? char(c) : '?';
    }
    return s;
}

bool hasDatabaseEnding(std::string_view name) {
    return name.size() > kDatabaseEnding.size() &&
           platform::sameNoCase(name.substr(name.size() - kDatabaseEnding.size()), kDatabaseEnding);
}

// A cell's value: the number the text spells, else 0.
double valueOf(std::string_view text) {
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(v) ? v : 0.0;
}

}  // namespace

std::string_view bookOf(std::string_view databaseName) {
    size_t hyphen = databaseName.rfind('-');
    return hyphen == std::string_view::npos ? databaseName : databaseName.substr(0, hyphen);
}

std::optional<std::string> databaseNameOf(std::span<const uint8_t> file) {
    foundation::PdbHeader header;
    if (!foundation::parsePdbHeader(file, header)) return std::nullopt;
    return header.name;
}

std::optional<uint32_t> sheetCounter(std::span<const uint8_t> file) {
    auto db = parseDatabase(file);
    if (!db || !isSheetDatabase(*db)) return std::nullopt;
    auto header = workbook::parseHeaderRecord(db->records[workbook::kHeaderRecord].bytes);
    return workbook::ScrambleCounter(header->changeCounter);
}

std::optional<std::vector<uint8_t>> withSheetCounter(std::span<const uint8_t> file, uint32_t counter) {
    auto db = parseDatabase(file);
    if (!db || !isSheetDatabase(*db)) return std::nullopt;
    setCounter(*db, counter);
    return assembleDatabase(*db);
}

std::optional<std::vector<uint8_t>> withCell(std::span<const uint8_t> file, uint16_t row, uint16_t column,
                                             std::string_view text, std::string& error) {
    const workbook::RecordKey key{row, column};
    if (!workbook::isCellKey(key)) {
        error = "a cell lies in rows 1-9999 and columns 1-256";
        return std::nullopt;
    }
    if (text.size() > workbook::kMaxCellTextLength) {
        error = "a cell holds at most 32766 bytes";
        return std::nullopt;
    }
    auto db = parseDatabase(file);
    if (!db || !isSheetDatabase(*db)) {
        error = "not a sheet database";
        return std::nullopt;
    }
    workbook::SheetCell cell;
    cell.key = key;
    cell.text = text;
    cell.value = valueOf(text);
    // Cells stay in row and column order; a cell already there keeps its
    // format, colours and chart bytes.
    size_t at = workbook::kFirstCellRecord;
    bool replace = false;
    for (; at < db->records.size(); ++at) {
        auto found = workbook::parseRecordKey(db->records[at].bytes);
        if (!found || !workbook::isCellKey(*found)) break;
        if (*found == key) {
            if (auto old = workbook::parseCellRecord(db->records[at].bytes)) {
                cell.flags = old->flags;
                cell.textColor = old->textColor;
                cell.backColor = old->backColor;
                cell.chartByteA = old->chartByteA;
                cell.chartByteB = old->chartByteB;
            }
            replace = true;
            break;
        }
        if (found->row > row || (found->row == row && found->column > column)) break;
    }
    RecordCopy record;
    workbook::appendCellRecord(record.bytes, cell);
    if (replace) {
        record.attributes = db->records[at].attributes;
        record.uniqueId = db->records[at].uniqueId;
        db->records[at] = std::move(record);
    } else {
        if (db->records.size() >= workbook::kMaxRecords) {
            error = "the sheet is full";
            return std::nullopt;
        }
        uint32_t highest = 0;
        for (const RecordCopy& r : db->records) highest = std::max(highest, r.uniqueId);
        record.uniqueId = (highest + 1) & 0xFFFFFF;
        db->records.insert(db->records.begin() + std::ptrdiff_t(at), std::move(record));
    }
    return assembleDatabase(*db);
}

bool Handheld::create(std::string& error) const {
    size_t cut = folder_.find_last_of(platform::kPathSeparator);
    if (cut != std::string::npos && cut > 0) {
        const std::string parent = folder_.substr(0, cut);
        if (!platform::isDirectory(parent)) platform::createDirectory(parent);
    }
    if (!platform::isDirectory(folder_) && !platform::createDirectory(folder_)) {
        error = "cannot create " + folder_ + ": " + platform::errorText(platform::lastError());
        return false;
    }
    return true;
}

std::string Handheld::databasePath(std::string_view name) const {
    return platform::joinPath(folder_, std::string(name) + std::string(kDatabaseEnding));
}

std::vector<DatabaseInfo> Handheld::databases() const {
    std::vector<platform::DirEntry> entries;
    std::vector<DatabaseInfo> out;
    if (!platform::listDirectory(folder_, entries)) return out;
    for (const platform::DirEntry& e : entries) {
        if (e.directory || e.hidden || e.system || !hasDatabaseEnding(e.name)) continue;
        std::vector<uint8_t> bytes;
        if (!platform::readWholeFile(platform::joinPath(folder_, e.name), bytes)) continue;
        foundation::PdbHeader header;
        if (!foundation::parsePdbHeader(bytes, header)) continue;
        DatabaseInfo info;
        info.fileName = e.name;
        info.name = header.name;
        info.type = fourChars(header.type);
        info.creator = fourChars(header.creator);
        info.version = header.version;
        info.numRecords = header.numRecords;
        info.changeCounter = sheetCounter(bytes);
        out.push_back(std::move(info));
    }
    std::sort(out.begin(), out.end(),
              [](const DatabaseInfo& a, const DatabaseInfo& b) { return a.name < b.name; });
    return out;
}

uint32_t Handheld::bookCounter(std::string_view book) const {
    uint32_t highest = 0;
    for (const DatabaseInfo& db : databases())
        if (db.changeCounter && platform::sameNoCase(bookOf(db.name), book))
            highest = std::max(highest, *db.changeCounter);
    return highest;
}

Handheld::InstallResult Handheld::install(std::span<const uint8_t> bytes, std::optional<uint32_t> counter,
                                          std::string& name, std::string& error) const {
    foundation::PdbImage image;
    if (!foundation::loadPdbFromBytes(image, bytes)) {
        error = "not a Palm database";
        return InstallResult::Refused;
    }
    name = image.name();
    if (!foundation::isSafeFileNamePart(name)) {
        error = "the database name \"" + name + "\" cannot be a file name";
        return InstallResult::Refused;
    }
    std::vector<uint8_t> file(bytes.begin(), bytes.end());
    if (auto own = sheetCounter(bytes)) {
        const uint32_t next = counter ? *counter : std::max(bookCounter(bookOf(name)), *own) + 1;
        file = *withSheetCounter(bytes, next);
    }
    if (!platform::writeFileAtomically(databasePath(name), file.data(), file.size())) {
        error = "cannot write " + databasePath(name) + ": " + platform::errorText(platform::lastError());
        return InstallResult::Failed;
    }
    return InstallResult::Installed;
}

bool Handheld::setCell(std::string_view database, uint16_t row, uint16_t column, std::string_view text,
                       uint32_t& counter, std::string& error) const {
    if (!foundation::isSafeFileNamePart(database)) {
        error = "\"" + std::string(database) + "\" cannot be a database name";
        return false;
    }
    const std::string path = databasePath(database);
    std::vector<uint8_t> bytes;
    if (!platform::readWholeFile(path, bytes)) {
        error = "no database " + std::string(database) + " on the handheld (" + path + ")";
        return false;
    }
    auto edited = withCell(bytes, row, column, text, error);
    if (!edited) return false;
    foundation::PdbImage image;
    foundation::loadPdbFromBytes(image, *edited);
    counter = bookCounter(bookOf(image.name())) + 1;
    auto counted = withSheetCounter(*edited, counter);
    if (!counted) {
        error = "not a sheet database";
        return false;
    }
    if (!platform::writeFileAtomically(path, counted->data(), counted->size())) {
        error = "cannot write " + path + ": " + platform::errorText(platform::lastError());
        return false;
    }
    return true;
}

bool Handheld::sheetCells(std::string_view database, std::vector<SheetCellText>& cells,
                          std::string& error) const {
    std::vector<uint8_t> bytes;
    if (!foundation::isSafeFileNamePart(database) ||
        !platform::readWholeFile(databasePath(database), bytes)) {
        error = "no database " + std::string(database) + " on the handheld";
        return false;
    }
    auto db = parseDatabase(bytes);
    if (!db || !isSheetDatabase(*db)) {
        error = std::string(database) + " is not a sheet database";
        return false;
    }
    for (size_t i = workbook::kFirstCellRecord; i < db->records.size(); ++i) {
        auto cell = workbook::parseCellRecord(db->records[i].bytes);
        if (!cell || !workbook::isCellKey(cell->key)) continue;
        cells.push_back({cell->key.row, cell->key.column, std::string(cell->text)});
    }
    return true;
}

}  // namespace hotsync
