#include "workbook_files.h"

#include "platform/files.h"
#include "platform/text.h"
#include "workbook_csv.h"
#include "workbook_json.h"

namespace tabulo {

namespace {}  // namespace

WorkbookFormat outputFormatOf(const std::string& path) {
    if (platform::endsWithNoCase(path, ".json") || platform::endsWithNoCase(path, ".xls"))
        return WorkbookFormat::Json;
    if (platform::endsWithNoCase(path, ".csv")) return WorkbookFormat::Csv;
    return WorkbookFormat::Unknown;
}

bool readWorkbookFile(const std::string& path, Book& book, std::string& error, bool* emptyContent) {
    if (emptyContent) *emptyContent = false;
    if (platform::endsWithNoCase(path, ".csv")) return readCsvBook(path, book, error);
    std::vector<uint8_t> bytes;
    if (!platform::readWholeFile(path, bytes)) {
        error = "cannot read " + path + ": " + platform::errorText(platform::lastError());
        return false;
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!looksLikeJson(text)) {
        book = Book();
        if (emptyContent) *emptyContent = true;
        return true;
    }
    if (!readJson(text, book, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool writeWorkbookFile(const std::string& path, const Book& book, std::string& error,
                       std::vector<std::string>* written) {
    switch (outputFormatOf(path)) {
        case WorkbookFormat::Json: {
            std::string text = writeJson(book);
            if (!platform::writeFileAtomically(path, text.data(), text.size())) {
                error = "cannot write " + path + ": " + platform::errorText(platform::lastError());
                return false;
            }
            if (written) written->push_back(path);
            return true;
        }
        case WorkbookFormat::Csv:
            return writeCsvBook(path, book, error, written);
        case WorkbookFormat::Unknown:
            break;
    }
    error = path + " does not end in .json, .xls or .csv";
    return false;
}

std::string absolutePath(const std::string& path) {
    std::string full =
        platform::isAbsolutePath(path) ? path : platform::joinPath(platform::currentDirectory(), path);
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= full.size()) {
        size_t end = full.find(platform::kPathSeparator, start);
        if (end == std::string::npos) end = full.size();
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += platform::kPathSeparator + p;
    return out.empty() ? std::string(1, platform::kPathSeparator) : out;
}

}  // namespace tabulo
