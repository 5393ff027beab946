#include "gridlink_host.h"

#include <map>
#include <set>

#include "workbook/owned_records.h"

namespace tabulo {

bool Gridlink::load(const std::string& path, std::string& error) {
    auto loaded = platform::Library::load(path, &error);
    if (!loaded) return false;
    library = std::move(*loaded);
    getErrorText = library.function<decltype(getErrorText)>("GetErrorText");
    verifyImport = library.function<decltype(verifyImport)>("VerifyImport");
    getSheetName = library.function<decltype(getSheetName)>("GetSheetName");
    getCellInfo = library.function<decltype(getCellInfo)>("GetCellInfo");
    checkPasswd = library.function<decltype(checkPasswd)>("CheckPasswd");
    verifyExport = library.function<decltype(verifyExport)>("VerifyExport");
    verifyAllFileExport = library.function<decltype(verifyAllFileExport)>("VerifyAllFileExport");
    setSheetName = library.function<decltype(setSheetName)>("SetSheetName");
    setCellInfo = library.function<decltype(setCellInfo)>("SetCellInfo");
    showTBManDialog = library.function<decltype(showTBManDialog)>("ShowTBManDialog");
    exportDialog = library.function<decltype(exportDialog)>("ExportWorkbook");
    importDialog = library.function<decltype(importDialog)>("ImportWorkbook");
    getPassword = library.function<decltype(getPassword)>("GetPassword");
    getSize = library.function<decltype(getSize)>("GetSize");
    sysAllocStringByteLen = library.function<decltype(sysAllocStringByteLen)>("SysAllocStringByteLen");
    sysStringByteLen = library.function<decltype(sysStringByteLen)>("SysStringByteLen");
    sysFreeString = library.function<decltype(sysFreeString)>("SysFreeString");
    if (!getErrorText || !verifyImport || !getSheetName || !getCellInfo || !checkPasswd || !verifyExport ||
        !verifyAllFileExport || !setSheetName || !setCellInfo || !showTBManDialog || !exportDialog ||
        !importDialog || !getPassword || !getSize || !sysAllocStringByteLen || !sysStringByteLen ||
        !sysFreeString) {
        error = path + " lacks the workbook library's exports";
        library.unload();
        return false;
    }
    return true;
}

std::string Gridlink::errorText(int16_t status) {
    TextRecord record{};
    record.number = status;
    getErrorText(&record);
    std::string text = bytes(record.text);
    release(record.text);
    return text;
}

BSTR Gridlink::alloc(std::string_view data) {
    BSTR s = sysAllocStringByteLen(data.data(), unsigned(data.size()));
    if (!s) throw std::bad_alloc();
    return s;
}

std::string Gridlink::bytes(BSTR text) {
    return text ? std::string(reinterpret_cast<const char*>(text), sysStringByteLen(text)) : std::string();
}

void Gridlink::release(BSTR& text) {
    if (text) sysFreeString(text);
    text = nullptr;
}

namespace {

// Records whose strings go back through the library's SysFreeString when
// they go away.
struct LibraryRelease {
    Gridlink* lib;
    void operator()(BSTR& text) const { lib->release(text); }
};
using OwnedCell = workbook::Owned<CellRecord, LibraryRelease>;
using OwnedSheet = workbook::Owned<SheetRecord, LibraryRelease>;

TransferResult failure(TransferResult r, int16_t status, std::string call, std::string detail) {
    r.status = status;
    r.call = std::move(call);
    r.detail = std::move(detail);
    return r;
}

std::string place(int32_t row, int32_t column) {
    return "(" + std::to_string(row) + ", " + std::to_string(column) + ")";
}

// Sends one piece of sheet data; the strings are the caller's and freed here.
int16_t sendCell(Gridlink& lib, CellRecord& record, std::string_view text, const std::string& currency) {
    OwnedCell cell(LibraryRelease{&lib});
    static_cast<CellRecord&>(cell) = record;
    cell.text = text.empty() ? nullptr : lib.alloc(text);
    cell.currencyText = currency.empty() ? nullptr : lib.alloc(currencyForExport(currency));
    return lib.setCellInfo(&cell);
}

int16_t exportSheet(Gridlink& lib, const SheetData& sheet, int sheetNumber, TransferResult& result) {
    const std::string where = "sheet \"" + sheet.name + "\"";
    {
        OwnedSheet rec(LibraryRelease{&lib});
        SheetRecord& r = rec;
        r.sheetNumber = int16_t(sheetNumber);
        r.formatFlags = int32_t(sheet.formatFlags);
        r.defaultSize8 = sheet.defaultColumnWidth;
        r.defaultSize12 = sheet.defaultRowHeight;
        r.setting16 = sheet.settings[0];
        r.setting20 = sheet.settings[1];
        r.setting24 = sheet.settings[2];
        r.setting28 = sheet.settings[3];
        r.setting32 = sheet.settings[4];
        r.setting36 = sheet.settings[5];
        r.options = int32_t(sheet.options);
        r.sheetName = sheet.name.empty() ? nullptr : lib.alloc(sheet.name);
        r.fontSize = int16_t(sheet.fontSize);
        r.defaultFontSize = int16_t(sheet.defaultFontSize);
        int16_t rc = lib.setSheetName(&r);
        if (rc < 0) {
            result = failure(result, rc, "SetSheetName", where);
            return rc;
        }
    }
    auto send = [&](CellRecord& record, std::string_view text, const std::string& currency,
                    const std::string& what) {
        int16_t rc = sendCell(lib, record, text, currency);
        if (rc < 0)
            result = failure(result, rc, "SetCellInfo", where + ", " + what);
        else
            ++result.calls;
        return rc;
    };

    CellRecord defaults{};
    defaults.width = int16_t(sheet.defaultColumnWidth);
    defaults.height = int16_t(sheet.defaultRowHeight);
    defaults.textColor = kBlack;
    defaults.backColor = kWhite;
    if (int16_t rc = send(defaults, {}, {}, "sheet defaults"); rc < 0) return rc;

    for (const RowData& row : sheet.rows) {
        CellRecord r{};
        r.row = row.row;
        r.height = int16_t(row.height);
        r.textColor = kBlack;
        r.backColor = kWhite;
        if (int16_t rc = send(r, {}, {}, "row " + std::to_string(row.row)); rc < 0) return rc;
    }
    for (const ColumnData& column : sheet.columns) {
        CellRecord r{};
        r.column = column.column;
        r.width = int16_t(column.width);
        r.formatFlags = int32_t(column.formatFlags);
        r.textColor = column.textColor;
        r.backColor = column.backColor;
        r.fontSize = int16_t(column.fontSize);
        if (int16_t rc = send(r, {}, column.currency, "column " + std::to_string(column.column)); rc < 0)
            return rc;
    }
    for (const CellData& cell : sheet.cells) {
        CellRecord r{};
        r.row = cell.row;
        r.column = cell.column;
        r.formatFlags = int32_t(cell.formatFlags);
        r.chartByteA = cell.chartByteA;
        r.chartByteB = cell.chartByteB;
        r.textColor = cell.textColor;
        r.backColor = cell.backColor;
        r.value = cell.value;
        r.fontSize = int16_t(cell.fontSize);
        if (int16_t rc = send(r, cell.text, cell.currency, "cell " + place(cell.row, cell.column)); rc < 0)
            return rc;
    }
    for (const ChartData& chart : sheet.charts) {
        // The item string, then the series formulas, NUL-separated.
        std::string strings = chart.item;
        for (const std::string& s : chart.series) {
            strings += '\0';
            strings += s;
        }
        CellRecord r{};
        r.row = kChartDefinitionRow;
        r.column = chart.column;
        r.width = int16_t(sheet.charts.size());
        r.height = int16_t(1 + chart.series.size());
        r.formatFlags = int32_t(chart.formatFlags);
        r.chartByteA = chart.chartByteA;
        r.chartByteB = chart.chartByteB;
        r.textColor = kBlack;
        r.backColor = kWhite;
        if (int16_t rc = send(r, strings, {}, "chart in column " + std::to_string(chart.column)); rc < 0)
            return rc;
    }
    CellRecord closing{};
    closing.column = kClosingColumn;
    closing.textColor = kBlack;
    closing.backColor = kWhite;
    int16_t rc = sendCell(lib, closing, {}, {});
    if (rc < 0) {
        result = failure(result, rc, "SetCellInfo", where + ", closing call");
        return rc;
    }
    return rc;
}

}  // namespace

TransferResult exportSheets(Gridlink& lib, const Book& book, const Progress& progress) {
    TransferResult result;
    try {
        for (size_t i = 0; i < book.sheets.size(); ++i) {
            const SheetData& sheet = book.sheets[i];
            size_t before = result.calls;
            if (exportSheet(lib, sheet, int(i + 1), result) < 0) return result;
            ++result.sheets;
            if (progress)
                progress("sheet \"" + sheet.name + "\": " + std::to_string(result.calls - before) +
                         " pieces, " + std::to_string(sheet.cells.size()) + " cells, " +
                         std::to_string(sheet.charts.size()) + " charts written");
        }
    } catch (const std::bad_alloc&) {
        return failure(result, BF_ERR_MEMORY, "SysAllocStringByteLen", "");
    }
    return result;
}

TransferResult exportWorkbook(Gridlink& lib, const std::string& workbookPath, const Book& book,
                              const Progress& progress) {
    TransferResult result;
    try {
        OwnedSheet rec(LibraryRelease{&lib});
        rec.sheetName = lib.alloc(workbookPath);
        int16_t user = lib.verifyExport(&rec);
        if (user < 0) return failure(result, user, "VerifyExport", workbookPath);
        result.user = user;
        // The target path carries its NUL inside the byte string.
        std::string target = lib.bytes(rec.sheetName);
        result.target = target.substr(0, target.find('\0'));
    } catch (const std::bad_alloc&) {
        return failure(result, BF_ERR_MEMORY, "SysAllocStringByteLen", "");
    }
    if (progress) progress("VerifyExport: user " + std::to_string(result.user) + ", " + result.target);
    TransferResult sheets = exportSheets(lib, book, progress);
    sheets.user = result.user;
    sheets.target = result.target;
    return sheets;
}

namespace {

// Opens sheet k, asking for its password when it needs one.
int16_t openSheet(Gridlink& lib, TextRecord& list, SheetRecord& sheet, const ImportOptions& options,
                  std::string& call) {
    call = "GetSheetName";
    int16_t rc = lib.getSheetName(&sheet, &list);
    if (rc != BF_ERR_PASSWORD) return rc;
    const std::string name = lib.bytes(sheet.sheetName);
    call = "CheckPasswd";
    const int attempts = options.password ? 1 : kPasswordAttempts;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::optional<std::string> typed = options.password;
        if (!typed && options.prompt) typed = options.prompt(name);
        if (!typed) break;
        TextRecord password{};
        password.text = lib.alloc(*typed);
        rc = lib.checkPasswd(&password);
        lib.release(password.text);
        if (rc >= 0) return 1;
        if (rc != BF_ERR_PASSWORD) return rc;
    }
    return BF_ERR_PASSWORD;
}

void splitStrings(const std::string& bytes, std::vector<std::string>& out) {
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\0', start);
        if (end == std::string::npos) end = bytes.size();
        out.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
}

int16_t importSheet(Gridlink& lib, TextRecord& list, int number, const ImportOptions& options,
                    SheetData& sheet, TransferResult& result) {
    OwnedSheet rec(LibraryRelease{&lib});
    SheetRecord& r = rec;
    r.sheetNumber = int16_t(number);
    r.defaultSize12 = kImportDefaultColumnWidth;
    r.defaultFontSize = int16_t(options.defaultFontSize);
    std::string call;
    int16_t rc = openSheet(lib, list, r, options, call);
    std::string name = lib.bytes(r.sheetName);
    if (rc < 0) {
        result = failure(result, rc, call,
                         "sheet " + std::to_string(number) + (name.empty() ? "" : " \"" + name + "\""));
        return rc;
    }
    sheet.name = name;
    sheet.formatFlags = uint32_t(r.formatFlags);
    sheet.defaultRowHeight = r.defaultSize8;
    sheet.defaultColumnWidth = r.defaultSize12;
    sheet.settings = {r.setting16, r.setting20, r.setting24, r.setting28, r.setting32, r.setting36};
    sheet.options = uint32_t(r.options);
    sheet.bookFlags = r.bookFlags;
    sheet.color1 = r.color1;
    sheet.color2 = r.color2;
    sheet.currency = lib.bytes(r.currencyText);
    sheet.deviceClass = r.deviceClass;
    sheet.fontSize = r.fontSize;
    sheet.defaultFontSize = r.defaultFontSize;

    const std::string where = "sheet \"" + name + "\"";
    std::vector<std::pair<int32_t, ChartData>> definitions;  // in file order
    std::map<int32_t, std::string> items;                    // by item number
    std::set<int32_t> rowsSeen;
    OwnedCell cell(LibraryRelease{&lib});
    CellRecord& c = cell;
    c.walkState = 0;
    for (;;) {
        // Fields a piece does not set must not carry the previous piece's.
        c.chartByteA = c.chartByteB = 0;
        c.width = c.height = 0;
        rc = lib.getCellInfo(&c);
        if (rc == BF_EOF) break;
        if (rc < 0) {
            result = failure(result, rc, "GetCellInfo",
                             where + ", after walk state " + std::to_string(c.walkState));
            return rc;
        }
        ++result.calls;
        if (c.row == 0) {
            ColumnData column;
            column.column = c.column;
            column.width = c.width;
            column.formatFlags = uint32_t(c.formatFlags);
            column.textColor = c.textColor;
            column.backColor = c.backColor;
            column.fontSize = c.fontSize;
            column.currency = lib.bytes(c.currencyText);
            sheet.columns.push_back(std::move(column));
        } else if (c.row == kChartDefinitionRow) {
            ChartData chart;
            chart.column = c.column;
            chart.formatFlags = uint32_t(c.formatFlags);
            chart.chartByteA = c.chartByteA;
            splitStrings(lib.bytes(c.text), chart.series);
            definitions.emplace_back(c.column, std::move(chart));
        } else if (c.row == kChartItemRow) {
            items[c.column] = lib.bytes(c.text);
        } else {
            CellData data;
            data.row = c.row;
            data.column = c.column;
            data.text = lib.bytes(c.text);
            data.value = c.value;
            data.formatFlags = uint32_t(c.formatFlags);
            data.textColor = c.textColor;
            data.backColor = c.backColor;
            data.fontSize = c.fontSize;
            data.currency = lib.bytes(c.currencyText);
            if (c.height != 255 && rowsSeen.insert(c.row).second) sheet.rows.push_back({c.row, c.height});
            sheet.cells.push_back(std::move(data));
        }
    }
    // Chart i's item is item number i (1-based), in the order the charts came.
    for (size_t i = 0; i < definitions.size(); ++i) {
        ChartData chart = std::move(definitions[i].second);
        if (auto it = items.find(int32_t(i + 1)); it != items.end()) chart.item = it->second;
        sheet.charts.push_back(std::move(chart));
    }
    return 0;
}

}  // namespace

TransferResult importListedSheets(Gridlink& lib, TextRecord& list, Book& book, const ImportOptions& options,
                                  const Progress& progress) {
    TransferResult result;
    try {
        for (int k = 1; k <= list.number; ++k) {
            SheetData sheet;
            size_t before = result.calls;
            if (importSheet(lib, list, k, options, sheet, result) < 0) return result;
            if (progress)
                progress("sheet \"" + sheet.name + "\": " + std::to_string(result.calls - before) +
                         " pieces, " + std::to_string(sheet.cells.size()) + " cells, " +
                         std::to_string(sheet.charts.size()) + " charts read");
            book.sheets.push_back(std::move(sheet));
            ++result.sheets;
        }
    } catch (const std::bad_alloc&) {
        return failure(result, BF_ERR_MEMORY, "SysAllocStringByteLen", "");
    }
    return result;
}

TransferResult importWorkbook(Gridlink& lib, const std::string& workbookPath, Book& book,
                              const ImportOptions& options, const Progress& progress) {
    TransferResult result;
    TextRecord list{};
    try {
        list.text = lib.alloc(workbookPath);
    } catch (const std::bad_alloc&) {
        return failure(result, BF_ERR_MEMORY, "SysAllocStringByteLen", "");
    }
    int16_t user = lib.verifyImport(&list);
    if (user < 0) {
        lib.release(list.text);
        return failure(result, user, "VerifyImport", workbookPath);
    }
    const std::string listText = lib.bytes(list.text);
    const std::string folder = listText.substr(0, listText.find('\0'));
    // When no sheet database of the book was found, VerifyImport leaves the
    // number 0 and the text as it set it up (the folder and book alone):
    // there is no sheet to ask for.
    std::vector<std::string> strings;
    splitStrings(listText, strings);
    const bool listed = strings.size() > 1 && !strings[1].empty();
    if (progress)
        progress("VerifyImport: user " + std::to_string(user) + ", " +
                 std::to_string(listed ? list.number : 0) + " sheet databases in " + folder);
    if (listed) result = importListedSheets(lib, list, book, options, progress);
    result.user = user;
    result.target = folder;
    lib.release(list.text);
    return result;
}

TransferResult exportThroughDialog(Gridlink& lib, const std::string& workbookPath, const Book& book,
                                   bool& cancelled, const Progress& progress) {
    TransferResult result;
    cancelled = false;
    try {
        OwnedSheet rec(LibraryRelease{&lib});
        rec.sheetName = lib.alloc(workbookPath);
        const int16_t rc = lib.exportDialog(&rec);
        if (rc < 0) return failure(result, rc, "ExportWorkbook", workbookPath);
        cancelled = rc == 0;
    } catch (const std::bad_alloc&) {
        return failure(result, BF_ERR_MEMORY, "SysAllocStringByteLen", "");
    }
    if (cancelled) return result;
    if (progress) progress("ExportWorkbook: OK");
    return exportSheets(lib, book, progress);
}

TransferResult importThroughDialog(Gridlink& lib, Book& book, const ImportOptions& options, bool& cancelled,
                                   const Progress& progress) {
    TransferResult result;
    TextRecord list{};
    const int16_t rc = lib.importDialog(&list);
    cancelled = rc == 0 && !list.text;
    if (rc < 0) {
        lib.release(list.text);
        return failure(result, rc, "ImportWorkbook", "");
    }
    const std::string listText = lib.bytes(list.text);
    const std::string folder = listText.substr(0, listText.find('\0'));
    if (progress && !cancelled)
        progress("ImportWorkbook: " + std::to_string(rc) + " sheet databases of " + folder);
    if (rc > 0) result = importListedSheets(lib, list, book, options, progress);
    result.target = folder;
    lib.release(list.text);
    return result;
}

int16_t exportList(Gridlink& lib, std::vector<std::string>& paths) {
    TextRecord record{};
    int16_t rc = lib.verifyAllFileExport(&record);
    if (rc >= 0) {
        std::string block = lib.bytes(record.text);
        std::vector<std::string> all;
        splitStrings(block, all);
        for (int i = 0; i < record.number && size_t(i) < all.size(); ++i) paths.push_back(all[size_t(i)]);
    }
    lib.release(record.text);
    return rc;
}

}  // namespace tabulo
