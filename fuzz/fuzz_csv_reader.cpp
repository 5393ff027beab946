// A CSV file as it may lie beside a linked book: any bytes, read with any
// list separator. Reading must stay in bounds and keep its promises (fields
// never empty or longer than the buffer, places in file order, the same
// fields whatever the pieces the file comes in), and what is read must write
// back to a file that reads the same.
//
// Input: byte 0 the list separator, byte 1 the piece size for the second
// reading, then the file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "workbook/csv_format.h"
#include "workbook/sheet_format.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::vector<workbook::ReadCsvField> readInPieces(std::string_view text, char list, size_t piece) {
    std::vector<workbook::ReadCsvField> fields;
    workbook::CsvReader reader(list);
    auto collect = [&fields](const workbook::CsvField& f) {
        fields.push_back({f.row, f.column, std::string(f.text)});
    };
    for (size_t at = 0; at < text.size(); at += piece) reader.feed(text.substr(at, piece), collect);
    reader.finish(collect);
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const char list = char(data[0]);
    const size_t piece = 1 + data[1] % 17;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    const auto fields = workbook::readCsvText(text, list);
    for (size_t i = 0; i < fields.size(); ++i) {
        check(!fields[i].text.empty() && fields[i].text.size() <= workbook::kMaxCsvFieldLength);
        check(fields[i].row >= 1 && fields[i].column >= 1);
        if (i > 0) {
            const auto& p = fields[i - 1];
            check(fields[i].row > p.row || (fields[i].row == p.row && fields[i].column > p.column));
        }
    }
    check(readInPieces(text, list, piece) == fields);

    // Written back (no separator mapping) and read again: the same fields,
    // for every field on the sheet that holds no carriage return (one ends
    // even a quoted field).
    std::vector<workbook::CsvCell> cells;
    std::vector<workbook::ReadCsvField> expected;
    for (const auto& f : fields) {
        if (f.row > workbook::kMaxRow || f.column > workbook::kMaxColumn) continue;
        if (f.text.find('\r') != std::string::npos) continue;
        cells.push_back({uint32_t(f.row), uint32_t(f.column), f.text});
        expected.push_back(f);
    }
    const workbook::CsvSeparators plain;
    check(workbook::readCsvText(workbook::writeCsvSheet(cells, plain), plain.list) == expected);

    // The mapping and the names take any text.
    workbook::CsvSeparators regional;
    workbook::applyRegionalValues(regional, text.substr(0, 1), text.substr(std::min<size_t>(1, text.size())));
    std::string mapped = workbook::mapToPc(text, regional);
    workbook::mapFromPc(mapped, regional);
    check(mapped.size() == text.size());
    const std::string prefix = workbook::csvPrefix(text);
    check(prefix.size() <= text.size() + 1);
    (void)workbook::csvSheetFileName(prefix, workbook::csvSheetName(text));
    return 0;
}
