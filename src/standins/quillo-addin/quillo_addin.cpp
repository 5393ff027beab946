// quillo-addin - stands in for the word processor's add-in: loads
// libtextlink through the platform loader (attach step and all) and moves
// text through its exported functions only, the way the add-in does.
//
//   quillo-addin [--library PATH] export FILE --user NAME
//   quillo-addin [--library PATH] write FILE --user INDEX [--to PATH] [--piece BYTES]
//   quillo-addin [--library PATH] read DATABASE OUTPUT
//   quillo-addin [--library PATH] export-dialog [FILE]
//   quillo-addin [--library PATH] import-dialog [OUTPUT]
//   quillo-addin [--library PATH] about
//
// The dialog commands open the library's dialogs through the ui backend
// (BRIGHTFOLD_UI=scripted plays BRIGHTFOLD_UI_SCRIPT against them) and print
// the dialog's end code as "result N"; with FILE or OUTPUT they take the
// record form, print the record the dialog filled and, when it was
// confirmed, move the text themselves as the add-in does.
//
// Exit status: 0 success, 1 a library status error (its GetErrorText message
// is printed) or a library that cannot be loaded, 2 a usage error.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "platform/files.h"
#include "platform/library.h"
#include "textlink.h"

namespace {

using standin::Arguments;
using standin::failure;
using standin::kExitOk;
using standin::usageError;

constexpr const char* kProgram = "quillo-addin";
constexpr size_t kDefaultPiece = 1000;
constexpr size_t kMaxPiece = 1 << 20;
// The pieces the add-in hands WriteDoc after the Export dialog.
constexpr size_t kSourcePiece = 8192;

// The library's exports this host uses.
struct Textlink {
    platform::Library library;
    int16_t(WINAPI* writeDoc)(DocTransferRecord*) = nullptr;
    int16_t(WINAPI* flushDoc)(DocTransferRecord*) = nullptr;
    int16_t(WINAPI* readDoc)(DocTransferRecord*) = nullptr;
    int16_t(WINAPI* getErrorText)(TextRecord*) = nullptr;
    int16_t(WINAPI* exportFromCommandLine)(CommandLineExportRecord*) = nullptr;
    int16_t(WINAPI* exportFromPC)(void) = nullptr;
    int16_t(WINAPI* exportFromPCDialog)(DocTransferRecord*) = nullptr;
    int16_t(WINAPI* importToPC)(void) = nullptr;
    int16_t(WINAPI* importToPCDialog)(DocTransferRecord*) = nullptr;
    int16_t(WINAPI* aboutDialog)(void) = nullptr;
    BSTR (*sysAllocStringByteLen)(const char*, unsigned int) = nullptr;
    unsigned int (*sysStringByteLen)(BSTR) = nullptr;
    void (*sysFreeString)(BSTR) = nullptr;
};

int runExport(Textlink&, const Arguments&);
int runWrite(Textlink&, const Arguments&);
int runRead(Textlink&, const Arguments&);
int runExportDialog(Textlink&, const Arguments&);
int runImportDialog(Textlink&, const Arguments&);
int runAbout(Textlink&, const Arguments&);
template <int (*Run)(Textlink&, const Arguments&)>
int withTextlink(const Arguments& args);

std::vector<standin::CommandRow> commands() {
    return {
        {"export",
         "FILE --user NAME",
         "export a text file to the named user's Install folder (ExportFromCommandLine)",
         1,
         1,
         {"user"},
         {"user"},
         withTextlink<runExport>},
        {"write",
         "FILE --user INDEX [--to PATH] [--piece BYTES]",
         "stream a text file through WriteDoc in pieces and FlushDoc; the database is written beside PATH "
         "(default FILE) with its extension replaced by .pdb, and user INDEX gets the install flag",
         1,
         1,
         {"user"},
         {"user", "to", "piece"},
         withTextlink<runWrite>},
        {"read",
         "DATABASE OUTPUT",
         "write the text of a Palm Doc database to OUTPUT (ReadDoc until the end)",
         2,
         2,
         {},
         {},
         withTextlink<runRead>},
        {"export-dialog",
         "[FILE]",
         "open the Export dialog as the add-in's menu does (the ui backend shows it; with "
         "BRIGHTFOLD_UI=scripted "
         "the script in BRIGHTFOLD_UI_SCRIPT plays it, docs/dialogs.md) and print its result: without FILE "
         "the "
         "stand-alone form (ExportFromPC), which converts by itself; with FILE the record form "
         "(ExportFromPCDialog): the record is printed and, when confirmed, FILE is written into the chosen "
         "Install folder through WriteDoc and FlushDoc",
         0,
         1,
         {},
         {},
         withTextlink<runExportDialog>},
        {"import-dialog",
         "[OUTPUT]",
         "open the Import dialog and print its result: without OUTPUT the stand-alone form (ImportToPC); "
         "with "
         "OUTPUT the record form (ImportToPCDialog): the record is printed and, when confirmed, the chosen "
         "database's text is written to OUTPUT through ReadDoc",
         0,
         1,
         {},
         {},
         withTextlink<runImportDialog>},
        {"about",
         "",
         "open the About box (AboutDialog) and print its result",
         0,
         0,
         {},
         {},
         withTextlink<runAbout>},
    };
}

constexpr const char* kOptionsHelp =
    "\noptions:\n"
    "  --library PATH  libtextlink to load (default: $BRIGHTFOLD_TEXTLINK, else\n"
    "                  ../lib/libtextlink.so beside this program,\n"
    "                  else the system folder)\n"
    "  --help          show this text\n"
    "\nexit status: 0 success, 1 library error, 2 usage error\n";

// Reports a library status with its message, as the add-in would show it.
int statusError(Textlink& lib, const char* what, int16_t status) {
    TextRecord text{};
    text.number = status;
    lib.getErrorText(&text);
    std::string message =
        text.text ? std::string(reinterpret_cast<const char*>(text.text), lib.sysStringByteLen(text.text))
                  : "no message";
    if (text.text) lib.sysFreeString(text.text);
    return failure(std::string(what) + " failed: " + message + " (status " + std::to_string(status) + ")");
}

int runExport(Textlink& lib, const Arguments& args) {
    const std::string& user = *args.option("user");
    CommandLineExportRecord record{user.c_str(), args.positional[0].c_str()};
    int16_t status = lib.exportFromCommandLine(&record);
    if (status != 0) return statusError(lib, "ExportFromCommandLine", status);
    std::printf("exported %s for %s\n", args.positional[0].c_str(), user.c_str());
    return kExitOk;
}

// Streams a text file through WriteDoc in pieces and FlushDoc; the database
// goes beside target with its extension replaced by .pdb.
int streamToDoc(Textlink& lib, const std::string& source, const std::string& target, int16_t user,
                size_t piece) {
    auto file = platform::File::open(source, platform::File::Mode::Read);
    if (!file) return failure("cannot open " + source);
    DocTransferRecord record{};
    record.user = user;
    record.path = lib.sysAllocStringByteLen(target.data(), unsigned(target.size()));
    if (!record.path) return statusError(lib, "WriteDoc", BF_ERR_MEMORY);

    std::vector<char> buffer(piece);
    long long total = 0, pieces = 0;
    int16_t status = 0;
    // The first WriteDoc opens the document, even for an empty file.
    for (bool first = true;; first = false) {
        long long got = file->read(buffer.data(), buffer.size());
        if (got < 0) {
            lib.sysFreeString(record.path);
            return failure("cannot read " + source);
        }
        if (got == 0 && !first) break;
        record.data = reinterpret_cast<BSTR>(buffer.data());  // a BSTR is wchar_t* on Windows
        record.length = int32_t(got);
        status = lib.writeDoc(&record);
        record.data = nullptr;
        if (status != 0 || record.status != 0) break;
        if (got == 0) break;
        total += got;
        ++pieces;
    }
    const char* step = "WriteDoc";
    if (status == 0 && record.status == 0) {
        step = "FlushDoc";
        status = lib.flushDoc(&record);
    }
    lib.sysFreeString(record.path);
    if (status != 0) return statusError(lib, step, status);
    std::printf("wrote %lld bytes in %lld pieces from %s\n", total, pieces, source.c_str());
    return kExitOk;
}

int runWrite(Textlink& lib, const Arguments& args) {
    long long user = 0, piece = kDefaultPiece;
    if (!standin::parseNumber(*args.option("user"), 0, INT16_MAX, user))
        return usageError("--user takes a user index (0 to 32767)");
    const std::string* pieceSize = args.option("piece");
    if (pieceSize && !standin::parseNumber(*pieceSize, 1, kMaxPiece, piece))
        return usageError("--piece takes a size from 1 to " + std::to_string(kMaxPiece));
    const std::string& source = args.positional[0];
    const std::string* to = args.option("to");
    return streamToDoc(lib, source, to ? *to : source, int16_t(user), size_t(piece));
}

// Writes the text of a database to output through ReadDoc until the end.
int readToFile(Textlink& lib, const std::string& database, const std::string& output) {
    DocTransferRecord record{};
    record.path = lib.sysAllocStringByteLen(database.data(), unsigned(database.size()));
    if (!record.path) return statusError(lib, "ReadDoc", BF_ERR_MEMORY);

    // The text goes to a temporary file that replaces OUTPUT only once the
    // whole text was written; on any failure OUTPUT stays as it was.
    std::optional<platform::FileReplacement> file;
    long long total = 0, pieces = 0;
    int16_t status = 0;
    for (;;) {
        int16_t result = lib.readDoc(&record);
        status = result != 0 ? result : record.status;
        if (status != 0) break;
        if (!file) {
            file = platform::FileReplacement::begin(output);
            if (!file) break;
        }
        if (record.length > 0 && !file->write(record.data, size_t(record.length))) break;
        total += record.length;
        ++pieces;
    }
    if (record.data) lib.sysFreeString(record.data);
    lib.sysFreeString(record.path);
    const auto cannotWrite = [&output] {
        return failure("cannot write " + output + ": " + platform::errorText(platform::lastError()));
    };
    if (status != BF_EOF) {
        if (status != 0) return statusError(lib, "ReadDoc", status);
        return cannotWrite();
    }
    if (!file) file = platform::FileReplacement::begin(output);
    if (!file || !file->commit()) return cannotWrite();
    std::printf("read %lld bytes in %lld records from %s\n", total, pieces, database.c_str());
    return kExitOk;
}

int runRead(Textlink& lib, const Arguments& args) {
    return readToFile(lib, args.positional[0], args.positional[1]);
}

// A dialog's result, and with a record what the dialog left in it.
void printResult(Textlink& lib, int16_t result, const DocTransferRecord* record) {
    std::printf("result %d\n", result);
    if (!record) return;
    const std::string path = record->path ? std::string(reinterpret_cast<const char*>(record->path),
                                                        lib.sysStringByteLen(record->path))
                                          : "";
    std::printf("status %d user %d path %s\n", record->status, record->user, path.c_str());
}

int runExportDialog(Textlink& lib, const Arguments& args) {
    if (args.positional.empty()) {
        int16_t result = lib.exportFromPC();
        if (result < 0) return statusError(lib, "ExportFromPC", result);
        printResult(lib, result, nullptr);
        return kExitOk;
    }
    DocTransferRecord record{};
    int16_t result = lib.exportFromPCDialog(&record);
    printResult(lib, result, &record);
    std::string folder = record.path ? std::string(reinterpret_cast<const char*>(record.path),
                                                   lib.sysStringByteLen(record.path))
                                     : "";
    if (record.path) lib.sysFreeString(record.path);
    if (result < 0) return statusError(lib, "ExportFromPCDialog", result);
    if (result != 1) return kExitOk;
    if (record.status != 0) return statusError(lib, "ExportFromPCDialog", record.status);
    // The record names the Install folder; the document keeps its file name.
    const std::string& source = args.positional[0];
    return streamToDoc(lib, source, folder + std::string(platform::fileNamePart(source)), record.user,
                       kSourcePiece);
}

int runImportDialog(Textlink& lib, const Arguments& args) {
    if (args.positional.empty()) {
        int16_t result = lib.importToPC();
        if (result < 0) return statusError(lib, "ImportToPC", result);
        printResult(lib, result, nullptr);
        return kExitOk;
    }
    DocTransferRecord record{};
    int16_t result = lib.importToPCDialog(&record);
    printResult(lib, result, &record);
    std::string database = record.path ? std::string(reinterpret_cast<const char*>(record.path),
                                                     lib.sysStringByteLen(record.path))
                                       : "";
    if (record.path) lib.sysFreeString(record.path);
    if (result < 0) return statusError(lib, "ImportToPCDialog", result);
    if (result != 1) return kExitOk;
    if (record.status != 0) return statusError(lib, "ImportToPCDialog", record.status);
    return readToFile(lib, database, args.positional[0]);
}

int runAbout(Textlink& lib, const Arguments&) {
    int16_t result = lib.aboutDialog();
    if (result < 0) return statusError(lib, "AboutDialog", result);
    printResult(lib, result, nullptr);
    return kExitOk;
}

bool loadTextlink(const std::string& path, Textlink& lib) {
    std::string error;
    auto loaded = platform::Library::load(path, &error);
    if (!loaded) {
        failure("cannot load " + path + ": " + error);
        return false;
    }
    lib.library = std::move(*loaded);
    lib.writeDoc = lib.library.function<decltype(lib.writeDoc)>("WriteDoc");
    lib.flushDoc = lib.library.function<decltype(lib.flushDoc)>("FlushDoc");
    lib.readDoc = lib.library.function<decltype(lib.readDoc)>("ReadDoc");
    lib.getErrorText = lib.library.function<decltype(lib.getErrorText)>("GetErrorText");
    lib.exportFromCommandLine =
        lib.library.function<decltype(lib.exportFromCommandLine)>("ExportFromCommandLine");
    lib.exportFromPC = lib.library.function<decltype(lib.exportFromPC)>("ExportFromPC");
    lib.exportFromPCDialog = lib.library.function<decltype(lib.exportFromPCDialog)>("ExportFromPCDialog");
    lib.importToPC = lib.library.function<decltype(lib.importToPC)>("ImportToPC");
    lib.importToPCDialog = lib.library.function<decltype(lib.importToPCDialog)>("ImportToPCDialog");
    lib.aboutDialog = lib.library.function<decltype(lib.aboutDialog)>("AboutDialog");
    lib.sysAllocStringByteLen =
        lib.library.function<decltype(lib.sysAllocStringByteLen)>("SysAllocStringByteLen");
    lib.sysStringByteLen = lib.library.function<decltype(lib.sysStringByteLen)>("SysStringByteLen");
    lib.sysFreeString = lib.library.function<decltype(lib.sysFreeString)>("SysFreeString");
    if (!lib.writeDoc || !lib.flushDoc || !lib.readDoc || !lib.getErrorText || !lib.exportFromCommandLine ||
        !lib.exportFromPC || !lib.exportFromPCDialog || !lib.importToPC || !lib.importToPCDialog ||
        !lib.aboutDialog || !lib.sysAllocStringByteLen || !lib.sysStringByteLen || !lib.sysFreeString) {
        failure(path + " lacks the text library's exports");
        return false;
    }
    return true;
}

// Runs a command with the library loaded, once the command line is checked.
template <int (*Run)(Textlink&, const Arguments&)>
int withTextlink(const Arguments& args) {
    Textlink lib;
    if (!loadTextlink(standin::libraryPath(args, "BRIGHTFOLD_TEXTLINK", "libtextlink.so"), lib))
        return standin::kExitFailure;
    return Run(lib, args);
}

}  // namespace

int main(int argc, char** argv) {
    const standin::Program program{
        kProgram, "[--library PATH] COMMAND ARGUMENTS", commands(), {"library"}, kOptionsHelp};
    return standin::run(program, argc, argv);
}
