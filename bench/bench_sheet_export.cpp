// Exporting the largest sheet there is: SetSheetName, 32,763 cells (32,766
// records with the header, row and column records) and the closing call,
// once built in memory only and once written into a sandbox user's Install
// folder. Reports cells per second and the database's size.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/link_registry.h"
#include "platform/bstr.h"
#include "support/sandbox.h"
#include "syncmgr/sheet_distribution.h"
#include "workbook/sheet_export.h"

namespace {

constexpr int kCells = 32766 - 3;

// The cells of a sheet of numbers, formulas and labels, made once.
struct Cells {
    std::vector<CellRecord> records;
    Cells() {
        records.resize(kCells);
        for (int i = 0; i < kCells; ++i) {
            CellRecord& c = records[size_t(i)];
            c.row = 1 + i / 40;
            c.column = 1 + i % 40;
            c.textColor = 0x000000;
            c.backColor = 0xFFFFFF;
            c.fontSize = 10;
            c.value = i * 1.25;
            std::string text = i % 7 == 0   ? "=[C:\\Data\\Prices.xls]Sheet1!A" + std::to_string(i % 100 + 1)
                               : i % 3 == 0 ? "Label " + std::to_string(i)
                                            : std::to_string(i * 1.25);
            c.text = platform::allocByteString(text);
            if (i % 11 == 0) {
                c.formatFlags = 0x40;
                c.currencyText = platform::allocByteString("kr-41D");
            }
        }
    }
    ~Cells() {
        for (CellRecord& c : records) {
            platform::clearByteString(c.text);
            platform::clearByteString(c.currencyText);
        }
    }
};

Cells& cells() {
    static auto c = std::make_unique<Cells>();
    return *c;
}

void exportSheet(benchmark::State& state, workbook::TransferContext& context, workbook::SheetExport& sheet,
                 bool write) {
    SheetRecord sheetRecord{};
    sheetRecord.sheetName = platform::allocByteString("Jan");
    sheetRecord.fontSize = 10;
    sheetRecord.defaultFontSize = 10;
    context.options.exportTarget.exportBookName = "Budget";
    size_t bytes = 0;
    for (auto _ : state) {
        if (sheet.SetSheetName(context, &sheetRecord) != 1) state.SkipWithError("SetSheetName failed");
        for (CellRecord& c : cells().records)
            if (sheet.SetCellInfo(context, &c) != 1) state.SkipWithError("SetCellInfo failed");
        CellRecord closing{};
        closing.column = 257;
        if (write) {
            if (sheet.SetCellInfo(context, &closing) != 1) state.SkipWithError("closing failed");
        } else {
            foundation::PdbImage image;
            if (sheet.finishSheet(context, closing, image) != 1) state.SkipWithError("finish failed");
            benchmark::DoNotOptimize(image.bytes.data());
        }
    }
    CellRecord closing{};
    foundation::PdbImage image;
    if (sheet.finishSheet(context, closing, image) == 1) bytes = image.size();
    platform::clearByteString(sheetRecord.sheetName);
    state.SetItemsProcessed(int64_t(state.iterations()) * kCells);
    state.counters["records"] = double(sheet.numRecords());
    state.counters["sheet_bytes"] = double(bytes);
}

void BM_ExportSheetInMemory(benchmark::State& state) {
    foundation::LinkRegistry registry(foundation::Product{"Tabulo"}, "TBRegistry.dat");
    workbook::TransferOptions options;
    options.exportTargetUser = 1000;  // nobody
    workbook::TransferContext context{registry, options};
    workbook::SheetExport sheet;
    exportSheet(state, context, sheet, false);
}
BENCHMARK(BM_ExportSheetInMemory)->Unit(benchmark::kMillisecond);

void BM_ExportSheetToInstallFolder(benchmark::State& state) {
    testsupport::Sandbox box;
    box.addUser("Ann", "1001");
    testsupport::writeFile(box.registryFile(),
                           "0\r\n[Ann]\r\nenabled=10\r\nBudget=0,1,-1,0,0,-1?/pc/Budget.xls\r\n");
    foundation::LinkRegistry registry(foundation::Product{"Tabulo"}, "TBRegistry.dat");
    if (registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No) < 0)
        state.SkipWithError("no registry");
    workbook::TransferOptions options;
    workbook::TransferContext context{registry, options};
    // Writes each closed sheet as the library does, without saving the registry.
    struct Distribution : workbook::SheetExportOwner {
        int16_t writeToUsers(workbook::TransferContext& context, std::string_view bookName,
                             const foundation::PdbImage& image, size_t& usersWritten) override {
            return syncmgr::WriteSheetToUsers(context, bookName, image, -1, 0, &usersWritten);
        }
        int16_t afterWrite() override { return 1; }
    } distribution;
    workbook::SheetExport sheet(&distribution);
    exportSheet(state, context, sheet, true);
}
BENCHMARK(BM_ExportSheetToInstallFolder)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
