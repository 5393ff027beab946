#include "workbook/sheet_format.h"

#include <algorithm>
#include <cstring>

#include "foundation/byte_reader.h"
#include "foundation/byteorder.h"
#include "foundation/link_registry.h"

namespace workbook {

using foundation::ByteReader;

std::optional<RecordKey> parseRecordKey(std::span<const uint8_t> record) {
    ByteReader in(record);
    RecordKey key;
    key.row = in.be16();
    key.column = in.be16();
    if (!in.ok()) return std::nullopt;
    return key;
}

void appendRecordKey(std::vector<uint8_t>& out, RecordKey key) {
    uint8_t bytes[kKeySize];
    foundation::storeBE16(bytes, key.row);
    foundation::storeBE16(bytes + 2, key.column);
    out.insert(out.end(), bytes, bytes + kKeySize);
}

uint32_t ScrambleCounter(uint32_t value) { return uint32_t(foundation::ScrambleCounter(int32_t(value))); }

// ---- Book header ----------------------------------------------------------

std::optional<BookHeader> decodeBookHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() != kBookHeaderSize) return std::nullopt;
    ByteReader in(bytes);
    BookHeader h;
    h.version = in.be16();
    h.reserved2 = in.u8();
    h.bookFlags = in.u8();
    h.formatFlags = in.be32();
    h.color1 = in.u8();
    h.color2 = in.u8();
    auto reserved10 = in.bytes(h.reserved10.size());
    h.defaultColumnWidth = in.be16();
    h.defaultRowHeight = in.be16();
    h.changeCounter = in.be32();
    h.field20 = in.be16();
    h.setting22 = int16_t(in.be16());
    h.setting24 = int16_t(in.be16());
    h.setting26 = in.be16();
    h.setting28 = in.be16();
    h.setting30 = in.be16();
    h.setting32 = in.be16();
    h.openPasswordHash = in.be32();
    h.options = in.be32();
    h.rowNumberClass = in.u8();
    auto reserved43 = in.bytes(h.reserved43.size());
    h.authorPasswordHash = in.be32();
    h.userPasswordHash = in.be32();
    auto carried = in.bytes(h.carried58.size());
    if (!in.ok()) return std::nullopt;
    std::copy(reserved10.begin(), reserved10.end(), h.reserved10.begin());
    std::copy(reserved43.begin(), reserved43.end(), h.reserved43.begin());
    std::copy(carried.begin(), carried.end(), h.carried58.begin());
    return h;
}

std::array<uint8_t, kBookHeaderSize> encodeBookHeader(const BookHeader& h) {
    using namespace foundation;
    std::array<uint8_t, kBookHeaderSize> b{};
    uint8_t* p = b.data();
    storeBE16(p + header::kVersion, h.version);
    p[header::kReserved2] = h.reserved2;
    p[header::kBookFlags] = h.bookFlags;
    storeBE32(p + header::kFormatFlags, h.formatFlags);
    p[header::kColor1] = h.color1;
    p[header::kColor2] = h.color2;
    std::copy(h.reserved10.begin(), h.reserved10.end(), p + header::kReserved10);
    storeBE16(p + header::kDefaultColumnWidth, h.defaultColumnWidth);
    storeBE16(p + header::kDefaultRowHeight, h.defaultRowHeight);
    storeBE32(p + header::kChangeCounter, h.changeCounter);
    storeBE16(p + header::kField20, h.field20);
    storeBE16(p + header::kSetting22, uint16_t(h.setting22));
    storeBE16(p + header::kSetting24, uint16_t(h.setting24));
    storeBE16(p + header::kSetting26, h.setting26);
    storeBE16(p + header::kSetting28, h.setting28);
    storeBE16(p + header::kSetting30, h.setting30);
    storeBE16(p + header::kSetting32, h.setting32);
    storeBE32(p + header::kOpenPasswordHash, h.openPasswordHash);
    storeBE32(p + header::kOptions, h.options);
    p[header::kRowNumberClass] = h.rowNumberClass;
    std::copy(h.reserved43.begin(), h.reserved43.end(), p + header::kReserved43);
    storeBE32(p + header::kAuthorPasswordHash, h.authorPasswordHash);
    storeBE32(p + header::kUserPasswordHash, h.userPasswordHash);
    std::copy(h.carried58.begin(), h.carried58.end(), p + header::kCarried58);
    return b;
}

std::optional<BookHeader> parseHeaderRecord(std::span<const uint8_t> record) {
    if (record.size() != kHeaderRecordSize) return std::nullopt;
    return decodeBookHeader(record.subspan(kKeySize));
}

std::vector<uint8_t> buildHeaderRecord(const BookHeader& header) {
    std::vector<uint8_t> out;
    out.reserve(kHeaderRecordSize);
    appendRecordKey(out, kHeaderKey);
    auto bytes = encodeBookHeader(header);
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

void storeSheetSettings(const SheetRecord& sheet, BookHeader& header) {
    header.setting24 = int16_t(uint16_t(sheet.setting16));
    header.setting22 = int16_t(uint16_t(sheet.setting20));
    header.setting30 = uint16_t(sheet.setting24);
    header.setting32 = uint16_t(sheet.setting28);
    header.setting26 = uint16_t(sheet.setting32);
    header.setting28 = uint16_t(sheet.setting36);
}

void loadSheetSettings(const BookHeader& header, SheetRecord& sheet) {
    sheet.setting16 = header.setting24;
    sheet.setting20 = header.setting22;
    sheet.setting24 = header.setting30;
    sheet.setting28 = header.setting32;
    sheet.setting32 = header.setting26;
    sheet.setting36 = header.setting28;
}

// ---- Row and column entries ------------------------------------------------

std::optional<std::vector<RowEntry>> parseRowEntries(std::span<const uint8_t> record) {
    if (record.size() < kKeySize) return std::nullopt;
    size_t count = (record.size() - kKeySize) / kRowEntrySize;
    ByteReader in(record);
    in.skip(kKeySize);
    std::vector<RowEntry> entries(count);
    for (RowEntry& e : entries) {
        e.row = in.be16();
        e.height = in.u8();
    }
    if (!in.ok()) return std::nullopt;
    return entries;
}

std::optional<std::vector<ColumnEntry>> parseColumnEntries(std::span<const uint8_t> record) {
    if (record.size() < kKeySize) return std::nullopt;
    size_t count = (record.size() - kKeySize) / kColumnEntrySize;
    ByteReader in(record);
    in.skip(kKeySize);
    std::vector<ColumnEntry> entries(count);
    for (ColumnEntry& e : entries) {
        e.column = in.be16();
        e.width = in.u8();
        e.reserved = in.u8();
        e.flags = in.be32();
        e.textColor = in.u8();
        e.backColor = in.u8();
    }
    if (!in.ok()) return std::nullopt;
    return entries;
}

std::vector<uint8_t> buildRowEntriesRecord(std::span<const RowEntry> entries) {
    std::vector<uint8_t> out;
    out.reserve(kKeySize + kRowEntrySize * entries.size());
    appendRecordKey(out, kRowEntriesKey);
    for (const RowEntry& e : entries) {
        uint8_t b[kRowEntrySize];
        foundation::storeBE16(b, e.row);
        b[2] = e.height;
        out.insert(out.end(), b, b + kRowEntrySize);
    }
    return out;
}

std::vector<uint8_t> buildColumnEntriesRecord(std::span<const ColumnEntry> entries) {
    std::vector<uint8_t> out;
    out.reserve(kKeySize + kColumnEntrySize * entries.size());
    appendRecordKey(out, kColumnEntriesKey);
    for (const ColumnEntry& e : entries) {
        uint8_t b[kColumnEntrySize];
        foundation::storeBE16(b + column_entry::kColumn, e.column);
        b[column_entry::kWidth] = e.width;
        b[column_entry::kReserved] = e.reserved;
        foundation::storeBE32(b + column_entry::kFlags, e.flags);
        b[column_entry::kTextColor] = e.textColor;
        b[column_entry::kBackColor] = e.backColor;
        out.insert(out.end(), b, b + kColumnEntrySize);
    }
    return out;
}

// ---- Cell records ------------------------------------------------------------------

std::optional<SheetCell> parseCellRecord(std::span<const uint8_t> record) {
    ByteReader in(record);
    SheetCell c;
    c.key.row = in.be16();
    c.key.column = in.be16();
    c.flags = in.be32();
    c.textColor = in.u8();
    c.backColor = in.u8();
    c.chartByteA = in.u8();
    c.chartByteB = in.u8();
    c.value = in.beDouble();
    uint16_t length = in.be16();
    in.skip(cell::kReservedSize);
    auto text = in.bytes(length);
    if (!in.ok()) return std::nullopt;
    c.text = std::string_view(reinterpret_cast<const char*>(text.data()), text.size());
    return c;
}

size_t encodeCellRecord(const SheetCell& c, std::span<uint8_t> out) {
    using namespace foundation;
    if (c.text.size() > kMaxRecordTextLength) return 0;
    size_t size = cellRecordSize(c.text.size());
    if (out.size() < size) return 0;
    uint8_t* p = out.data();
    storeBE16(p, c.key.row);
    storeBE16(p + 2, c.key.column);
    uint8_t* f = p + kKeySize;
    storeBE32(f + cell::kFlags, c.flags);
    f[cell::kTextColor] = c.textColor;
    f[cell::kBackColor] = c.backColor;
    f[cell::kChartByteA] = c.chartByteA;
    f[cell::kChartByteB] = c.chartByteB;
    storeBEDouble(f + cell::kValue, c.value);
    storeBE16(f + cell::kTextLength, uint16_t(c.text.size()));
    std::memset(f + cell::kReserved, 0, cell::kReservedSize);
    if (!c.text.empty()) std::memcpy(f + cell::kText, c.text.data(), c.text.size());
    return size;
}

bool appendCellRecord(std::vector<uint8_t>& out, const SheetCell& c) {
    if (c.text.size() > kMaxRecordTextLength) return false;
    size_t start = out.size();
    out.resize(start + cellRecordSize(c.text.size()));
    encodeCellRecord(c, std::span<uint8_t>(out).subspan(start));
    return true;
}

// ---- Charts ---------------------------------------------------------------------------

std::string buildChartDefinitionText(std::string_view names, std::string_view categories,
                                     std::span<const std::string> values) {
    std::string text(kChartDefinitionPrefix);
    text += names.empty() ? kNoRange : names;
    text += ',';
    text += categories.empty() ? kNoRange : categories;
    for (const std::string& v : values) {
        text += ',';
        text += v;
    }
    text += ')';
    return text;
}

std::optional<ChartDefinition> splitChartDefinitionText(std::string_view text) {
    if (!text.starts_with(kChartDefinitionPrefix)) return std::nullopt;
    std::string_view body = text.substr(kChartDefinitionPrefix.size());
    if (body.ends_with(')')) body.remove_suffix(1);

    std::vector<std::string_view> args;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i <= body.size(); ++i) {
        if (i == body.size() || (body[i] == ',' && !quoted)) {
            args.push_back(body.substr(start, i - start));
            start = i + 1;
        } else if (body[i] == '\'') {
            quoted = !quoted;  // a doubled quote inside a name toggles twice
        }
    }

    ChartDefinition def;
    auto range = [](std::string_view arg) { return arg == kNoRange ? std::string_view{} : arg; };
    if (args.size() > 0) def.names = range(args[0]);
    if (args.size() > 1) def.categories = range(args[1]);
    for (size_t i = 2; i < args.size(); ++i) def.values.push_back(args[i]);
    return def;
}

std::string buildChartItemText(uint16_t itemNumber, std::string_view firstString) {
    firstString = firstString.substr(0, firstString.find('\0'));
    std::string text;
    text.reserve(firstString.size() + 3);
    text += char(uint8_t(itemNumber >> 8));
    text += char(uint8_t(itemNumber));
    text += firstString;
    text += '\0';
    return text;
}

std::optional<ChartItem> parseChartItemText(std::string_view text) {
    if (text.size() < 2) return std::nullopt;
    ChartItem item;
    item.itemNumber = foundation::loadBE16(reinterpret_cast<const uint8_t*>(text.data()));
    item.name = text.substr(2);
    if (item.name.ends_with('\0')) item.name.remove_suffix(1);
    return item;
}

std::vector<uint8_t> buildTerminatorRecord() {
    std::vector<uint8_t> out;
    appendRecordKey(out, kTerminatorKey);
    return out;
}

}  // namespace workbook
