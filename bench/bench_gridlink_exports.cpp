// A full sheet through libgridlink's exported functions, loaded with the
// platform loader in a sandbox, as the spreadsheet add-in moves it:
//   export: SetSheetName, one SetCellInfo per cell, the closing SetCellInfo
//           that writes the database into the user's Install folder
//   import: GetSheetName and GetCellInfo until -6, on the database a HotSync
//           carried to Backup (the end of the book saves the link registry)
// The sheet is the largest the export closes: 32,766 records before the
// terminator (the header, row and column records and 32,763 cells). Cells
// per second and bytes written are reported.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gridlink.h"
#include "platform/library.h"
#include "support/sandbox.h"
#include "syncmgr/link_editing.h"

namespace {

constexpr int kCells = 32766 - 3;
constexpr int kColumns = 26;

struct Exports {
    platform::Library library;
    int16_t(WINAPI* verifyExport)(SheetRecord*) = nullptr;
    int16_t(WINAPI* verifyImport)(TextRecord*) = nullptr;
    int16_t(WINAPI* setSheetName)(SheetRecord*) = nullptr;
    int16_t(WINAPI* setCellInfo)(CellRecord*) = nullptr;
    int16_t(WINAPI* getSheetName)(SheetRecord*, TextRecord*) = nullptr;
    int16_t(WINAPI* getCellInfo)(CellRecord*) = nullptr;
    BSTR (*alloc)(const char*, unsigned int) = nullptr;
    void (*free)(BSTR) = nullptr;
};

struct Fixture {
    testsupport::Sandbox box;
    int user = 0;
    std::string workbook, database;
    Exports lib;
    std::vector<CellRecord> cells;
    bool ok = false;
    bool importPrepared = false;
    TextRecord importList{};

    Fixture() {
        user = box.addUser("Ann", "1001");
        workbook = box.dir.makeDir("pc") + "/Budget.xls";
        database = box.install(user) + "/Budget-Full.pdb";
        foundation::LinkRegistry registry{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
        syncmgr::useBackupDiscovery(registry);
        syncmgr::RegisterRequest request;
        request.pcPath = workbook;
        if (!syncmgr::registerLink(registry, request).ok()) return;

        auto loaded = platform::Library::load(testsupport::buildDir() + "/lib/libgridlink.so");
        if (!loaded) return;
        lib.library = std::move(*loaded);
        lib.verifyExport = lib.library.function<decltype(lib.verifyExport)>("VerifyExport");
        lib.verifyImport = lib.library.function<decltype(lib.verifyImport)>("VerifyImport");
        lib.setSheetName = lib.library.function<decltype(lib.setSheetName)>("SetSheetName");
        lib.setCellInfo = lib.library.function<decltype(lib.setCellInfo)>("SetCellInfo");
        lib.getSheetName = lib.library.function<decltype(lib.getSheetName)>("GetSheetName");
        lib.getCellInfo = lib.library.function<decltype(lib.getCellInfo)>("GetCellInfo");
        lib.alloc = lib.library.function<decltype(lib.alloc)>("SysAllocStringByteLen");
        lib.free = lib.library.function<decltype(lib.free)>("SysFreeString");

        // The add-in's cells: texts and numbers, a currency every fifth cell,
        // a colour every seventh, larger fonts every eleventh.
        cells.resize(kCells);
        for (int i = 0; i < kCells; ++i) {
            CellRecord& c = cells[size_t(i)];
            c = CellRecord{};
            c.row = 1 + i / kColumns;
            c.column = 1 + i % kColumns;
            std::string text = i % 3 == 0 ? "Item number " + std::to_string(i) : std::to_string(i * 1.25);
            c.text = lib.alloc(text.data(), unsigned(text.size()));
            c.value = i * 1.25;
            c.formatFlags = i % 5 == 0 ? 0x40 : 0;
            if (i % 5 == 0) c.currencyText = lib.alloc("kr-41D", 6);
            c.textColor = i % 7 == 0 ? 0x0000FF : 0;
            c.backColor = 0xFFFFFF;
            c.fontSize = i % 11 == 0 ? 14 : 10;
        }
        SheetRecord check{};
        check.sheetName = lib.alloc(workbook.data(), unsigned(workbook.size()));
        ok = lib.verifyExport(&check) == user;
        lib.free(check.sheetName);
    }
    ~Fixture() {
        if (importList.text) lib.free(importList.text);
        for (CellRecord& c : cells) {
            if (c.text) lib.free(c.text);
            if (c.currencyText) lib.free(c.currencyText);
        }
    }

    // One whole sheet through the exports; the closing call's status.
    int16_t exportSheet() {
        SheetRecord sheet{};
        sheet.sheetName = lib.alloc("Full", 4);
        sheet.fontSize = 10;
        sheet.defaultFontSize = 10;
        lib.setSheetName(&sheet);
        lib.free(sheet.sheetName);
        for (CellRecord& c : cells)
            if (lib.setCellInfo(&c) != 1) return -1;
        CellRecord closing{};
        closing.column = 0x7FFF;
        return lib.setCellInfo(&closing);
    }
};

Fixture& fixture() {
    static auto f = std::make_unique<Fixture>();
    return *f;
}

void BM_ExportFullSheetThroughExports(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("sandbox, link or library not ready");
        return;
    }
    int64_t cells = 0, bytes = 0;
    for (auto _ : state) {
        if (f.exportSheet() != 1) {
            state.SkipWithError("the closing SetCellInfo failed");
            break;
        }
        cells += kCells;
        bytes += int64_t(std::filesystem::file_size(f.database));
    }
    state.SetItemsProcessed(cells);
    state.SetBytesProcessed(bytes);
    state.counters["file_bytes"] =
        double(std::filesystem::exists(f.database) ? std::filesystem::file_size(f.database) : 0);
}
BENCHMARK(BM_ExportFullSheetThroughExports)->Unit(benchmark::kMillisecond);

void BM_ImportFullSheetThroughExports(benchmark::State& state) {
    Fixture& f = fixture();
    TextRecord& list = f.importList;
    if (!f.importPrepared) {
        // Once (the benchmark body runs several times): export, the HotSync
        // that installs and backs the database up, and VerifyImport. The
        // first walk to the end saves the link's counter, after which the
        // book would no longer be due.
        f.importPrepared = true;
        if (!f.ok || f.exportSheet() != 1) {
            state.SkipWithError("export failed");
            return;
        }
        std::filesystem::rename(f.database, f.box.backup(f.user) + "/Budget-Full.pdb");
        list.text = f.lib.alloc(f.workbook.data(), unsigned(f.workbook.size()));
        if (f.lib.verifyImport(&list) != f.user || list.number != 1) list.number = 0;
    }
    if (list.number != 1) {
        state.SkipWithError("VerifyImport did not list the sheet");
        return;
    }
    int64_t pieces = 0;
    for (auto _ : state) {
        SheetRecord sheet{};
        sheet.sheetNumber = 1;
        sheet.defaultFontSize = 10;
        CellRecord cell{};
        if (f.lib.getSheetName(&sheet, &list) < 0) state.SkipWithError("GetSheetName failed");
        int16_t rc;
        while ((rc = f.lib.getCellInfo(&cell)) == 0) ++pieces;
        if (rc != BF_EOF) state.SkipWithError("the walk did not end with -6");
        for (BSTR s : {cell.text, cell.currencyText, sheet.sheetName, sheet.currencyText})
            if (s) f.lib.free(s);
    }
    state.SetItemsProcessed(pieces);
}
BENCHMARK(BM_ImportFullSheetThroughExports)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
