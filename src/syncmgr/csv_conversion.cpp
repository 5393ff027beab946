#include "syncmgr/csv_conversion.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/file_names.h"
#include "foundation/registry_access.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"
#include "syncmgr/export_checks.h"
#include "syncmgr/gridlink_state.h"
#include "workbook/book_lister.h"
#include "workbook/owned_records.h"
#include "workbook/sheet_format.h"

namespace syncmgr {

namespace {

using workbook::OwnedCell;
using workbook::OwnedSheet;
using workbook::OwnedText;

// The cells of the open sheet, in record order: 1 when the walk reached the
// end of the sheet, else the status it ended with (the cells are then not
// the whole sheet).
int16_t readSheetCells(GridlinkState& state, workbook::TransferContext& context,
                       std::vector<workbook::CsvCell>& cells) {
    OwnedCell cell;
    for (;;) {
        const int16_t status = state.sheetImport.GetCellInfo(context, &cell);
        if (status == BF_EOF) return 1;
        if (status == BF_ERR_MEMORY) throw std::bad_alloc();
        if (status != 0) return status;
        if (cell.column > workbook::kMaxColumn) return 1;
        // Column entries (row 0), charts (rows above 9999) and row entries
        // (column 0) are no cells.
        if (cell.row < 1 || cell.row > workbook::kMaxRow || cell.column < 1) continue;
        cells.push_back(
            {uint32_t(cell.row), uint32_t(cell.column), std::string(platform::byteStringText(cell.text))});
    }
}

// Sends one CSV file's fields as cells of the started sheet; false when the
// file could not be read to its end.
bool sendCsvCells(GridlinkState& state, workbook::TransferContext& context, platform::File& file) {
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
        if (got < 0) return false;
        if (got == 0) break;
        if (!reader.feed(std::span<const uint8_t>(piece.data(), size_t(got)), send)) break;
        // Nothing after row 9999 can become a cell.
        if (reader.row() > workbook::kMaxRow) break;
    }
    reader.finish(send);
    return true;
}

// What one CSV link gave: the status of the first file left for the next
// HotSync (1: none), and whether the conversion ends.
struct LinkResult {
    int16_t status = 1;
    bool stop = false;
};

LinkResult sendCsvBook(GridlinkState& state, int user, const std::string& bookName) {
    foundation::LinkRegistry& registry = state.registry;
    foundation::LinkEntry* link = registry.findLink(user, bookName);
    if (!link) return {};
    const std::string pcPath = link->pcPath;
    const platform::FileTime since = link->csvSyncTime.value();

    OwnedText list;
    list.number = 0;  // CSV files
    if (!platform::replaceByteString(list.text, pcPath)) throw std::bad_alloc();
    platform::FileTime listed = since;
    std::string lastListed;  // CSV listings name no database
    const int16_t count = workbook::ListBookFiles(&list, &listed, lastListed);
    if (count == BF_ERR_MEMORY) throw std::bad_alloc();
    if (count <= 0) return {};

    const std::string listBytes(platform::byteStringView(list.text));
    const std::string bookPath = listBytes.substr(0, listBytes.find('\0'));
    auto context = state.context();
    {
        OwnedSheet target;
        if (!platform::replaceByteString(target.sheetName, bookPath)) throw std::bad_alloc();
        const int16_t verified = VerifyFileExport(context, &target, user);
        if (verified == BF_ERR_MEMORY) throw std::bad_alloc();
        if (verified < 0) {
            // A refused export still takes the files as seen: under that
            // link's rule they are not to go out.
            if (foundation::LinkEntry* again = registry.findLink(user, bookName))
                again->csvSyncTime = foundation::FileTimeParts::of(listed);
            return {};
        }
    }

    LinkResult result;
    auto leave = [&](int16_t status) {
        if (result.status == 1) result.status = status;
        state.sheetExport.release();  // nothing of this file is written
    };
    std::vector<CsvFileTime> done;
    for (int k = 1; k <= count; ++k) {
        auto file = workbook::bookListFile(listBytes, k);
        if (!file) continue;  // a name that cannot be a file here is never sent
        const std::string fileName(file->fileName);
        auto opened = platform::File::open(workbook::bookFilePath(file->bookPath, fileName),
                                           platform::File::Mode::Read);
        if (!opened) {
            leave(BF_ERR_OPEN);
            continue;
        }
        // Taken before reading: a change made while it is read is newer.
        const platform::FileTime time = opened->lastWriteTime();

        OwnedSheet sheet;
        sheet.sheetNumber = int16_t(k);
        sheet.defaultSize8 = kCsvDefaultColumnWidth;
        sheet.defaultSize12 = kCsvDefaultRowHeight;
        sheet.setting16 = kCsvSheetSetting;
        sheet.setting20 = kCsvSheetSetting;
        sheet.options = kCsvSheetOptions;
        const std::string sheetName = workbook::csvSheetName(fileName);
        if (!sheetName.empty() && !platform::replaceByteString(sheet.sheetName, sheetName))
            throw std::bad_alloc();
        // A sheet to export ends whatever sheet was open for reading.
        state.sheetImport.release();
        const int16_t started = state.sheetExport.SetSheetName(context, &sheet);
        if (started == BF_ERR_MEMORY) throw std::bad_alloc();
        if (started < 1) {
            leave(started);
            result.stop = true;
            break;
        }
        if (!foundation::isSafeFileNamePart(state.sheetExport.databaseName())) {
            // The closing call would refuse this name at every HotSync.
            leave(BF_ERR_WRITE);
            done.push_back({fileName, time});
            continue;
        }

        if (!sendCsvCells(state, context, *opened)) {
            leave(BF_ERR_OPEN);
            continue;
        }
        OwnedCell closing;
        closing.column = kCsvClosingColumn;
        closing.textColor = kCsvTextColor;
        closing.backColor = kCsvBackColor;
        const int16_t closed = state.sheetExport.SetCellInfo(context, &closing);
        if (closed == BF_ERR_MEMORY) throw std::bad_alloc();
        if (closed < 1) {
            leave(closed);
            continue;
        }
        done.push_back({fileName, time});
    }
    // Found again: nothing may hold a link across the sheet calls.
    if (foundation::LinkEntry* again = registry.findLink(user, bookName))
        again->csvSyncTime =
            foundation::FileTimeParts::of(std::max(since, csvTimeAfter(pcPath, since, done)));
    return result;
}

}  // namespace

void ReadRegionalSeparators(workbook::CsvSeparators& separators) {
    workbook::applyRegionalValues(separators,
                                  foundation::RegistryRead(kInternationalKey, kListSeparatorValue),
                                  foundation::RegistryRead(kInternationalKey, kDecimalSeparatorValue));
}

platform::FileTime csvTimeAfter(std::string_view csvPath, platform::FileTime since,
                                const std::vector<CsvFileTime>& done) {
    if (done.empty()) return since;
    OwnedText list;
    list.number = 0;  // CSV files
    if (!platform::replaceByteString(list.text, csvPath)) throw std::bad_alloc();
    platform::FileTime listed = since;
    std::string lastListed;
    const int16_t count = workbook::ListBookFiles(&list, &listed, lastListed);
    if (count == BF_ERR_MEMORY) throw std::bad_alloc();
    if (count < 0) return since;  // nothing is known about the other files

    std::unordered_map<std::string_view, platform::FileTime> converted;
    for (const CsvFileTime& file : done) converted[file.name] = file.time;
    // The oldest file still to go out: listed, and not converted as it is now.
    std::optional<platform::FileTime> oldestPending;
    const std::string listBytes(platform::byteStringView(list.text));
    for (int k = 1; k <= count; ++k) {
        auto file = workbook::bookListFile(listBytes, k);
        if (!file) continue;  // never sent
        auto time = platform::lastWriteTime(workbook::bookFilePath(file->bookPath, file->fileName));
        if (!time) continue;  // gone
        auto same = converted.find(file->fileName);
        if (same != converted.end() && same->second == *time) continue;
        oldestPending = std::min(oldestPending.value_or(*time), *time);
    }
    std::optional<platform::FileTime> newestDone;
    for (const CsvFileTime& file : done)
        if (!oldestPending || file.time < *oldestPending)
            newestDone = std::max(newestDone.value_or(file.time), file.time);
    return newestDone.value_or(since);
}

int16_t HandheldToCsv(GridlinkState& state, TextRecord* bookList, std::string_view csvPath,
                      platform::FileTime& csvTime, std::vector<CsvFileTime>* written) {
    if (!bookList) return BF_ERR_PARAMETER;
    int16_t result = 1;
    std::vector<CsvFileTime> done;
    try {
        ReadRegionalSeparators(state.csvSeparators);
        const std::string prefix = workbook::csvPrefix(csvPath);
        auto context = state.context();
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
            std::vector<workbook::CsvCell> cells;
            const int16_t walked = readSheetCells(state, context, cells);
            if (walked != 1) {
                // Part of a sheet would replace the whole one on the desktop.
                if (result == 1) result = walked;
                continue;
            }
            const std::string path = oneSheet ? workbook::csvOneSheetFileName(prefix)
                                              : workbook::csvSheetFileName(prefix, sheetName);
            const std::string text = workbook::writeCsvSheet(std::move(cells), state.csvSeparators);
            // Another sheet's file whose name differs only in letter case
            // would be this file on Windows: it stays, this sheet is left out.
            if (foundation::hasCaseTwin(path)) {
                result = BF_ERR_WRITE;
                continue;
            }
            if (!platform::writeFileAtomically(path, text.data(), text.size())) {
                result = BF_ERR_WRITE;
                break;
            }
            if (auto time = platform::lastWriteTime(path))
                done.push_back({std::string(platform::fileNamePart(path)), *time});
        }
    } catch (const std::bad_alloc&) {
        result = BF_ERR_MEMORY;  // the files written so far still count
    }
    try {
        csvTime = csvTimeAfter(csvPath, csvTime, done);
    } catch (const std::bad_alloc&) {
        result = BF_ERR_MEMORY;
    }
    if (written) *written = std::move(done);
    return result;
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
            if (platform::endsWithNoCase(link.pcPath, workbook::kCsvFileEnding))
                books.emplace_back(link.name());
        int16_t result = 1;
        for (const std::string& book : books) {
            const LinkResult sent = sendCsvBook(state, userIndex, book);
            if (result == 1) result = sent.status;
            if (sent.stop) break;
        }
        return result;
    } catch (const std::bad_alloc&) {
        return BF_ERR_MEMORY;
    }
}

}  // namespace syncmgr
