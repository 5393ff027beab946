// Importing a full sheet: a sheet database of 32,766 cells (texts, numbers,
// currency formats, colours) with row and column entries, opened with
// GetSheetName and walked with GetCellInfo to its end, as the add-in does.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/bstr.h"
#include "support/sandbox.h"
#include "workbook/book_lister.h"
#include "workbook/sheet_import.h"

namespace {

using namespace workbook;

constexpr int kCells = 32766;
constexpr int kColumns = 26;

std::vector<uint8_t> fullSheet() {
    testsupport::SheetDbSpec spec("Budget-Full");
    spec.cellRecords.reserve(kCells);
    for (int i = 0; i < kCells; ++i) {
        SheetCell c;
        c.key = {uint16_t(1 + i / kColumns), uint16_t(1 + i % kColumns)};
        std::string text = i % 3 == 0 ? "Item number " + std::to_string(i) : std::to_string(i * 1.25);
        c.text = text;
        c.value = i * 1.25;
        c.flags = i % 5 == 0 ? (0x200040u | (8u << 24)) : 0x200000u;
        c.textColor = uint8_t(i % 7 == 0 ? 6 : 255);
        spec.cellRecords.emplace_back();
        appendCellRecord(spec.cellRecords.back(), c);
    }
    return testsupport::makeSheetDatabase(spec);
}

struct Fixture {
    testsupport::TempDir dir;
    std::string list;
    foundation::LinkRegistry registry{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
    TransferOptions options;
    TransferContext context{registry, options};
    Fixture() {
        testsupport::writeFile(dir.file("Budget-Full.pdb"), fullSheet());
        registry.userList.emplace_back();
        list = dir.file("Budget") + std::string(1, '\0') + "Budget-Full.pdb" + std::string(1, '\0');
    }
};

Fixture& fixture() {
    static auto f = std::make_unique<Fixture>();
    return *f;
}

void BM_ImportFullSheet(benchmark::State& state) {
    Fixture& f = fixture();
    SheetImport import;
    TextRecord list{};
    list.number = 1;
    list.text = platform::allocByteString(f.list);
    int64_t cells = 0;
    for (auto _ : state) {
        SheetRecord sheet{};
        sheet.sheetNumber = 1;
        sheet.defaultFontSize = 10;
        CellRecord cell{};
        if (import.GetSheetName(f.context, &sheet, &list) < 0) state.SkipWithError("GetSheetName failed");
        int16_t rc;
        while ((rc = import.GetCellInfo(f.context, &cell)) == 0) ++cells;
        if (rc != BF_EOF) state.SkipWithError("walk did not end with EOF");
        platform::clearByteString(cell.text);
        platform::clearByteString(cell.currencyText);
        platform::clearByteString(sheet.sheetName);
        platform::clearByteString(sheet.currencyText);
    }
    platform::clearByteString(list.text);
    state.SetItemsProcessed(cells);
}
BENCHMARK(BM_ImportFullSheet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
