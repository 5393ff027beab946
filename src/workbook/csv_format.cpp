#include "workbook/csv_format.h"

#include <algorithm>

#include "foundation/link_registry.h"
#include "platform/files.h"
#include "platform/text.h"
#include "workbook/sheet_format.h"

namespace workbook {

bool usableSeparator(char c) { return c != kCsvQuote && c != '\r' && c != '\n' && c != '\0'; }

void applyRegionalValues(CsvSeparators& separators, std::string_view listValue,
                         std::string_view decimalValue) {
    if (!listValue.empty() && usableSeparator(listValue[0])) separators.list = listValue[0];
    if (!decimalValue.empty() && usableSeparator(decimalValue[0])) separators.decimal = decimalValue[0];
}

namespace {

// One character at a time, so that swapped separators (list "." and
// decimal ",") map both ways without one replacement undoing the other.
char toPc(char c, const CsvSeparators& s) {
    if (c == kHandheldListSeparator) return s.list;
    if (c == kHandheldDecimalSeparator) return s.decimal;
    return c;
}

char fromPc(char c, const CsvSeparators& s) {
    if (c == s.decimal) return kHandheldDecimalSeparator;
    if (c == s.list) return kHandheldListSeparator;
    return c;
}

}  // namespace

std::string mapToPc(std::string_view handheldText, const CsvSeparators& separators) {
    std::string out(handheldText);
    for (char& c : out) c = toPc(c, separators);
    return out;
}

void mapFromPc(std::string& field, const CsvSeparators& separators) {
    if (separators.list == kHandheldListSeparator && separators.decimal == kHandheldDecimalSeparator) return;
    for (char& c : field) c = fromPc(c, separators);
}

void appendCsvField(std::string& out, std::string_view handheldText, const CsvSeparators& separators) {
    out += kCsvQuote;
    for (char c : handheldText) {
        char m = toPc(c, separators);
        if (m == kCsvQuote) out += kCsvQuote;
        out += m;
    }
    out += kCsvQuote;
}

std::string writeCsvSheet(std::vector<CsvCell> cells, const CsvSeparators& separators) {
    std::erase_if(cells, [](const CsvCell& c) {
        return c.row < 1 || c.row > kMaxRow || c.column < 1 || c.column > kMaxColumn;
    });
    std::stable_sort(cells.begin(), cells.end(), [](const CsvCell& a, const CsvCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    std::string out;
    uint32_t row = 1, column = 1;
    for (size_t i = 0; i < cells.size(); ++i) {
        const CsvCell& cell = cells[i];
        // Of two cells at one place the later one counts.
        if (i + 1 < cells.size() && cells[i + 1].row == cell.row && cells[i + 1].column == cell.column)
            continue;
        for (; row < cell.row; ++row) {
            out += kCsvLineEnd;
            column = 1;
        }
        for (; column < cell.column; ++column) out += separators.list;
        appendCsvField(out, cell.text, separators);
    }
    return out;
}

CsvReader::Event CsvReader::step(uint8_t b) {
    // A line feed after a carriage return belongs to that line end.
    if (b == '\n' && afterCr_) {
        afterCr_ = false;
        return Event::None;
    }
    afterCr_ = b == '\r';
    switch (state_) {
        case State::FieldStart:
            if (b == uint8_t(kCsvQuote)) {
                state_ = State::Quoted;
                return Event::None;
            }
            state_ = State::Unquoted;
            [[fallthrough]];
        case State::Unquoted:
            if (b == uint8_t(list_)) return Event::FieldEnd;
            if (b == '\r' || b == '\n') return Event::RowEnd;
            append(b);
            return Event::None;
        case State::Quoted:
            if (b == uint8_t(kCsvQuote)) {
                state_ = State::AfterQuote;
                return Event::None;
            }
            // A carriage return ends even a quoted field; a line feed on its own
            // is part of the text (a handheld cell with a line break is written
            // that way).
            if (b == '\r') return Event::RowEnd;
            append(b);
            return Event::None;
        case State::AfterQuote:
            if (b == uint8_t(kCsvQuote)) {
                append(b);
                state_ = State::Quoted;
                return Event::None;
            }
            if (b == uint8_t(list_)) return Event::FieldEnd;
            if (b == '\r' || b == '\n') return Event::RowEnd;
            return Event::Stop;
        case State::Stopped:
        case State::Finished:
            break;
    }
    return Event::None;
}

void CsvReader::afterField(Event e) {
    switch (e) {
        case Event::FieldEnd:
            ++column_;
            state_ = State::FieldStart;
            break;
        case Event::RowEnd:
            ++row_;
            column_ = 1;
            state_ = State::FieldStart;
            break;
        case Event::Stop:
            state_ = State::Stopped;
            stopped_ = true;
            break;
        case Event::None:
            break;
    }
}

bool CsvReader::matchBom(uint8_t b) {
    if (b != uint8_t(kUtf8ByteOrderMark[bomMatched_])) return false;
    if (++bomMatched_ == kUtf8ByteOrderMark.size()) {
        bomPending_ = false;
        bomMatched_ = 0;
    }
    return true;
}

std::vector<ReadCsvField> readCsvText(std::string_view text, char listSeparator) {
    std::vector<ReadCsvField> fields;
    CsvReader reader(listSeparator);
    auto collect = [&fields](const CsvField& f) { fields.push_back({f.row, f.column, std::string(f.text)}); };
    reader.feed(text, collect);
    reader.finish(collect);
    return fields;
}

std::string csvPrefix(std::string_view csvPath) {
    size_t nameStart = platform::fileNameStart(csvPath);
    size_t hyphen = csvPath.rfind('-');
    if (hyphen != std::string_view::npos && hyphen >= nameStart)
        return std::string(csvPath.substr(0, hyphen + 1));
    if (platform::endsWithNoCase(csvPath, kCsvFileEnding))
        return std::string(csvPath.substr(0, csvPath.size() - kCsvFileEnding.size())) + '-';
    return std::string(csvPath);
}

std::string csvSheetFileName(std::string_view prefix, std::string_view sheetName) {
    std::string name(prefix);
    name += sheetName;
    if (platform::endsWithNoCase(name, kWorkbookFileEnding))
        name.resize(name.size() - kWorkbookFileEnding.size());
    name += kCsvFileEnding;
    return name;
}

std::string csvOneSheetFileName(std::string_view prefix) {
    std::string name(prefix);
    if (!name.empty() && name.back() == '-') name.pop_back();
    name += kCsvFileEnding;
    return name;
}

std::string csvSheetName(std::string_view fileName) {
    size_t hyphen = fileName.rfind('-');
    if (hyphen == std::string_view::npos) return {};
    std::string_view name = fileName.substr(hyphen + 1);
    if (name.size() > kCsvFileEnding.size() && platform::endsWithNoCase(name, kCsvFileEnding))
        name.remove_suffix(kCsvFileEnding.size());
    return std::string(name);
}

}  // namespace workbook
