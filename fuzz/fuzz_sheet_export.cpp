// Arbitrary bytes read as a run of SetSheetName / SetCellInfo calls with any
// rows, columns, sizes, texts, chart strings and announced counts, with no
// HotSync user to write to. Whatever the calls, every finished database must
// be a well-formed container whose records all parse, and the text helpers
// must keep their limits.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/link_registry.h"
#include "foundation/pdb.h"
#include "platform/bstr.h"
#include "workbook/chart_formula.h"
#include "workbook/sheet_export.h"

using namespace workbook;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t u16() { return uint16_t(u8() | (u8() << 8)); }
    uint32_t u32() { return uint32_t(u16()) | (uint32_t(u16()) << 16); }
    std::string text(size_t maxLength) {
        size_t n = maxLength ? u16() % (maxLength + 1) : 0;
        n = std::min(n, size_ - pos_);
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    // Rows and columns: mostly values near the edges of the ranges.
    int32_t coordinate() {
        static const int32_t edges[] = {0,   1,   2,  99, 100,    999,    1000,    9999,      10000,     255,
                                        256, 257, -1, -2, 0xFFFE, 0xFFFF, 0x10000, INT32_MIN, INT32_MAX, 3};
        uint8_t pick = u8();
        if (pick < 200) return edges[pick % (sizeof edges / sizeof edges[0])];
        return int32_t(u32());
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Every record of a finished database is where the container says and
// parses as what its place says it is.
void checkDatabase(const foundation::PdbImage& image) {
    require(foundation::validPdbLayout(image));
    size_t n = image.numRecords();
    require(n >= 4);
    auto r0 = foundation::recordAt(image, kHeaderRecord);
    require(r0 && parseHeaderRecord(*r0).has_value());
    auto r1 = foundation::recordAt(image, kRowEntriesRecord);
    require(r1 && (r1->size() - kKeySize) % kRowEntrySize == 0 && parseRowEntries(*r1).has_value());
    auto r2 = foundation::recordAt(image, kColumnEntriesRecord);
    require(r2 && (r2->size() - kKeySize) % kColumnEntrySize == 0 && parseColumnEntries(*r2).has_value());
    for (size_t i = kFirstCellRecord; i + 1 < n; ++i) {
        auto r = foundation::recordAt(image, i);
        require(r.has_value());
        auto cell = parseCellRecord(*r);
        require(cell && cellRecordSize(cell->text.size()) == r->size());
        require(cell->key.column != kEndColumn);
    }
    auto last = foundation::recordAt(image, n - 1);
    require(last && last->size() == kKeySize && parseRecordKey(*last) == kTerminatorKey);
    // The bytes written are the bytes loaded back.
    foundation::PdbImage again;
    require(foundation::loadPdbFromBytes(again, foundation::pdbFileBytes(image)) &&
            again.bytes == image.bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view whole(reinterpret_cast<const char*>(data), size);
    require(rewriteFormulaBrackets(whole).size() <= size);
    std::vector<std::string_view> formulas;
    for (size_t start = 0; start <= whole.size();) {
        size_t nul = whole.find('\0', start);
        if (nul == std::string_view::npos) nul = whole.size();
        formulas.push_back(whole.substr(start, nul - start));
        start = nul + 1;
    }
    ChartDefinitionText def = chartDefinitionFromSeries(formulas);
    require(def.text.size() <= kMaxChartDefinitionLength && def.text.ends_with(')'));

    foundation::LinkRegistry registry(foundation::Product{"Tabulo"}, "TBRegistry.dat");
    TransferOptions options;
    options.exportTargetUser = 1000;  // no such user: nothing is written anywhere
    TransferContext context{registry, options};
    SheetExport sheet;

    Input in(data, size);
    for (int calls = 0; !in.done() && calls < 2000; ++calls) {
        switch (in.u8() % 4) {
            case 0: {
                registry.highResolution = in.u8() & 1;
                options.fontMapping = int8_t(in.u8()) % 6;
                options.exportCategory = in.u8();
                options.exportTarget.exportBookName = in.text(40);
                SheetRecord sheetRecord{};
                std::string name = in.text(40);
                sheetRecord.sheetName = platform::allocByteString(name);
                sheetRecord.formatFlags = int32_t(in.u32());
                sheetRecord.options = int32_t(in.u32());
                sheetRecord.setting16 = int32_t(in.u32());
                sheetRecord.fontSize = int16_t(in.u16());
                sheetRecord.defaultFontSize = int16_t(in.u16());
                // A separator in the sheet name (read up to its first NUL) is refused.
                const bool separator = platform::byteStringText(sheetRecord.sheetName).find_first_of("/\\") !=
                                       std::string_view::npos;
                require(sheet.SetSheetName(context, &sheetRecord) == (separator ? BF_ERR_WRITE : 1));
                platform::clearByteString(sheetRecord.sheetName);
                break;
            }
            case 1:
            case 2: {
                CellRecord cell{};
                cell.row = in.coordinate();
                cell.column = in.coordinate();
                cell.width = int16_t(in.u16());
                cell.height = int16_t(in.u16());
                cell.formatFlags = int32_t(in.u32());
                cell.textColor = in.u32();
                cell.backColor = in.u32();
                cell.chartByteA = in.u8();
                cell.fontSize = int16_t(in.u16());
                cell.value = double(int32_t(in.u32()));
                std::string text = in.text(3000);
                std::string currency = in.text(80);
                cell.text = platform::allocByteString(text);
                cell.currencyText = platform::allocByteString(currency);
                int16_t rc = sheet.SetCellInfo(context, &cell);
                require(rc == 1 || rc == BF_ERR_ROW || rc == BF_ERR_COLUMN || rc == BF_ERR_PROGRAM ||
                        rc == BF_ERR_TOO_MANY_CELLS || rc == BF_ERR_WRITE || rc == BF_ERR_USER);
                platform::clearByteString(cell.text);
                platform::clearByteString(cell.currencyText);
                break;
            }
            default: {
                CellRecord closing{};
                closing.column = 257;
                closing.formatFlags = int32_t(in.u32());
                closing.fontSize = int16_t(in.u16());
                foundation::PdbImage image;
                int16_t rc = sheet.finishSheet(context, closing, image);
                require(rc == 1 || rc == BF_ERR_PROGRAM || rc == BF_ERR_TOO_MANY_CELLS);
                if (rc == 1) {
                    checkDatabase(image);
                    require(image.numRecords() == sheet.numRecords() + sheet.chartCount() + 1);
                }
                break;
            }
        }
    }
    return 0;
}
