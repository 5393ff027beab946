// tabulo-addin/workbook_files.h - reading and writing workbook files by name.
//
//   *.csv            the CSV book the file belongs to (workbook_csv.h)
//   anything else    JSON when the content is JSON (workbook_json.h); any
//                    other content - the template workbook that linking
//                    copies in, a real spreadsheet file - is an empty book
// Written: "*.json" and "*.xls" as JSON, "*.csv" as one file per sheet.
#pragma once

#include <string>
#include <vector>

#include "workbook_model.h"

namespace tabulo {

enum class WorkbookFormat { Json, Csv, Unknown };

// The format a path is written in, by its ending (any case).
WorkbookFormat outputFormatOf(const std::string& path);

// Reads a workbook; false with a message. emptyContent tells that the file
// held something other than JSON and was taken as an empty book.
bool readWorkbookFile(const std::string& path, Book& book, std::string& error, bool* emptyContent = nullptr);
// Writes a workbook; false with a message. written lists the files.
bool writeWorkbookFile(const std::string& path, const Book& book, std::string& error,
                       std::vector<std::string>* written = nullptr);

// A path made absolute against the current folder, with "." and ".."
// components and doubled separators removed, so the path a link records and
// the path a workbook is later opened by compare equal.
std::string absolutePath(const std::string& path);

}  // namespace tabulo
