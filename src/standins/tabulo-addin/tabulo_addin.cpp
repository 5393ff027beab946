// tabulo-addin - stands in for the spreadsheet's add-in: loads libgridlink
// through the platform loader (attach step and all) and moves workbooks
// through its exported functions only, the way the add-in does. `link` and
// `unlink` stand in for the Sync Manager's Register and Unregister and use
// the project's link registry code directly; `manager` opens the library's
// own Sync Manager through ShowTBManDialog; `export-dialog`, `import-dialog`,
// `password` and `size` open the one-off transfers' dialogs.
//
// Exit status: 0 success, 1 a library status, a refused link or an I/O
// error (with its message), 2 a usage error.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "foundation/status.h"
#include "gridlink_host.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/link_editing.h"
#include "workbook_files.h"
#include "workbook_json.h"

namespace {

using standin::Arguments;
using standin::failure;
using standin::kExitFailure;
using standin::kExitOk;
using standin::kExitUsage;
using standin::parseNumber;
using standin::progress;
using standin::usageError;

constexpr const char* kProgram = "tabulo-addin";

int runLink(const Arguments&);
int runUnlink(const Arguments&);
int runExport(const Arguments&);
int runImport(const Arguments&);
int runList(const Arguments&);
int runManager(const Arguments&);
int runShow(const Arguments&);
int runExportDialog(const Arguments&);
int runImportDialog(const Arguments&);
int runPassword(const Arguments&);
int runSize(const Arguments&);
int runConvert(const Arguments&);

std::vector<standin::CommandRow> commands() {
    return {
        {"link",
         "WORKBOOK --user INDEX --rule synchronize|handheld|desktop [--category N] [--font-map MAP]",
         "link the handheld book named by WORKBOOK (Book.xls, or Book-Sheet.csv) for HotSync user INDEX, as "
         "the "
         "Sync Manager's Register does: a missing .xls workbook is created from the template and marked for "
         "import. --font-map default|tiny|small|standard|large (or 0-4) turns High Resolution on with that "
         "mapping; without it High Resolution is off",
         1,
         1,
         {"user", "rule"},
         {"user", "rule", "category", "font-map"},
         runLink},
        {"unlink",
         "WORKBOOK --user INDEX",
         "unlink the book of WORKBOOK (a linked path, or a book name) for user INDEX, as Unregister does",
         1,
         1,
         {"user"},
         {"user"},
         runUnlink},
        {"export",
         "WORKBOOK [--from SOURCE]",
         "export the linked WORKBOOK through VerifyExport, SetSheetName and SetCellInfo; the sheets come "
         "from "
         "WORKBOOK itself, or from SOURCE (.json/.xls, or a Book-Sheet.csv of a CSV book)",
         1,
         1,
         {},
         {"from"},
         runExport},
        {"import",
         "WORKBOOK OUTPUT [--password TEXT] [--default-font-size N]",
         "import the handheld book linked to WORKBOOK through VerifyImport, GetSheetName, CheckPasswd and "
         "GetCellInfo into OUTPUT (.json or .xls: JSON; .csv: one Book-Sheet.csv per sheet beside it); a "
         "sheet "
         "that asks for a password prompts \"Password for <sheet>: \" (3 tries) unless --password is given",
         2,
         2,
         {},
         {"password", "default-font-size"},
         runImport},
        {"list", "", "print the export list (VerifyAllFileExport)", 0, 0, {}, {}, runList},
        {"manager",
         "",
         "open the Sync Manager (ShowTBManDialog) as the add-in's menu does; the ui backend shows it: "
         "with BRIGHTFOLD_UI=scripted the script in BRIGHTFOLD_UI_SCRIPT plays it (docs/dialogs.md). "
         "Succeeds when it is closed with Done",
         0,
         0,
         {},
         {},
         runManager},
        {"export-dialog",
         "WORKBOOK [--from SOURCE]",
         "export WORKBOOK (or SOURCE's sheets under WORKBOOK's name) to the user, category, passwords and "
         "font mapping chosen in the Export dialog (ExportWorkbook), then SetSheetName and SetCellInfo; "
         "no link is needed. Fails when the dialog is cancelled",
         1,
         1,
         {},
         {"from"},
         runExportDialog},
        {"import-dialog",
         "OUTPUT [--password TEXT] [--default-font-size N]",
         "import the handheld book chosen in the Import dialog (ImportWorkbook) through GetSheetName, "
         "CheckPasswd and GetCellInfo into OUTPUT (as `import` writes it). Fails when the dialog is "
         "cancelled",
         1,
         1,
         {},
         {"password", "default-font-size"},
         runImportDialog},
        {"password",
         "",
         "ask for a password in the Password dialog (GetPassword) and print it. Fails when it is cancelled",
         0,
         0,
         {},
         {},
         runPassword},
        {"size",
         "FIRST-ROW FIRST-COLUMN ROWS COLUMNS",
         "open the Change Size dialog (GetSize) for the range and print its answer: the percentage and the "
         "Font Size and Cell Size boxes (1 or 0). Fails when it is cancelled",
         4,
         4,
         {},
         {},
         runSize},
        {"show", "FILE", "print a workbook file (.json, .xls or .csv) as a table", 1, 1, {}, {}, runShow},
        {"convert",
         "SOURCE OUTPUT",
         "convert a workbook file between JSON and CSV without the library",
         2,
         2,
         {},
         {},
         runConvert},
    };
}

constexpr const char* kOptionsHelp =
    "\noptions:\n"
    "  --library PATH  libgridlink to load (default: $BRIGHTFOLD_GRIDLINK, else\n"
    "                  ../lib/libgridlink.so beside this program,\n"
    "                  else the system folder)\n"
    "  --help          show this text (after a command: that command's)\n"
    "\nexit status: 0 success, 1 library status, refused link or I/O error, 2 usage error\n";

// ---- Library --------------------------------------------------------------

bool loadGridlink(const Arguments& args, tabulo::Gridlink& lib) {
    const std::string path = standin::libraryPath(args, "BRIGHTFOLD_GRIDLINK", "libgridlink.so");
    std::string error;
    if (!lib.load(path, error)) {
        std::fprintf(stderr, "%s: cannot load %s: %s\n", kProgram, path.c_str(), error.c_str());
        return false;
    }
    return true;
}

int transferFailed(tabulo::Gridlink& lib, const tabulo::TransferResult& r) {
    std::string message = lib.errorText(r.status);
    if (r.status == BF_ERR_PARAMETER && (r.call == "VerifyExport" || r.call == "VerifyImport")) {
        // The checks answer -1 whenever there is nothing to do.
        message = r.call == "VerifyExport" ? "the workbook is not linked for export to any enabled user"
                                           : "no handheld book is due for import into the workbook";
    }
    std::string text = r.call + " failed";
    if (!r.detail.empty()) text += " (" + r.detail + ")";
    text += ": " + (message.empty() ? std::string("no message") : message) + " (status " +
            std::to_string(r.status) + ")";
    return failure(text);
}

// ---- Commands ----------------------------------------------------------------

int parseUser(const Arguments& args, int& user) {
    long long v = 0;
    if (!parseNumber(*args.option("user"), 0, 32767, v))
        return usageError("--user takes a user index (0 to 32767)");
    user = int(v);
    return kExitOk;
}

int editFailed(const syncmgr::LinkEditResult& r) {
    if (r.outcome == syncmgr::LinkEditResult::Outcome::Refused) return failure("Error: " + r.message);
    auto text = foundation::statusText(r.status, foundation::ErrorTexts::Workbook);
    std::string why = r.status == -1
                          ? "the link registry cannot be loaded (product folder, sync.dat or users missing)"
                      : text ? std::string(*text)
                             : "error";
    return failure(why + " (status " + std::to_string(r.status) + ")");
}

int runLink(const Arguments& args) {
    syncmgr::RegisterRequest request;
    if (int rc = parseUser(args, request.user); rc != kExitOk) return rc;
    const std::string& rule = *args.option("rule");
    if (rule == "synchronize")
        request.syncRule = foundation::kSyncSynchronize;
    else if (rule == "handheld")
        request.syncRule = foundation::kSyncHandheldOverwrites;
    else if (rule == "desktop")
        request.syncRule = foundation::kSyncDesktopOverwrites;
    else
        return usageError("--rule takes synchronize, handheld or desktop");
    if (const std::string* category = args.option("category")) {
        long long v = 0;
        if (!parseNumber(*category, 0, 15, v))
            return usageError("--category takes a category number (0 to 15)");
        request.category = int(v);
    }
    if (const std::string* map = args.option("font-map")) {
        static const char* names[] = {"default", "tiny", "small", "standard", "large"};
        long long v = -1;
        for (int i = 0; i < 5; ++i)
            if (*map == names[i]) v = i;
        if (v < 0 && !parseNumber(*map, 0, 4, v))
            return usageError("--font-map takes default, tiny, small, standard, large or 0 to 4");
        request.highResolution = true;
        request.fontMapping = int32_t(v);
    }
    request.pcPath = args.positional[0].empty() ? std::string() : tabulo::absolutePath(args.positional[0]);

    foundation::LinkRegistry registry(foundation::Product{syncmgr::kProductName}, syncmgr::kRegistryFileName);
    syncmgr::useBackupDiscovery(registry);
    syncmgr::LinkEditResult r = syncmgr::registerLink(registry, request);
    if (!r.ok()) return editFailed(r);
    if (r.templateCopied)
        progress("created " + request.pcPath + " from the template workbook; marked for import");
    static const char* ruleNames[] = {"Synchronize", "Handheld Overwrites", "Desktop Overwrites"};
    progress("linked " + r.bookName + " for user " + std::to_string(request.user) + " (" +
             ruleNames[request.syncRule] + ") to " + request.pcPath);
    return kExitOk;
}

int runUnlink(const Arguments& args) {
    int user = 0;
    if (int rc = parseUser(args, user); rc != kExitOk) return rc;
    const std::string& given = args.positional[0];
    std::string book = given;
    syncmgr::LinkTarget target = syncmgr::linkTargetOf(given);
    if (target.refusal.empty())
        book = target.bookName;
    else if (given.find_first_of("/\\") != std::string::npos)
        return failure("Error: " + target.refusal);

    foundation::LinkRegistry registry(foundation::Product{syncmgr::kProductName}, syncmgr::kRegistryFileName);
    syncmgr::useBackupDiscovery(registry);
    syncmgr::LinkEditResult r = syncmgr::unregisterLink(registry, user, book);
    if (!r.ok()) return editFailed(r);
    progress("unlinked " + r.bookName + " for user " + std::to_string(user));
    return kExitOk;
}

// The sheets to export: from WORKBOOK itself, or from --from SOURCE.
bool readExportSource(const Arguments& args, const std::string& workbook, tabulo::Book& book) {
    const std::string* from = args.option("from");
    const std::string source = from ? *from : workbook;
    std::string error;
    bool emptyContent = false;
    if (!tabulo::readWorkbookFile(source, book, error, &emptyContent)) {
        failure(error);
        return false;
    }
    if (emptyContent) progress(source + " holds no JSON workbook: it is taken as an empty workbook");
    return true;
}

int runExport(const Arguments& args) {
    const std::string workbook = tabulo::absolutePath(args.positional[0]);
    tabulo::Book book;
    if (!readExportSource(args, workbook, book)) return kExitFailure;

    tabulo::Gridlink lib;
    if (!loadGridlink(args, lib)) return kExitFailure;
    tabulo::TransferResult r = tabulo::exportWorkbook(lib, workbook, book, progress);
    if (!r.ok()) return transferFailed(lib, r);
    progress("exported " + std::to_string(r.sheets) + " sheets (" + std::to_string(r.calls) +
             " SetCellInfo calls) of " + workbook);
    return kExitOk;
}

std::optional<std::string> promptPassword(const std::string& sheet) {
    std::fprintf(stderr, "Password for %s: ", sheet.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) {
        std::fprintf(stderr, "\n");
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// A library call that answered a negative status.
int callFailed(tabulo::Gridlink& lib, int16_t status, const char* call) {
    tabulo::TransferResult r;
    r.status = status;
    r.call = call;
    return transferFailed(lib, r);
}

// The import options of the command line; false after a usage error.
bool importOptionsFrom(const Arguments& args, tabulo::ImportOptions& options) {
    if (const std::string* size = args.option("default-font-size")) {
        long long v = 0;
        if (!parseNumber(*size, 1, 409, v)) {
            usageError("--default-font-size takes points from 1 to 409");
            return false;
        }
        options.defaultFontSize = int32_t(v);
    }
    if (const std::string* password = args.option("password")) options.password = *password;
    options.prompt = promptPassword;
    return true;
}

// Writes an imported book to OUTPUT and says what was written.
int writeImported(const std::string& output, const tabulo::Book& book, const tabulo::TransferResult& r,
                  const std::string& from) {
    std::string error;
    std::vector<std::string> written;
    if (!tabulo::writeWorkbookFile(output, book, error, &written)) return failure(error);
    for (const std::string& file : written) progress("wrote " + file);
    progress("imported " + std::to_string(r.sheets) + " sheets (" + std::to_string(r.calls) +
             " GetCellInfo pieces) " + from);
    return kExitOk;
}

int runImport(const Arguments& args) {
    const std::string workbook = tabulo::absolutePath(args.positional[0]);
    const std::string& output = args.positional[1];
    if (tabulo::outputFormatOf(output) == tabulo::WorkbookFormat::Unknown)
        return usageError("OUTPUT must end in .json, .xls or .csv");
    tabulo::ImportOptions options;
    if (!importOptionsFrom(args, options)) return kExitUsage;

    tabulo::Gridlink lib;
    if (!loadGridlink(args, lib)) return kExitFailure;
    tabulo::Book book;
    tabulo::TransferResult r = tabulo::importWorkbook(lib, workbook, book, options, progress);
    if (!r.ok()) return transferFailed(lib, r);
    if (r.sheets == 0) return failure("VerifyImport listed no sheet database of the book in " + r.target);
    return writeImported(output, book, r, "for " + workbook);
}

int runList(const Arguments& args) {
    tabulo::Gridlink lib;
    if (!loadGridlink(args, lib)) return kExitFailure;
    std::vector<std::string> paths;
    int16_t rc = tabulo::exportList(lib, paths);
    if (rc < 0) return callFailed(lib, rc, "VerifyAllFileExport");
    for (const std::string& path : paths) std::printf("%s\n", path.c_str());
    progress(std::to_string(paths.size()) + " workbooks in the export list");
    return kExitOk;
}

int runManager(const Arguments& args) {
    tabulo::Gridlink lib;
    if (!loadGridlink(args, lib)) return kExitFailure;
    const int16_t result = lib.showTBManDialog();
    if (result < 0) return callFailed(lib, result, "ShowTBManDialog");
    if (result != 1)
        return failure("the Sync Manager was closed without Done (result " + std::to_string(result) + ")");
    progress("the Sync Manager was closed with Done");
    return kExitOk;
}

int runExportDialog(const Arguments& args) {
    const std::string workbook = tabulo::absolutePath(args.positional[0]);
    tabulo::Book book;
    if (!readExportSource(args, workbook, book)) return kExitFailure;

    tabulo::Gridlink lib;
    if (!loadGridlink(args, lib)) return kExitFailure;
    bool cancelled = false;
    tabulo::TransferResult r = tabulo::exportThroughDialog(lib, workbook, book, cancelled, progress);
    if (!r.ok()) return transferFailed(lib, r);
    if (cancelled) return failure("the Export dialog was cancelled");
    progress("exported " + std::to_string(r.sheets) + " sheets (" + std::to_string(r.calls) +
             " SetCellInfo calls) of " + workbook);
    return kExitOk;
}

int runImportDialog(const Arguments& args) {
    const std::string& output = args.positional[0];
    if (tabulo::outputFormatOf(output) == tabulo::WorkbookFormat::Unknown)
        return usageError("OUTPUT must end in .json, .xls or .csv");
    tabulo::ImportOptions options;
    if (!importOptionsFrom(args, options)) return kExitUsage;

    tabulo::Gridlink lib;
    if (!loadGridlink(args, lib)) return kExitFailure;
    tabulo::Book book;
    bool cancelled = false;
    tabulo::TransferResult r = tabulo::importThroughDialog(lib, book, options, cancelled, progress);
    if (!r.ok()) return transferFailed(lib, r);
    if (cancelled) return failure("the Import dialog was cancelled");
    if (r.sheets == 0) return failure("ImportWorkbook listed no sheet database of the book in " + r.target);
    return writeImported(output, book, r, "from " + r.target);
}

int runPassword(const Arguments& args) {
    tabulo::Gridlink lib;
    if (!loadGridlink(args, lib)) return kExitFailure;
    TextRecord record{};
    const int16_t rc = lib.getPassword(&record);
    std::string password = lib.bytes(record.text);
    lib.release(record.text);
    if (rc < 0) return callFailed(lib, rc, "GetPassword");
    if (rc != 1) return failure("the Password dialog was cancelled");
    std::printf("%s\n", password.c_str());
    return kExitOk;
}

int runSize(const Arguments& args) {
    long long range[4] = {};
    for (size_t i = 0; i < 4; ++i)
        if (!parseNumber(args.positional[i], 1, i == 1 || i == 3 ? 256 : 9999, range[i]))
            return usageError("rows take 1 to 9999, columns 1 to 256");
    tabulo::Gridlink lib;
    if (!loadGridlink(args, lib)) return kExitFailure;
    SheetRecord record{};
    record.formatFlags = int32_t(range[0]);
    record.defaultSize8 = int32_t(range[1]);
    record.defaultSize12 = int32_t(range[2]);
    record.setting16 = int32_t(range[3]);
    const int16_t rc = lib.getSize(&record);
    if (rc < 0) return callFailed(lib, rc, "GetSize");
    if (rc != 1) return failure("the Change Size dialog was cancelled");
    std::printf("percentage %d, font size %d, cell size %d\n", int(record.sizeAnswer.percentage),
                int(record.sizeAnswer.fontSize), int(record.cellSizeFlag));
    return kExitOk;
}

std::string columnLetters(int32_t column) {
    if (column < 1 || column > 256) return "#" + std::to_string(column);
    std::string s;
    if (column > 26) s += char('A' + (column - 1) / 26 - 1);
    s += char('A' + (column - 1) % 26);
    return s;
}

int runShow(const Arguments& args) {
    tabulo::Book book;
    std::string error;
    bool emptyContent = false;
    if (!tabulo::readWorkbookFile(args.positional[0], book, error, &emptyContent)) return failure(error);
    if (emptyContent)
        std::printf("%s holds no JSON workbook (an empty workbook)\n", args.positional[0].c_str());
    for (const tabulo::SheetData& sheet : book.sheets) {
        std::printf("sheet \"%s\": %zu cells, %zu rows, %zu columns, %zu charts, font %d of %d\n",
                    tabulo::toUtf8(sheet.name).c_str(), sheet.cells.size(), sheet.rows.size(),
                    sheet.columns.size(), sheet.charts.size(), int(sheet.fontSize),
                    int(sheet.defaultFontSize));
        for (const tabulo::RowData& row : sheet.rows)
            std::printf("  row %d height %d\n", int(row.row), int(row.height));
        for (const tabulo::ColumnData& c : sheet.columns)
            std::printf("  column %s width %d flags 0x%08X\n", columnLetters(c.column).c_str(), int(c.width),
                        c.formatFlags);
        for (const tabulo::CellData& c : sheet.cells) {
            std::printf("  %s%d  %s", columnLetters(c.column).c_str(), int(c.row),
                        tabulo::toUtf8(c.text).c_str());
            if (c.value != 0) std::printf("  value %g", c.value);
            if (c.formatFlags) std::printf("  flags 0x%08X", c.formatFlags);
            if (!c.currency.empty()) std::printf("  currency %s", tabulo::toUtf8(c.currency).c_str());
            std::printf("\n");
        }
        for (const tabulo::ChartData& chart : sheet.charts) {
            std::printf("  chart in column %d: %s\n", int(chart.column), tabulo::toUtf8(chart.item).c_str());
            for (const std::string& s : chart.series) std::printf("    %s\n", tabulo::toUtf8(s).c_str());
        }
    }
    return kExitOk;
}

int runConvert(const Arguments& args) {
    const std::string& output = args.positional[1];
    if (tabulo::outputFormatOf(output) == tabulo::WorkbookFormat::Unknown)
        return usageError("OUTPUT must end in .json, .xls or .csv");
    tabulo::Book book;
    std::string error;
    if (!tabulo::readWorkbookFile(args.positional[0], book, error)) return failure(error);
    std::vector<std::string> written;
    if (!tabulo::writeWorkbookFile(output, book, error, &written)) return failure(error);
    for (const std::string& file : written) progress("wrote " + file);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    const standin::Program program{
        kProgram, "[--library PATH] COMMAND ARGUMENTS", commands(), {"library"}, kOptionsHelp, true};
    return standin::run(program, argc, argv);
}
