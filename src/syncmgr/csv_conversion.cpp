#include "syncmgr/csv_conversion.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "foundation/file_names.h"
#include "foundation/registry_access.h"
#include "platform/bstr.h"
#include "syncmgr/export_checks.h"
#include "syncmgr/gridlink_state.h"
#include "workbook/book_lister.h"
#include "workbook/sheet_format.h"

namespace syncmgr {

namespace {

// A record whose byte strings are freed when it goes away.
struct OwnedSheet : SheetRecord {
    OwnedSheet() : SheetRecord{} {}
    ~OwnedSheet() {
        platform::clearByteString(sheetName);
        platform::clearByteString(currencyText);
    }
    OwnedSheet(const OwnedSheet&) = delete;
    OwnedSheet& operator=(const OwnedSheet&) = delete;
};

struct OwnedCell : CellRecord {
    OwnedCell() : CellRecord{} {}
    ~OwnedCell() {
        platform::clearByteString(text);
        platform::clearByteString(currencyText);
    }
    OwnedCell(const OwnedCell&) = delete;
    OwnedCell& operator=(const OwnedCell&) = delete;
};

struct OwnedText : TextRecord {
    OwnedText() : TextRecord{} {}
    ~OwnedText() { platform::clearByteString(text); }
    OwnedText(const OwnedText&) = delete;
    OwnedText& operator=(const OwnedText&) = delete;
};

// The cells of the open sheet, in record order.
std::vector<workbook::CsvCell> readSheetCells(GridlinkState& state, workbook::TransferContext& context) {
    std::vector<workbook::CsvCell> cells;
    OwnedCell cell;
    while (state.sheetImport.GetCellInfo(context, &cell) == 0) {
        if (cell.column > workbook::kMaxColumn) break;
        // Column entries (row 0), charts (rows above 9999) and row entries
        // (column 0) are no cells.
        if (cell.row < 1 || cell.row > workbook::kMaxRow || cell.column < 1) continue;
        cells.push_back({uint32_t(cell.row), uint32_t(cell.column), std::string(platform::byteStringText(cell.text))});
    }
    return cells;
}

// Sends one CSV file's fields as cells of the started sheet.
void sendCsvCells(GridlinkState& state, workbook::TransferContext& context, platform::File& file) {
    workbook::CsvReader reader(state.csvSeparators.list);
    std::string text;
    auto send = [&](const workbook::CsvField& field) {
        // A column above 256 would close the sheet; rows above 9999 are refused.
        if (field.column > workbook::kMaxColumn || field.row > workbook::kMaxRow) return;
        text.assign(field.text);
        workbook::mapFromPc(text, state.csvSeparators);
        OwnedCell cell;
        cell.row = int32_t(field.row);
        cell.column = int32_t(field.column);
        cell.textColor = kCsvTextColor;
        cell.backColor = kCsvBackColor;
        if (!platform::replaceByteString(cell.text, text)) throw std::bad_alloc();
        state.sheetExport.SetCellInfo(context, &cell);  // a cell's status is not acted upon
    };
    std::vector<uint8_t> piece(kCsvReadPiece);
    for (;;) {
        long long got = file.read(piece.data(), piece.size());
        if (got <= 0) break;  // the end, or a read error: what was read is the sheet
        if (!reader.feed(std::span<const uint8_t>(piece.data(), size_t(got)), send)) break;
        // Nothing after row 9999 can become a cell.
        if (reader.row() > workbook::kMaxRow) break;
    }
    reader.finish(send);
}

// Outcome of one CSV link.
enum class LinkOutcome { Next, Stop };

LinkOutcome sendCsvBook(GridlinkState& state, int user, const std::string& bookName) {
    foundation::LinkRegistry& registry = state.registry;
    foundation::LinkEntry* link = registry.findLink(user, bookName);
    if (!link) return LinkOutcome::Next;

    OwnedText list;
    list.number = 0;  // CSV files
    if (!platform::replaceByteString(list.text, link->pcPath)) throw std::bad_alloc();
    platform::FileTime time = link->csvSyncTime.value();
    std::string lastListed;  // CSV listings name no database
    const int16_t count = workbook::ListBookFiles(&list, &time, lastListed);
    // Listing raises the time, also when the export is refused below.
    link->csvSyncTime = foundation::FileTimeParts::of(time);
    if (count == BF_ERR_MEMORY) throw std::bad_alloc();
    if (count <= 0) return LinkOutcome::Next;

    const std::string listBytes(platform::byteStringView(list.text));
    auto first = workbook::bookListFile(listBytes, 1);
    if (!first) return LinkOutcome::Next;
    auto context = state.context();
    {
        OwnedSheet target;
        if (!platform::replaceByteString(target.sheetName, first->bookPath)) throw std::bad_alloc();
        const int16_t verified = VerifyFileExport(context, &target, user);
        if (verified == BF_ERR_MEMORY) throw std::bad_alloc();
        if (verified < 0) return LinkOutcome::Next;
    }

    for (int k = 1; k <= count; ++k) {
        auto file = workbook::bookListFile(listBytes, k);
        if (!file) break;
        auto opened = platform::File::open(workbook::bookFilePath(file->bookPath, file->fileName),
                                           platform::File::Mode::Read);
        if (!opened) continue;

        OwnedSheet sheet;
        sheet.sheetNumber = int16_t(k);
        sheet.defaultSize8 = kCsvDefaultColumnWidth;
        sheet.defaultSize12 = kCsvDefaultRowHeight;
        sheet.setting16 = kCsvSheetSetting;
        sheet.setting20 = kCsvSheetSetting;
        sheet.options = kCsvSheetOptions;
        const std::string sheetName = workbook::csvSheetName(file->fileName);
        if (!sheetName.empty() && !platform::replaceByteString(sheet.sheetName, sheetName)) throw std::bad_alloc();
        // A sheet to export ends whatever sheet was open for reading.
        state.sheetImport.release();
        const int16_t started = state.sheetExport.SetSheetName(context, &sheet);
        if (started == BF_ERR_MEMORY) throw std::bad_alloc();
        if (started < 1) return LinkOutcome::Stop;

        sendCsvCells(state, context, *opened);
        OwnedCell closing;
        closing.column = kCsvClosingColumn;
        closing.textColor = kCsvTextColor;
        closing.backColor = kCsvBackColor;
        state.sheetExport.SetCellInfo(context, &closing);
    }
    return LinkOutcome::Next;
}

}  // namespace

void ReadRegionalSeparators(workbook::CsvSeparators& separators) {
    workbook::applyRegionalValues(separators, foundation::RegistryRead(kInternationalKey, kListSeparatorValue),
                                  foundation::RegistryRead(kInternationalKey, kDecimalSeparatorValue));
}

int16_t HandheldToCsv(GridlinkState& state, TextRecord* bookList, std::string_view csvPath,
                      platform::FileTime& csvTime) {
    if (!bookList) return BF_ERR_PARAMETER;
    try {
        ReadRegionalSeparators(state.csvSeparators);
        const std::string prefix = workbook::csvPrefix(csvPath);
        auto context = state.context();
        int16_t result = 1;
        std::optional<platform::FileTime> newest;
        for (int k = 1; k <= bookList->number; ++k) {
            OwnedSheet sheet;
            sheet.sheetNumber = int16_t(k);
            const int16_t opened = state.sheetImport.GetSheetName(context, &sheet, bookList);
            if (opened <= 0) {
                result = opened;
                break;
            }
            // A database without a hyphen is a one-sheet book: it goes back
            // to the book's own file, the one it came from.
            const std::string sheetName(platform::byteStringText(sheet.sheetName));
            const bool oneSheet = state.sheetImport.openDatabaseName().find('-') == std::string::npos;
            if (!oneSheet && !foundation::isSafeFileNamePart(sheetName)) {
                result = BF_ERR_WRITE;  // the sheet cannot name a file beside the book
                continue;
            }
            const std::string path =
                oneSheet ? workbook::csvOneSheetFileName(prefix) : workbook::csvSheetFileName(prefix, sheetName);
            const std::string text = workbook::writeCsvSheet(readSheetCells(state, context), state.csvSeparators);
            if (!platform::writeFileAtomically(path, text.data(), text.size())) {
                result = BF_ERR_WRITE;
                break;
            }
            if (auto written = platform::lastWriteTime(path)) newest = std::max(newest.value_or(0), *written);
        }
        if (newest) csvTime = *newest;
        return result;
    } catch (const std::bad_alloc&) {
        return BF_ERR_MEMORY;
    }
}

int16_t CsvToHandheld(GridlinkState& state, int userIndex) {
    try {
        ReadRegionalSeparators(state.csvSeparators);
        foundation::LinkRegistry& registry = state.registry;
        if (userIndex < 0 || size_t(userIndex) >= registry.userList.size()) return 1;
        // Links are found again by name for each book: nothing here may hold
        // a pointer into the lists across a call.
        std::vector<std::string> books;
        for (const foundation::LinkEntry& link : registry.userList[size_t(userIndex)].links)
            if (workbook::hasEndingNoCase(link.pcPath, workbook::kCsvFileEnding)) books.emplace_back(link.name());
        for (const std::string& book : books)
            if (sendCsvBook(state, userIndex, book) == LinkOutcome::Stop) break;
        return 1;
    } catch (const std::bad_alloc&) {
        return BF_ERR_MEMORY;
    }
}

}  // namespace syncmgr
