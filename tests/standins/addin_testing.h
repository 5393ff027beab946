// Helpers for the add-in stand-in's tests: a sandbox with linked users,
// transfers through libgridlink in child processes (each child loads the
// library afresh, as each start of the spreadsheet does), what a HotSync does
// with the Install folders, and the tool run as a program.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gridlink_host.h"
#include "support/process.h"
#include "support/sandbox.h"
#include "workbook_model.h"

namespace addintest {

std::string gridlinkPath();  // the built lib/libgridlink.so
std::string addinPath();     // the built bin/tabulo-addin

std::string textOf(const std::string& path);

// Links a workbook for a user with the Register flow; fails the test when
// it is refused.
void linkBook(int user, const std::string& path, int rule, bool highResolution = false, int fontMapping = 0);

// What a transfer in a child process reported.
struct ChildTransfer {
    int exitCode = -1;  // 0: the transfer succeeded
    int status = 0;     // its TransferResult
    std::string call, detail, stderrText;
    int user = -1;
    std::string target;
};

// Loads the library in a child process and runs body with it; the child's
// TransferResult comes back.
ChildTransfer inChild(const testsupport::TempDir& dir,
                      const std::function<tabulo::TransferResult(tabulo::Gridlink&)>& body);
ChildTransfer exportInChild(const testsupport::TempDir& dir, const std::string& workbook,
                            const tabulo::Book& book);
// Imports into `book` (read back from the JSON the child wrote).
ChildTransfer importInChild(const testsupport::TempDir& dir, const std::string& workbook, tabulo::Book& book,
                            const tabulo::ImportOptions& options = {});

// A HotSync: the databases waiting in the user's Install folder are
// installed and backed up (moved into Backup, replacing older copies). As on
// the handheld, the sheets of a book taken in get one more than the highest
// change counter of the book (theirs and its sheets in Backup); when the book
// was edited on the handheld afterwards, one more again, so the desktop sees
// a change to import.
int hotSync(const testsupport::Sandbox& box, int user, bool editedOnHandheld = true);

// A sheet database file as the handheld leaves it in Backup, with cells and
// an open password hash (header offset 34).
std::vector<uint8_t> cellRecord(uint16_t row, uint16_t column, const std::string& text, uint32_t flags = 0,
                                double value = 0, uint8_t textColor = 255, uint8_t backColor = 0);
void setOpenPasswordHash(std::vector<uint8_t>& database, uint32_t hash);

// A program run with its output captured (support/process.h).
using testsupport::ProcessResult;
using testsupport::runProgram;

}  // namespace addintest
