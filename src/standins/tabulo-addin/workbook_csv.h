// tabulo-addin/workbook_csv.h - workbooks as CSV files, one per sheet.
//
// A book kept as CSV is a set of files named after the book, a hyphen and
// the sheet name: Budget-Jan.csv, Budget-Feb.csv (a file named Budget.csv
// is a one-sheet book whose sheet has no name).
//
// Written: every field in double quotes, a double quote inside doubled,
// fields separated by ",", rows by CR LF, no line end after the last row;
// empty cells are nothing between separators, rows without cells empty
// lines. Only cells are written (rows 1-9999, columns 1-256), their text.
// Read: a field is quoted when it begins with a double quote; a row ends at
// CR LF, CR or LF outside quotes; empty fields make no cell; every other
// field becomes a cell holding that text (value 0, default format).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workbook_model.h"

namespace tabulo {

// The text of one sheet as a CSV file.
std::string writeCsvSheet(const SheetData& sheet);
// The cells of one CSV file's text; false when a field lies beyond row 9999
// or column 256 (those fields are left out).
bool readCsvSheet(std::string_view text, SheetData& sheet);

// The file of one sheet for an output path ending in ".csv": the path up to
// the last hyphen of its file name (with the hyphen), or without ".csv" and
// with a hyphen, then the sheet name and ".csv". A sheet without a name
// gives the path itself without a hyphen (Budget.csv).
std::string csvPathForSheet(std::string_view outputPath, std::string_view sheetName);

// Writes every sheet of the book beside outputPath; false with a message.
bool writeCsvBook(const std::string& outputPath, const Book& book, std::string& error,
                  std::vector<std::string>* written = nullptr);
// Reads the book of a CSV path: every "<book>.csv" and "<book>-*.csv" in
// its folder (any case), in name order. false with a message when the
// folder cannot be read, no file belongs to the book, or a file has a
// field beyond row 9999 or column 256.
bool readCsvBook(const std::string& path, Book& book, std::string& error);

}  // namespace tabulo
