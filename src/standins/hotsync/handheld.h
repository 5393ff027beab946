// hotsync/handheld.h - a simulated handheld: one folder of databases per user.
//
//   <handheld folder>/<user name>/<database name>.pdb
//
// Each file is one Palm database (foundation/pdb.h) named after the database
// name in its header. The HotSync stand-in installs databases into it and
// backs them up from it; `set-cell` edits a sheet the way Tabulo does on the
// handheld.
//
// Tabulo's change counter. Every sheet database carries a change counter in
// its book header (offset 16, scrambled); the book's counter is the highest
// among its sheets (the sheet databases whose name is the book name, or the
// book name, a hyphen and a sheet name). Tabulo raises it by one whenever
// the book changes on the handheld, and the stand-in does the same:
//   a cell edited          the sheet's counter = the book's counter + 1
//   sheets installed       every sheet of the book taken in at one HotSync
//                          gets one more than the highest of the book's
//                          counter and the counters of the sheets coming in
// The desktop relies on the second: after it sends a book (or passes one on
// from another user) it records the book's counter + 1 as already seen.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hotsync {

constexpr std::string_view kDatabaseEnding = ".pdb";

// What `show` lists of one database.
struct DatabaseInfo {
    std::string fileName;
    std::string name;
    std::string type;     // four characters
    std::string creator;  // four characters
    uint16_t version = 0;
    uint16_t numRecords = 0;
    std::optional<uint32_t> changeCounter;  // sheet databases only (unscrambled)
};

// One cell of a sheet, as `show` prints it.
struct SheetCellText {
    uint16_t row = 0;
    uint16_t column = 0;
    std::string text;
};

// The book a sheet database belongs to: its name before the last hyphen (the
// whole name when there is none).
std::string_view bookOf(std::string_view databaseName);

// The database name in a file's header, or nothing for fewer than 78 bytes.
std::optional<std::string> databaseNameOf(std::span<const uint8_t> file);
// The change counter of a sheet database's bytes, or nothing when they are
// not a Tabulo sheet database (type "Data", creator "PiTB", record 0 of 66
// bytes).
std::optional<uint32_t> sheetCounter(std::span<const uint8_t> file);
// The same bytes with another change counter (stored scrambled); nothing
// when they are not a sheet database.
std::optional<std::vector<uint8_t>> withSheetCounter(std::span<const uint8_t> file, uint32_t counter);
// The bytes of a sheet database with the cell (row, column) set to the text
// (added in row and column order, or replaced keeping its format and colours;
// a number also becomes the cell's value). Nothing, with a message, when the
// bytes are not a sheet database or the place is outside the sheet.
std::optional<std::vector<uint8_t>> withCell(std::span<const uint8_t> file, uint16_t row, uint16_t column,
                                             std::string_view text, std::string& error);

class Handheld {
public:
    explicit Handheld(std::string folder) : folder_(std::move(folder)) {}

    const std::string& folder() const { return folder_; }
    // Creates the folder (and its parent) when missing.
    bool create(std::string& error) const;
    // The databases, sorted by name.
    std::vector<DatabaseInfo> databases() const;
    std::string databasePath(std::string_view name) const;

    // The book's counter: the highest counter among its sheet databases (0
    // when it has none).
    uint32_t bookCounter(std::string_view book) const;

    // Installs a database from its file bytes under its database name; a
    // sheet database gets the counter given (when none is given: the book's
    // next counter). The name is returned in `name`. Refused (with a
    // message) when the bytes are not a well-formed Palm database or the name
    // cannot be a file name; Failed when the file cannot be written.
    enum class InstallResult { Installed, Refused, Failed };
    InstallResult install(std::span<const uint8_t> bytes, std::optional<uint32_t> counter, std::string& name,
                          std::string& error) const;

    // Sets one cell of a sheet database and raises the book's counter; the
    // new counter in `counter`.
    bool setCell(std::string_view database, uint16_t row, uint16_t column, std::string_view text,
                 uint32_t& counter, std::string& error) const;

    // The cells of a sheet database in record order; false when it cannot be read.
    bool sheetCells(std::string_view database, std::vector<SheetCellText>& cells, std::string& error) const;

private:
    std::string folder_;
};

}  // namespace hotsync
