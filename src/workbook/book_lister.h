// workbook/book_lister.h - the files that make up a book, and the book list.
//
// A book is the set of files in one folder whose compared name is the book
// name, or the book name, a hyphen and a sheet name (without regard to case):
// for sheet databases the compared name is the database name in the file's
// header, for CSV files the file name without its ".csv" ending.
//
// The book list travels in a TextRecord:
//
//   field   on entry                          on return (when files matched)
//   number  kind: 1 sheet databases,          count of files (0 whenever
//           anything else CSV files           nothing was listed)
//   text    a path ending in the book name    book path, NUL, then every file
//                                             name followed by a NUL
//
// The book path is the folder scanned joined with the book name (its ".pdb"
// or ".csv" ending removed and the name cut at its last hyphen). A file's
// full path is the book path with its last component replaced by the file
// name; the folder is the whole path when that is a folder, else the path
// without its last component.
//
// Files skipped: folders, hidden and system files, the handheld's own
// "PiTBPref.PDB" and "PiTBData.PDB", files without the kind's ending, files
// not written after the time given, and sheet databases whose header is not
// type "Data", creator "PiTB", version 50 to dbVersion. Files are taken in
// name order (without regard to case), so the list and the last listed book
// do not depend on the order the file system hands them out in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gridlink.h"
#include "platform/files.h"

namespace workbook {

constexpr int16_t kListSheetDatabases = 1;
constexpr std::string_view kSheetDatabaseEnding = ".pdb";
constexpr std::string_view kCsvEnding = ".csv";
constexpr std::string_view kPreferencesDatabaseFile = "PiTBPref.PDB";
constexpr std::string_view kDataDatabaseFile = "PiTBData.PDB";
// The count is a 16-bit status: a folder with more files of the book lists
// this many.
constexpr int16_t kMaxListedFiles = 32767;

// ListBookFiles: lists the book's files into the record. When newerThan is
// given only files written after it are listed, and it is raised to the
// newest last-write time among them. For sheet databases lastListedBook
// becomes the database name of the last file listed. Returns the count (the
// record's text is replaced only when it is not 0; its number is the count,
// 0 on every failure), -1 record missing, -3 memory, -15 the folder cannot
// be read.
int16_t ListBookFiles(TextRecord* record, platform::FileTime* newerThan, std::string& lastListedBook);

// The book-membership rule: the first bookName.size() characters of name
// equal the book name without regard to case, and the next one is the end
// of the name or a hyphen.
bool belongsToBook(std::string_view name, std::string_view bookName);

// One file of a book list (k from 1): the book path (the list's first
// string) and the file name. Nothing when the list ends, or holds an empty
// string, before the k-th file, or when that name is not a plain file name
// (a path separator, "." or ".."). Reads only the list's bytes.
struct BookListFile {
    std::string_view bookPath;
    std::string_view fileName;
};
std::optional<BookListFile> bookListFile(std::string_view list, int k);

// The book path with its last component (after the last '/' or '\') replaced
// by the file name.
std::string bookFilePath(std::string_view bookPath, std::string_view fileName);

}  // namespace workbook
