#include "workbook/sheet_import.h"

#include <limits>
#include <optional>

#include "foundation/link_registry.h"
#include "platform/bstr.h"
#include "platform/text.h"
#include "workbook/book_lister.h"
#include "workbook/currency.h"
#include "workbook/font_levels.h"
#include "workbook/palette.h"
#include "workbook/passwords.h"
#include "workbook/references.h"

namespace workbook {

namespace {

FontSettings fontSettings(const TransferContext& context, int32_t defaultFontSize) {
    return FontSettings{context.registry.highResolution != 0, context.options.fontMapping, defaultFontSize};
}

// Replaces a record's currency text with the one of a format word (none
// without the currency bit). False when memory is short.
bool replaceCurrencyText(BSTR& field, uint32_t flags) {
    auto text = CurrencyText(flags);
    if (!text) {
        platform::clearByteString(field);
        return true;
    }
    return platform::replaceByteString(field, *text);
}

// "$B$2": one cell with the range's sheet part.
std::string cellReference(const std::string& sheetPart, int32_t column, int32_t row) {
    std::string text = sheetPart;
    text += '$';
    text += columnLetters(column);
    text += '$';
    text += std::to_string(row);
    return text;
}

}  // namespace

// ---- Sizes and names -------------------------------------------------------------

SizeScale sizeScaleFor(uint8_t bookFlags, int32_t deviceClass, bool highResolution) {
    if (bookFlags & kBookDesktopSizes) return SizeScale::AsStored;
    if (deviceClass == 1 && !highResolution) return SizeScale::Halve;
    if (deviceClass == 2 && highResolution) return SizeScale::Double;
    return SizeScale::AsStored;
}

uint8_t scaleSize(uint8_t size, SizeScale scale) {
    if (size == kSizeNotSet) return size;
    switch (scale) {
        case SizeScale::Halve:
            return uint8_t(size >> 1);
        case SizeScale::Double:
            return size > kMaxScaledSize / 2 ? kMaxScaledSize : uint8_t(size * 2);
        case SizeScale::AsStored:
            break;
    }
    return size;
}

int32_t scaleDefaultSize(int32_t size, SizeScale scale) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    switch (scale) {
        case SizeScale::Halve:
            return size >> 1;
        case SizeScale::Double:
            return size > kMax / 2 ? kMax : size < kMin / 2 ? kMin : size * 2;
        case SizeScale::AsStored:
            break;
    }
    return size;
}

std::string_view sheetNameOf(std::string_view databaseName) {
    size_t hyphen = databaseName.rfind('-');
    return hyphen == std::string_view::npos ? databaseName : databaseName.substr(hyphen + 1);
}

// ---- Charts ------------------------------------------------------------------------

int16_t chartSeriesFormulas(std::string_view definition, bool seriesInColumns, std::string_view sheetName,
                            std::string& formulas) {
    formulas.clear();
    auto parts = splitChartDefinitionText(definition);
    if (!parts || parts->values.empty()) return BF_ERR_PROGRAM;
    const std::string ownSheet = "'" + std::string(sheetName) + "'!";

    // Names and categories that cannot be read are left out, as if absent.
    std::optional<CellRange> names;
    if (!parts->names.empty()) names = parseRange(parts->names);
    if (names && names->sheetPart.empty()) names->sheetPart = ownSheet;
    std::string categories;
    if (!parts->categories.empty()) {
        if (auto range = parseRange(parts->categories)) {
            if (range->sheetPart.empty()) range->sheetPart = ownSheet;
            categories = FormatRange(*range);
        }
    }

    // The names are taken one cell at a time: along the columns of a range
    // that spans several, else down its rows.
    int64_t nameIndex = 0;
    auto nextName = [&]() -> std::string {
        int64_t i = nameIndex++;
        if (!names) return {};
        if (names->columns() > 1) {
            if (i >= names->columns()) return {};
            return cellReference(names->sheetPart, names->first.column + int32_t(i), names->first.row);
        }
        if (i >= names->rows()) return {};
        return cellReference(names->sheetPart, names->first.column, names->first.row + int32_t(i));
    };

    int order = 0;
    for (std::string_view argument : parts->values) {
        auto values = parseRange(argument);
        if (!values) {
            formulas.clear();
            return BF_ERR_PROGRAM;
        }
        if (values->sheetPart.empty()) values->sheetPart = ownSheet;
        int32_t count = seriesInColumns ? values->columns() : values->rows();
        for (int32_t i = 0; i < count; ++i) {
            ++order;
            CellRange single = *values;
            if (seriesInColumns)
                single.first.column = single.last.column = values->first.column + i;
            else
                single.first.row = single.last.row = values->first.row + i;
            std::string formula = "=SERIES(" + nextName() + "," + categories + "," + FormatRange(single) +
                                  "," + std::to_string(order) + ")";
            // A formula that does not fit ends this values range.
            if (formulas.size() + formula.size() + 1 > kMaxSeriesTextSize) break;
            formulas += formula;
            formulas += '\0';
        }
    }
    return 0;
}

// ---- Opening a sheet -----------------------------------------------------------------

void SheetImport::resetTables() {
    rowTable_.fill(kSizeNotSet);
    columnTable_.fill(ColumnEntry{});
    columnOrder_.clear();
    columnPosition_ = 0;
}

void SheetImport::release() {
    std::vector<uint8_t>().swap(workbookImage_.bytes);
    open_ = false;
    header_ = BookHeader{};
    resetTables();
    std::vector<uint16_t>().swap(columnOrder_);
    enteredPasswordHash_ = 0;
    sheetName_.clear();
    endRecord_ = 0;
}

std::string SheetImport::openDatabaseName() const {
    return workbookImage_.hasHeader() ? workbookImage_.name() : std::string();
}

int16_t SheetImport::GetSheetName(TransferContext& context, SheetRecord* sheet, TextRecord* list) {
    if (!sheet || !list) return BF_ERR_PARAMETER;
    release();
    int k = sheet->sheetNumber;
    if (k < 1 || k > list->number) return BF_ERR_SHEET_NAME;
    auto file = bookListFile(platform::byteStringView(list->text), k);
    if (!file) return BF_ERR_SHEET_NAME;
    foundation::PdbImage image;
    if (!foundation::loadPdb(image, bookFilePath(file->bookPath, file->fileName))) return BF_ERR_OPEN;
    return openSheet(context, sheet, std::move(image));
}

int16_t SheetImport::openSheet(TransferContext& context, SheetRecord* sheet, foundation::PdbImage&& image) {
    if (!sheet) return BF_ERR_PARAMETER;
    release();
    if (context.options.importUser < 0) context.options.importUser = 0;
    const auto& users = context.registry.userList;
    size_t user = size_t(context.options.importUser);
    deviceClass_ = user < users.size() ? users[user].deviceClass : 0;
    defaultFontSize_ = sheet->defaultFontSize;
    if (!foundation::validPdbLayout(image)) return BF_ERR_OPEN;
    workbookImage_ = std::move(image);

    sheetName_ = std::string(sheetNameOf(workbookImage_.name()));
    if (!platform::replaceByteString(sheet->sheetName, sheetName_)) return BF_ERR_MEMORY;

    auto record0 = foundation::recordAt(workbookImage_, kHeaderRecord);
    auto header = record0 ? parseHeaderRecord(*record0) : std::nullopt;
    if (!header) return BF_ERR_CORRUPT;
    header_ = *header;

    const bool highResolution = context.registry.highResolution != 0;
    sheet->formatFlags = int32_t(header_.formatFlags);
    sheet->defaultSize8 = header_.defaultRowHeight;
    loadSheetSettings(header_, *sheet);
    sheet->options = int32_t(header_.options);
    sheet->bookFlags = header_.bookFlags;
    sheet->color1 = paletteColorRef(header_.color1);
    sheet->color2 = paletteColorRef(header_.color2);
    if (!replaceCurrencyText(sheet->currencyText, header_.formatFlags)) return BF_ERR_MEMORY;
    sheet->fontSize = pointsForFontBits(header_.formatFlags, fontSettings(context, defaultFontSize_));
    sheet->deviceClass = int16_t(deviceClass_);

    resetTables();
    scale_ = sizeScaleFor(header_.bookFlags, deviceClass_, highResolution);
    sheet->defaultSize8 = scaleDefaultSize(sheet->defaultSize8, scale_);
    sheet->defaultSize12 = scaleDefaultSize(sheet->defaultSize12, scale_);
    if (int16_t rc = loadEntries(); rc < 0) return rc;

    const size_t n = workbookImage_.numRecords();
    endRecord_ = n;
    for (size_t i = kFirstCellRecord; i < n; ++i) {
        auto key = parseRecordKey(*foundation::recordAt(workbookImage_, i));
        if (key && key->column == kEndColumn) {
            endRecord_ = i;
            break;
        }
    }

    open_ = true;
    enteredPasswordHash_ = 0;
    // The desktop does not open a sheet protected by an author password.
    if (header_.authorPasswordHash != 0) return BF_ERR_AUTHORIZATION;
    if (header_.openPasswordHash != 0) return BF_ERR_PASSWORD;
    return int16_t(sheetName_.size() + 1);
}

// Row and column entries into the tables. Rows outside 1-9999 and columns
// outside 1-256 have no place there and are left out.
int16_t SheetImport::loadEntries() {
    if (workbookImage_.numRecords() <= kColumnEntriesRecord) return BF_ERR_CORRUPT;
    auto rowRecord = foundation::recordAt(workbookImage_, kRowEntriesRecord);
    auto columnRecord = foundation::recordAt(workbookImage_, kColumnEntriesRecord);
    auto rows = rowRecord ? parseRowEntries(*rowRecord) : std::nullopt;
    auto columns = columnRecord ? parseColumnEntries(*columnRecord) : std::nullopt;
    if (!rows || !columns) return BF_ERR_CORRUPT;
    for (const RowEntry& e : *rows)
        if (e.row >= 1 && e.row <= kMaxRow) rowTable_[e.row] = scaleSize(e.height, scale_);
    columnOrder_.reserve(columns->size());
    for (const ColumnEntry& e : *columns) {
        if (e.column < 1 || e.column > kMaxColumn) continue;
        ColumnEntry& slot = columnTable_[e.column];
        slot = e;
        slot.width = scaleSize(e.width, scale_);
        columnOrder_.push_back(e.column);
    }
    return 0;
}

int16_t SheetImport::CheckPasswd(const TextRecord* record) {
    return workbook::CheckPasswd(record, open_ ? &header_ : nullptr, enteredPasswordHash_);
}

// ---- Handing out data --------------------------------------------------------------------

int16_t SheetImport::GetCellInfo(TransferContext& context, CellRecord* cell) {
    if (!cell) return BF_ERR_PARAMETER;
    if (!open_) return BF_ERR_PROGRAM;
    if (header_.authorPasswordHash != 0) return BF_ERR_AUTHORIZATION;
    if (enteredPasswordHash_ != header_.openPasswordHash) return BF_ERR_PASSWORD;

    int32_t state = cell->walkState;
    if (state == kWalkStart) {
        state = kWalkColumnEntries;
        columnPosition_ = 0;
        cell->walkState = state;
    }
    const size_t n = workbookImage_.numRecords();
    const size_t lastState = endRecord_ < n ? endRecord_ : n - 1;
    if (state == kWalkColumnEntries) {
        if (columnPosition_ < columnOrder_.size()) return handOutColumnEntry(context, *cell);
    } else if (state < int32_t(kFirstCellRecord) || size_t(state) > lastState) {
        return BF_ERR_PROGRAM;
    }
    if (size_t(state) >= endRecord_) return BF_EOF;  // the walk already ended at the terminator

    for (size_t i = size_t(state) + 1;; ++i) {
        if (i >= n) return BF_EOF;  // no terminator: the last record ends the walk
        std::span<const uint8_t> record = *foundation::recordAt(workbookImage_, i);
        cell->walkState = int32_t(i);
        auto key = parseRecordKey(record);
        if (!key) return BF_ERR_CORRUPT;
        if (key->column == kEndColumn) {
            // The owner may release this state: nothing is touched after it.
            if (owner_ && !lastListedBook.empty() &&
                platform::sameNoCase(lastListedBook, workbookImage_.name()))
                owner_->atBookEnd();
            return BF_EOF;
        }
        if (key->column > kMaxColumn) continue;
        return handOutRecord(context, *cell, record);
    }
}

int16_t SheetImport::handOutColumnEntry(TransferContext& context, CellRecord& cell) {
    const ColumnEntry& entry = columnTable_[columnOrder_[columnPosition_++]];
    cell.result = 0;
    cell.row = 0;
    cell.column = entry.column;
    cell.formatFlags = int32_t(entry.flags);
    cell.width = entry.width;
    cell.textColor = paletteColorRef(entry.textColor);
    cell.backColor = paletteColorRef(entry.backColor);
    cell.fontSize = pointsForFontBits(entry.flags, fontSettings(context, defaultFontSize_));
    // No cell text goes with a column entry; its currency text does.
    platform::clearByteString(cell.text);
    if (!replaceCurrencyText(cell.currencyText, entry.flags)) return BF_ERR_MEMORY;
    return 0;
}

int16_t SheetImport::handOutRecord(TransferContext& context, CellRecord& cell,
                                   std::span<const uint8_t> record) {
    auto parsed = parseCellRecord(record);
    if (!parsed) return BF_ERR_CORRUPT;
    const SheetCell& c = *parsed;

    cell.result = 0;
    cell.row = c.key.row;
    cell.column = c.key.column;
    cell.formatFlags = int32_t(c.flags);
    cell.value = c.value;
    cell.fontSize = pointsForFontBits(c.flags, fontSettings(context, defaultFontSize_));
    if (header_.version >= kFirstColourVersion) {
        uint8_t text = c.textColor, back = c.backColor;
        if (text == kWhiteIndex && back == kWhiteIndex) text = kBlackIndex;
        cell.textColor = paletteColorRef(text);
        cell.backColor = paletteColorRef(back);
    } else {
        cell.textColor = kBlackColorRef;
        cell.backColor = kWhiteColorRef;
    }
    platform::clearByteString(cell.text);

    std::string_view text = c.text;
    std::string formulas;
    if (c.key.row == kChartItemRow) {
        auto item = parseChartItemText(c.text);
        text = item ? item->name : std::string_view();
    } else if (c.key.row == kChartDefinitionRow) {
        if (c.text.empty()) return 0;
        cell.chartByteA = c.chartByteA;
        int16_t rc = chartSeriesFormulas(c.text, (c.flags & kFlagSeriesInColumns) != 0, sheetName_, formulas);
        if (rc < 0) return rc;
        text = formulas;
    } else {
        if (!replaceCurrencyText(cell.currencyText, c.flags)) return BF_ERR_MEMORY;
        cell.width = columnTable_[c.key.column].width;
        cell.height = rowHeight(c.key.row);
    }
    if (!platform::replaceByteString(cell.text, text)) return BF_ERR_MEMORY;
    return 0;
}

}  // namespace workbook
