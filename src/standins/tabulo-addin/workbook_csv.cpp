#include "workbook_csv.h"

#include <algorithm>
#include <map>
#include <utility>

#include "foundation/file_names.h"
#include "platform/files.h"
#include "platform/text.h"

namespace tabulo {

namespace {

constexpr std::string_view kCsvEnding = ".csv";
constexpr char kSeparator = ',';

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

}  // namespace

std::string writeCsvSheet(const SheetData& sheet) {
    // Cells in row and column order; a later cell of the same place wins.
    std::map<std::pair<int32_t, int32_t>, const CellData*> placed;
    for (const CellData& c : sheet.cells)
        if (c.row >= 1 && c.row <= kMaxRow && c.column >= 1 && c.column <= kMaxColumn)
            placed[{c.row, c.column}] = &c;
    std::string out;
    int32_t row = 1, column = 1;
    for (const auto& [place, cell] : placed) {
        for (; row < place.first; ++row, column = 1) out += "\r\n";
        for (; column < place.second; ++column) out += kSeparator;
        out += '"';
        for (char ch : cell->text) {
            if (ch == '"') out += '"';
            out += ch;
        }
        out += '"';
    }
    return out;
}

bool readCsvSheet(std::string_view text, SheetData& sheet) {
    int32_t row = 1, column = 1;
    bool fits = true;
    std::string field;
    auto endField = [&] {
        if (!field.empty() && (row > kMaxRow || column > kMaxColumn)) {
            fits = false;
        } else if (!field.empty()) {
            CellData cell;
            cell.row = row;
            cell.column = column;
            cell.text = field;
            sheet.cells.push_back(std::move(cell));
        }
        field.clear();
        if (column <= kMaxColumn)
            ++column;
        else
            column = kMaxColumn + 1;
    };
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            // Quoted: up to a quote that is not doubled; what follows it up
            // to the separator or the line end still belongs to the field.
            for (++i; i < text.size(); ++i) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
        }
        while (i < text.size() && text[i] != kSeparator && text[i] != '\r' && text[i] != '\n')
            field += text[i++];
        endField();
        if (i >= text.size()) break;
        if (text[i] == kSeparator) {
            ++i;
            if (i >= text.size()) endField();
            continue;
        }
        // A line end: CR LF, CR or LF.
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        ++i;
        if (row <= kMaxRow) ++row;
        column = 1;
    }
    return fits;
}

std::string csvPathForSheet(std::string_view outputPath, std::string_view sheetName) {
    size_t start = platform::fileNameStart(outputPath);
    std::string_view name = outputPath.substr(start);
    std::string stem(
        outputPath.substr(0, outputPath.size() - (platform::endsWithNoCase(name, kCsvEnding) ? 4 : 0)));
    size_t hyphen = stem.rfind('-');
    if (hyphen != std::string::npos && hyphen >= start) stem.resize(hyphen);
    if (sheetName.empty()) return stem + ".csv";
    return stem + "-" + std::string(sheetName) + ".csv";
}

bool writeCsvBook(const std::string& outputPath, const Book& book, std::string& error,
                  std::vector<std::string>* written) {
    for (const SheetData& sheet : book.sheets) {
        // A sheet without a name is the book's own file (csvPathForSheet).
        if (!sheet.name.empty() && !foundation::isSafeFileNamePart(sheet.name)) {
            error = "sheet name \"" + sheet.name + "\" cannot be part of a file name";
            return false;
        }
    }
    // Every sheet goes to a temporary file first; the files replace the old
    // ones only once all were written, so a full disk leaves the old book
    // whole instead of a mix of old and new sheets.
    std::vector<std::pair<std::string, platform::FileReplacement>> staged;
    const auto cannotWrite = [&error](const std::string& path) {
        error = "cannot write " + path + ": " + platform::errorText(platform::lastError());
        return false;
    };
    for (const SheetData& sheet : book.sheets) {
        std::string path = csvPathForSheet(outputPath, sheet.name);
        std::string text = writeCsvSheet(sheet);
        auto file = platform::FileReplacement::begin(path);
        if (!file || !file->write(text.data(), text.size())) return cannotWrite(path);
        staged.emplace_back(std::move(path), std::move(*file));
    }
    for (auto& [path, file] : staged) {
        if (!file.commit()) return cannotWrite(path);
        if (written) written->push_back(path);
    }
    return true;
}

bool readCsvBook(const std::string& path, Book& book, std::string& error) {
    size_t start = platform::fileNameStart(path);
    std::string folder = start == 0 ? std::string(".") : path.substr(0, start > 1 ? start - 1 : 1);
    std::string_view name = std::string_view(path).substr(start);
    if (!platform::endsWithNoCase(name, kCsvEnding)) {
        error = path + " does not end in .csv";
        return false;
    }
    std::string_view stem = name.substr(0, name.size() - kCsvEnding.size());
    std::string bookName(stem.substr(0, std::min(stem.size(), stem.rfind('-'))));

    std::vector<platform::DirEntry> entries;
    if (!platform::listDirectory(folder, entries)) {
        error = "cannot read the folder " + folder;
        return false;
    }
    std::vector<std::string> files;
    const std::string key = lower(bookName);
    for (const platform::DirEntry& e : entries) {
        if (e.directory || !platform::endsWithNoCase(e.name, kCsvEnding)) continue;
        std::string fileStem = lower(std::string_view(e.name).substr(0, e.name.size() - kCsvEnding.size()));
        if (fileStem == key ||
            (fileStem.size() > key.size() && fileStem.compare(0, key.size(), key) == 0 &&
             fileStem[key.size()] == '-' && fileStem.find('-', key.size() + 1) == std::string::npos))
            files.push_back(e.name);
    }
    if (files.empty()) {
        error = "no CSV file of the book " + bookName + " in " + folder;
        return false;
    }
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        std::string la = lower(a), lb = lower(b);
        return la != lb ? la < lb : a < b;
    });
    Book parsed;
    for (const std::string& file : files) {
        std::vector<uint8_t> bytes;
        std::string full = platform::joinPath(folder, file);
        if (!platform::readWholeFile(full, bytes)) {
            error = "cannot read " + full;
            return false;
        }
        SheetData sheet;
        std::string_view fileStem = std::string_view(file).substr(0, file.size() - kCsvEnding.size());
        size_t hyphen = fileStem.rfind('-');
        sheet.name =
            hyphen == std::string_view::npos ? std::string() : std::string(fileStem.substr(hyphen + 1));
        if (!readCsvSheet(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                          sheet)) {
            error = full + ": a field lies beyond row 9999 or column 256";
            return false;
        }
        parsed.sheets.push_back(std::move(sheet));
    }
    book = std::move(parsed);
    return true;
}

}  // namespace tabulo
