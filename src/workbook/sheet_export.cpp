#include "workbook/sheet_export.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>

#include "foundation/byteorder.h"
#include "foundation/file_names.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"
#include "workbook/chart_formula.h"
#include "workbook/currency.h"
#include "workbook/font_levels.h"
#include "workbook/format_version.h"
#include "workbook/palette.h"

namespace workbook {

using namespace sheet_export;
namespace pdb = foundation::pdb;

namespace {

// Sets a flag for the span of a scope.
class SetTrue {
public:
    explicit SetTrue(bool& flag) : flag_(flag) { flag_ = true; }
    ~SetTrue() { flag_ = false; }
    SetTrue(const SetTrue&) = delete;
    SetTrue& operator=(const SetTrue&) = delete;

private:
    bool& flag_;
};

FontSettings fontSettings(const TransferContext& context, int32_t defaultFontSize) {
    return FontSettings{context.registry.highResolution != 0, context.options.fontMapping, defaultFontSize};
}

}  // namespace

// ---- Names and texts -----------------------------------------------------------

std::string sheetDatabaseName(std::string_view bookName, std::string_view sheetName) {
    std::string full(bookName);
    if (!sheetName.empty()) {
        full += '-';
        full += sheetName;
    }
    std::string_view name = platform::fileNamePart(full);
    for (std::string_view ending : kDroppedEndings) {
        if (platform::endsWithNoCase(name, ending)) {
            name.remove_suffix(ending.size());
            break;
        }
    }
    return std::string(name.substr(0, pdb::kMaxNameLength));
}

// ---- Export state --------------------------------------------------------------------

uint16_t SheetExport::numRecords() const {
    return workbookImage_.hasHeader() ? workbookImage_.numRecords() : 0;
}

std::string SheetExport::databaseName() const {
    return workbookImage_.hasHeader() ? workbookImage_.name() : "";
}

void SheetExport::setNumRecords(size_t n) { workbookImage_.setNumRecords(uint16_t(n)); }

void SheetExport::release() {
    if (inAfterWrite_) return;  // the closing call still holds the sheet
    started_ = false;
    std::vector<uint8_t>().swap(workbookImage_.bytes);
    std::vector<uint8_t>().swap(recordBuffer_);
    std::vector<std::string>().swap(chartList_);
    writeOffset_ = 0;
    resetTables();
    header_ = BookHeader{};
}

void SheetExport::resetTables() {
    rowTable_.fill(kSizeNotSet);
    for (size_t c = 0; c < columnTable_.size(); ++c) {
        columnTable_[c] = ColumnEntry{};
        columnTable_[c].column = uint16_t(c);
    }
    rowCount_ = 0;
    columnCount_ = 0;
    chartList_.clear();
}

bool SheetExport::ensureRoom(size_t bytes) {
    size_t free = recordBuffer_.size() - writeOffset_;
    if (free >= bytes) return true;
    size_t steps = (bytes - free + kRecordBufferStep - 1) / kRecordBufferStep;
    try {
        recordBuffer_.resize(recordBuffer_.size() + steps * kRecordBufferStep, 0);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool SheetExport::appendRecordEntry() {
    size_t n = numRecords();
    // The list never fills below the record limit; the check keeps every
    // entry inside the image whatever happens.
    if (n + 1 >= kRecordListCapacity) return false;
    workbookImage_.setRecordOffset(n, uint32_t(writeOffset_));
    return true;
}

// ---- Starting a sheet ----------------------------------------------------------------

int16_t SheetExport::SetSheetName(TransferContext& context, SheetRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    started_ = false;
    // The folder part of a database name is dropped, so a separator in the
    // sheet name would cut the book name off and the file could replace
    // another book's database.
    const std::string_view sheetName = platform::byteStringText(record->sheetName);
    if (sheetName.find_first_of("/\\") != std::string_view::npos) return BF_ERR_WRITE;
    try {
        const uint16_t version = dbVersion();
        defaultFontSize_ = record->defaultFontSize;
        std::string name = sheetDatabaseName(context.options.exportTarget.exportBookName, sheetName);

        workbookImage_.bytes.assign(kBuildImageSize, 0);
        workbookImage_.setName(name);
        workbookImage_.setVersion(version);
        workbookImage_.setField32(pdb::kCreationDateOffset, pdb::kFixedDate);
        workbookImage_.setField32(pdb::kModificationDateOffset, pdb::kFixedDate);
        workbookImage_.setField32(pdb::kTypeOffset, kSheetType);
        workbookImage_.setField32(pdb::kCreatorOffset, kSheetCreator);
        setNumRecords(kFixedRecords);
        resetTables();

        recordBuffer_.assign(kRecordBufferStart, 0);
        header_ = bookHeaderTemplate();
        header_.version = version;
        header_.rowNumberClass = kRowClassUpTo99;
        header_.formatFlags = uint32_t(record->formatFlags);
        // The template's options stay: the record's bits are added to them.
        header_.options |= uint32_t(record->options);
        header_.bookFlags |= kBookDesktopSizes;
        if (context.registry.highResolution) {
            header_.bookFlags |= kBookHighResolution;
            header_.formatFlags |= kFlagHighResFont;
        }
        header_.formatFlags |= fontBitsForPoints(record->fontSize, fontSettings(context, defaultFontSize_));

        mergeHandheldCopy(context);
        record->deviceClass = int16_t(deviceClass_);
        header_.setCategory(unsigned(context.options.exportCategory));
        storeSheetSettings(*record, header_);
        header_.options |= uint32_t(record->options);
        header_.authorPasswordHash = context.options.exportTarget.authorPasswordHash;
        header_.userPasswordHash = context.options.exportTarget.userPasswordHash;
        header_.color1 = kBlackIndex;
        header_.color2 = kWhiteIndex;

        workbookImage_.setRecordOffset(0, 0);
        writeOffset_ = kHeaderRecordSize;
        started_ = true;
        return 1;
    } catch (const std::bad_alloc&) {
        release();
        return BF_ERR_MEMORY;
    }
}

void SheetExport::mergeHandheldCopy(TransferContext& context) {
    foundation::LinkRegistry& registry = context.registry;
    std::string name = workbookImage_.name();
    // A name that cannot be a file name has no copy in Backup.
    bool usableName = foundation::isSafeFileNamePart(name);
    // A sheet for one user merges that user's own copy only: another user's
    // password and layout must not reach his handheld.
    const int32_t target = context.options.exportTargetUser;
    const size_t first = target < 0 ? 0 : size_t(target);
    const size_t end = target < 0 ? registry.userList.size() : std::min(first + 1, registry.userList.size());
    for (size_t u = first; u < end; ++u) {
        if (registry.userList[u].deviceClass != 0) deviceClass_ = registry.userList[u].deviceClass;
        if (!usableName) continue;
        std::string folder = registry.userFolder(int(u));
        if (folder.empty()) continue;
        std::string path =
            platform::joinPath(platform::joinPath(folder, registry.settings.backupFolderName), name + ".pdb");
        if (takeHandheldCopy(path)) return;
    }
}

bool SheetExport::takeHandheldCopy(const std::string& path) {
    foundation::PdbImage copy;
    if (!foundation::loadPdb(copy, path)) return false;
    if (copy.type() != kSheetType || copy.creator() != kSheetCreator) return false;
    if (copy.version() < kMinSheetVersion || copy.version() > dbVersion()) return false;
    auto record0 = foundation::recordAt(copy, kHeaderRecord);
    if (!record0) return false;
    auto handheld = parseHeaderRecord(*record0);
    if (!handheld) return false;

    header_.openPasswordHash = handheld->openPasswordHash;
    header_.formatFlags = handheld->formatFlags;
    header_.options |= handheld->options & kHandheldOptionsMask;
    header_.bookFlags = handheld->bookFlags;
    header_.color1 = handheld->color1;
    header_.color2 = handheld->color2;
    header_.defaultColumnWidth = handheld->defaultColumnWidth;
    header_.defaultRowHeight = handheld->defaultRowHeight;
    header_.setting22 = handheld->setting22;
    header_.setting24 = handheld->setting24;
    header_.setting26 = handheld->setting26;
    header_.setting28 = handheld->setting28;
    header_.setting30 = handheld->setting30;
    header_.setting32 = handheld->setting32;
    header_.rowNumberClass = handheld->rowNumberClass;
    header_.carried58 = handheld->carried58;

    // Entries outside the tables are dropped; the counts are those of the
    // entries that will be written, so a copy with repeated rows or entries
    // that say "not set" cannot shift the offsets of the new file.
    if (auto record1 = foundation::recordAt(copy, kRowEntriesRecord))
        if (auto rows = parseRowEntries(*record1))
            for (const RowEntry& e : *rows)
                if (e.row >= 1 && e.row <= kMaxRow) rowTable_[e.row] = e.height;
    if (auto record2 = foundation::recordAt(copy, kColumnEntriesRecord))
        if (auto columns = parseColumnEntries(*record2))
            for (const ColumnEntry& e : *columns)
                if (e.column >= 1 && e.column <= kMaxColumn) columnTable_[e.column] = e;
    rowCount_ = size_t(
        std::count_if(rowTable_.begin() + 1, rowTable_.end(), [](uint8_t h) { return h != kSizeNotSet; }));
    columnCount_ = size_t(std::count_if(columnTable_.begin() + 1, columnTable_.end(),
                                        [](const ColumnEntry& e) { return !e.isDefault(); }));
    return true;
}

// ---- Taking data --------------------------------------------------------------------------

int16_t SheetExport::SetCellInfo(TransferContext& context, CellRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    if (!started_) return BF_ERR_PROGRAM;
    try {
        const int32_t row = record->row;
        const int32_t column = record->column;
        if (column > kLastDataColumn) {
            foundation::PdbImage image;
            int16_t rc = finishSheet(context, *record, image);
            if (rc != 1) return rc;
            // Without an owner the sheet goes nowhere: no user received it.
            if (!owner_) return BF_ERR_USER;
            size_t written = 0;
            rc = owner_->writeToUsers(context, context.options.exportTarget.exportBookName, image, written);
            if (written > 0) {
                SetTrue during(inAfterWrite_);
                const int16_t after = owner_->afterWrite();
                if (rc == 1 && after < 0) rc = after;
            }
            return rc;
        }
        if (row < 0 || (row > kMaxRow && row != kChartDefinitionRow && row != kChartItemRow))
            return BF_ERR_ROW;
        if (numRecords() >= kMaxRecords) return BF_ERR_TOO_MANY_CELLS;
        if (column == 0 && row == 0) return takeDefaults(*record);
        if (column == 0) return takeRow(row, *record);
        if (row == 0) return takeColumn(column, *record);
        // A negative column on a cell would become a key a reader takes for
        // the end of the sheet.
        if (column < 0) return BF_ERR_COLUMN;
        if (row == kChartDefinitionRow || row == kChartItemRow) return takeChart(context, *record);
        return takeCell(context, *record);
    } catch (const std::bad_alloc&) {
        return BF_ERR_MEMORY;
    }
}

int16_t SheetExport::takeDefaults(const CellRecord& record) {
    if (header_.defaultColumnWidth == bookHeaderTemplate().defaultColumnWidth)
        header_.defaultColumnWidth = clampDefaultColumnWidth(record.width);
    // The height is taken while it is still the template's, independently of
    // the width.
    if (header_.defaultRowHeight == bookHeaderTemplate().defaultRowHeight)
        header_.defaultRowHeight = clampDefaultRowHeight(record.height);
    header_.defaultColumnWidth = std::min(header_.defaultColumnWidth, kMaxDefaultColumnWidth);
    header_.defaultRowHeight = std::min(header_.defaultRowHeight, kMaxDefaultRowHeight);
    return 1;
}

int16_t SheetExport::takeRow(int32_t row, const CellRecord& record) {
    if (row < 1 || row > kMaxRow) return BF_ERR_ROW;
    if (rowTable_[size_t(row)] == kSizeNotSet) {
        rowTable_[size_t(row)] = clampSize(record.height);  // never 255 again
        ++rowCount_;
    }
    return 1;
}

int16_t SheetExport::takeColumn(int32_t column, const CellRecord& record) {
    if (column < 1 || column > kMaxColumn) return BF_ERR_COLUMN;  // negative: -8
    ColumnEntry& entry = columnTable_[size_t(column)];
    if (entry.isDefault() && record.width != kSizeNotSet) {
        entry.width = clampSize(record.width);  // never 255 again
        ++columnCount_;
    }
    return 1;
}

int16_t SheetExport::takeCell(const TransferContext& context, const CellRecord& record) {
    std::string_view raw = platform::byteStringText(record.text).substr(0, kMaxCellTextLength);
    std::string text = rewriteFormulaBrackets(raw);
    // The class only ever narrows: one row of 1000 or more keeps it at 0.
    if (record.row >= 1000)
        header_.rowNumberClass = kRowClassLarger;
    else if (record.row >= 100)
        header_.rowNumberClass = std::min(header_.rowNumberClass, kRowClassUpTo999);
    return writeCellRecord(context, record, RecordKey{uint16_t(record.row), uint16_t(record.column)}, text,
                           uint32_t(record.formatFlags));
}

int16_t SheetExport::takeChart(const TransferContext& context, const CellRecord& record) {
    // The count at offset 10 says how many strings to use; the strings that
    // are really there limit it.
    const size_t announced = record.height > 0 ? size_t(record.height) : 0;
    if (announced < 2) return 1;
    std::string_view all = platform::byteStringView(record.text).substr(0, kMaxCellTextLength);
    std::vector<std::string_view> strings;
    size_t start = 0;
    while (strings.size() < announced && start <= all.size()) {
        size_t nul = all.find('\0', start);
        if (nul == std::string_view::npos) nul = all.size();
        strings.push_back(all.substr(start, nul - start));
        start = nul + 1;
    }
    if (strings.size() < 2) return 1;

    const size_t itemNumber = chartList_.size() + 1;
    std::string itemText = buildChartItemText(uint16_t(itemNumber), strings[0]);
    ChartDefinitionText definition = chartDefinitionFromSeries(std::span(strings).subspan(1));
    uint32_t flags = uint32_t(record.formatFlags);
    if (definition.seriesInColumns) flags |= kFlagSeriesInColumns;
    std::string text = rewriteFormulaBrackets(definition.text);
    int16_t rc = writeCellRecord(context, record, RecordKey{kChartDefinitionRow, uint16_t(record.column)},
                                 text, flags);
    if (rc == 1) chartList_.push_back(std::move(itemText));
    return rc;
}

std::optional<SheetCell> SheetExport::makeCell(const TransferContext& context, const CellRecord& record,
                                               RecordKey key, std::string_view text,
                                               uint32_t recordFlags) const {
    // The column's defaults; keys beyond the table (chart items) use the sheet's.
    uint32_t columnDefault = header_.formatFlags | kFlagColumnDefault;
    if (key.column >= 1 && key.column <= kMaxColumn && (columnTable_[key.column].flags & kFlagExplicitFormat))
        columnDefault = columnTable_[key.column].flags;
    columnDefault |= kFlagExplicitFormat;
    uint32_t flags = recordFlags != 0 ? recordFlags | kFlagExplicitFormat : columnDefault;
    if (flags == columnDefault) flags &= ~kFlagExplicitFormat;
    flags |= fontBitsForPoints(record.fontSize, fontSettings(context, defaultFontSize_));

    const uint8_t textColor = colorIndex(ColorRef(record.textColor));
    const uint8_t backColor = colorIndex(ColorRef(record.backColor));
    if (!cellIsWorthWriting(text.size(), flags, textColor, backColor)) return std::nullopt;

    if (flags & kFlagCurrency) {
        // The code replaces whatever the top byte held: flags handed out by
        // an import carry the old code, and OR-ing a new one into it would
        // give a third currency.
        CurrencyTextParts parts = splitCurrencyText(platform::byteStringText(record.currencyText));
        flags = (flags & ~kFlagCurrencyCodeMask) | uint32_t(CurrencyCode(parts.locale, parts.symbol))
                                                       << kCurrencyCodeShift;
    }
    SheetCell cell;
    cell.key = key;
    cell.flags = flags;
    cell.textColor = textColor;
    cell.backColor = backColor;
    cell.chartByteA = record.chartByteA;
    cell.chartByteB = record.chartByteB;
    cell.value = record.value;
    cell.text = text;
    return cell;
}

int16_t SheetExport::writeCellRecord(const TransferContext& context, const CellRecord& record, RecordKey key,
                                     std::string_view text, uint32_t recordFlags) {
    if (text.size() > kMaxRecordTextLength) return BF_ERR_PROGRAM;
    if (!ensureRoom(cellRecordSize(text.size()))) return BF_ERR_MEMORY;
    std::optional<SheetCell> cell = makeCell(context, record, key, text, recordFlags);
    if (!cell) return 1;  // no record, no bytes
    if (!appendRecordEntry()) return BF_ERR_TOO_MANY_CELLS;
    size_t written = encodeCellRecord(*cell, std::span<uint8_t>(recordBuffer_).subspan(writeOffset_));
    if (written == 0) return BF_ERR_PROGRAM;
    writeOffset_ += written;
    setNumRecords(size_t(numRecords()) + 1);
    return 1;
}

// ---- Closing a sheet ------------------------------------------------------------------------

int16_t SheetExport::finishSheet(const TransferContext& context, const CellRecord& closing,
                                 foundation::PdbImage& out) {
    if (!started_) return BF_ERR_PROGRAM;
    if (numRecords() >= kMaxRecords) return BF_ERR_TOO_MANY_CELLS;

    // After the cells: one item record per chart, with the closing record's
    // other fields, and the terminator.
    std::vector<uint8_t> tail;
    std::vector<size_t> tailOffsets;
    for (size_t i = 0; i < chartList_.size(); ++i) {
        std::optional<SheetCell> item = makeCell(context, closing, RecordKey{kChartItemRow, uint16_t(i + 1)},
                                                 chartList_[i], uint32_t(closing.formatFlags));
        if (!item) continue;  // an item text is never empty
        tailOffsets.push_back(tail.size());
        if (!appendCellRecord(tail, *item)) return BF_ERR_PROGRAM;
    }
    tailOffsets.push_back(tail.size());
    appendRecordKey(tail, kTerminatorKey);

    std::vector<RowEntry> rows;
    for (size_t r = 1; r < rowTable_.size(); ++r)
        if (rowTable_[r] != kSizeNotSet) rows.push_back(RowEntry{uint16_t(r), rowTable_[r]});
    if (rows.size() > rowCount_) return -99;
    const uint32_t columnMark = context.registry.highResolution && context.options.fontMapping == 0
                                    ? kFlagColumnDefault | kFlagHighResFont
                                    : kFlagColumnDefault;
    std::vector<ColumnEntry> columns;
    for (size_t c = 1; c < columnTable_.size(); ++c) {
        if (columnTable_[c].isDefault()) continue;
        ColumnEntry e = columnTable_[c];
        e.column = uint16_t(c);
        e.flags |= columnMark;
        columns.push_back(e);
    }
    if (columns.size() > columnCount_) return -98;

    std::vector<uint8_t> record0 = buildHeaderRecord(header_);
    std::copy(record0.begin(), record0.end(), recordBuffer_.begin());
    std::vector<uint8_t> record1 = buildRowEntriesRecord(rows);
    std::vector<uint8_t> record2 = buildColumnEntriesRecord(columns);

    const size_t built = numRecords();
    const size_t n = built + tailOffsets.size();
    if (n >= kRecordListCapacity) return BF_ERR_TOO_MANY_CELLS;
    const size_t cellBytes = writeOffset_ - kHeaderRecordSize;
    const size_t total = pdb::firstRecordOffset(n) + kHeaderRecordSize + record1.size() + record2.size() +
                         cellBytes + tail.size();
    if (total > std::numeric_limits<uint32_t>::max()) return BF_ERR_MEMORY;

    foundation::PdbHeader header;
    header.name = workbookImage_.name();
    header.version = workbookImage_.version();
    header.creationDate = workbookImage_.field32(pdb::kCreationDateOffset);
    header.modificationDate = workbookImage_.field32(pdb::kModificationDateOffset);
    header.type = workbookImage_.type();
    header.creator = workbookImage_.creator();
    std::vector<foundation::PdbRecordData> records(n);
    records[kHeaderRecord].data = std::span<const uint8_t>(recordBuffer_.data(), kHeaderRecordSize);
    records[kRowEntriesRecord].data = record1;
    records[kColumnEntriesRecord].data = record2;
    // Cell records keep their order and spacing: each runs in the buffer to
    // the next one, the last to the write offset.
    for (size_t i = kFirstCellRecord; i < built; ++i) {
        const size_t start = workbookImage_.recordOffset(i);
        const size_t end = i + 1 < built ? workbookImage_.recordOffset(i + 1) : writeOffset_;
        records[i].data = std::span<const uint8_t>(recordBuffer_.data() + start, end - start);
    }
    for (size_t i = 0; i < tailOffsets.size(); ++i) {
        const size_t end = i + 1 < tailOffsets.size() ? tailOffsets[i + 1] : tail.size();
        records[built + i].data =
            std::span<const uint8_t>(tail.data() + tailOffsets[i], end - tailOffsets[i]);
    }
    out.bytes = foundation::buildPdb(header, records);
    if (out.bytes.empty()) return BF_ERR_MEMORY;
    foundation::swapPdbHeader(out);  // the image hands out host order
    foundation::swapRecordOffsets(out);
    return 1;
}

}  // namespace workbook
