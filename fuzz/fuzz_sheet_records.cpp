// Throws arbitrary bytes at every sheet database record parser and at the
// reference, currency and chart text readers. Whatever parses must build
// back to the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "foundation/byteorder.h"

#include "workbook/currency.h"
#include "workbook/references.h"
#include "workbook/sheet_format.h"

using namespace workbook;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool sameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    std::string_view text(reinterpret_cast<const char*>(data), size);

    parseRecordKey(bytes);
    if (auto h = parseHeaderRecord(bytes)) require(sameBytes(encodeBookHeader(*h), bytes.subspan(kKeySize)));
    if (size >= kBookHeaderSize) {
        auto h = decodeBookHeader(bytes.first(kBookHeaderSize));
        require(h && sameBytes(encodeBookHeader(*h), bytes.first(kBookHeaderSize)));
    }
    if (auto rows = parseRowEntries(bytes)) {
        auto built = buildRowEntriesRecord(*rows);
        require(
            sameBytes(std::span(built).subspan(kKeySize), bytes.subspan(kKeySize, built.size() - kKeySize)));
    }
    if (auto cols = parseColumnEntries(bytes)) {
        auto built = buildColumnEntriesRecord(*cols);
        require(
            sameBytes(std::span(built).subspan(kKeySize), bytes.subspan(kKeySize, built.size() - kKeySize)));
    }
    if (auto cell = parseCellRecord(bytes)) {
        std::vector<uint8_t> built;
        require(appendCellRecord(built, *cell));
        // Everything but the reserved bytes (written as zeros) comes back.
        constexpr size_t reserved = kKeySize + cell::kReserved;
        std::span<const uint8_t> out(built);
        require(out.size() <= size);
        require(sameBytes(out.first(reserved), bytes.first(reserved)));
        require(sameBytes(out.subspan(kCellHeaderSize),
                          bytes.subspan(kCellHeaderSize, out.size() - kCellHeaderSize)));
        if (auto def = splitChartDefinitionText(cell->text)) {
            for (std::string_view v : def->values) parseRange(v);
            parseRange(def->names);
            parseRange(def->categories);
        }
        if (auto item = parseChartItemText(cell->text)) require(item->name.size() + 2 <= cell->text.size());
    }

    size_t used = 0;
    if (auto ref = ParseCellRef(text, &used)) {
        require(used <= size);
        require(ref->column >= 1 && ref->column <= kMaxReferenceColumn);
        require(ref->row >= 1 && ref->row <= kMaxReferenceRow);
    }
    if (auto range = parseRange(text)) {
        auto again = parseRange(FormatRange(*range));
        require(again && *again == *range);
    }
    std::optional<CellRange> merged;
    if (auto range = parseRange(text.substr(0, size / 2))) mergeRange(merged, *range);
    if (auto range = parseRange(text.substr(size / 2))) mergeRange(merged, *range);
    if (merged) require(parseRange(FormatRange(*merged)).has_value());

    auto parts = splitCurrencyText(text);
    uint8_t code = CurrencyCode(parts.locale, parts.symbol);
    require(code <= kMaxCurrencyTableCode);
    if (size >= 4) CurrencyText(foundation::loadBE32(data));
    return 0;
}
