// quillo-addin - stands in for the word processor's add-in: loads
// libtextlink through the platform loader (attach step and all) and moves
// text through its exported functions only, the way the add-in does.
//
//   quillo-addin [--library PATH] export FILE --user NAME
//   quillo-addin [--library PATH] write FILE --user INDEX [--to PATH] [--piece BYTES]
//   quillo-addin [--library PATH] read DATABASE OUTPUT
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

// The library's exports this host uses.
struct Textlink {
    platform::Library library;
    int16_t(WINAPI* writeDoc)(DocTransferRecord*) = nullptr;
    int16_t(WINAPI* flushDoc)(DocTransferRecord*) = nullptr;
    int16_t(WINAPI* readDoc)(DocTransferRecord*) = nullptr;
    int16_t(WINAPI* getErrorText)(TextRecord*) = nullptr;
    int16_t(WINAPI* exportFromCommandLine)(CommandLineExportRecord*) = nullptr;
    BSTR (*sysAllocStringByteLen)(const char*, unsigned int) = nullptr;
    unsigned int (*sysStringByteLen)(BSTR) = nullptr;
    void (*sysFreeString)(BSTR) = nullptr;
};

int runExport(Textlink&, const Arguments&);
int runWrite(Textlink&, const Arguments&);
int runRead(Textlink&, const Arguments&);
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
    };
}

constexpr const char* kOptionsHelp =
    "\noptions:\n"
    "  --library PATH  libtextlink to load (default: $BRIGHTFOLD_TEXTLINK, else\n"
    "                  ../lib/libtextlink.so beside this program)\n"
    "  --help          show this text\n"
    "\nexit status: 0 success, 1 library error, 2 usage error\n";

// Reports a library status with its message, as the add-in would show it.
int statusError(Textlink& lib, const char* what, int16_t status) {
    TextRecord text{};
    text.number = status;
    lib.getErrorText(&text);
    std::string message = text.text ? std::string(text.text, lib.sysStringByteLen(text.text)) : "no message";
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

int runWrite(Textlink& lib, const Arguments& args) {
    long long user = 0, piece = kDefaultPiece;
    if (!standin::parseNumber(*args.option("user"), 0, INT16_MAX, user))
        return usageError("--user takes a user index (0 to 32767)");
    const std::string* pieceSize = args.option("piece");
    if (pieceSize && !standin::parseNumber(*pieceSize, 1, kMaxPiece, piece))
        return usageError("--piece takes a size from 1 to " + std::to_string(kMaxPiece));
    const std::string& source = args.positional[0];
    auto file = platform::File::open(source, platform::File::Mode::Read);
    if (!file) return failure("cannot open " + source);
    const std::string* to = args.option("to");
    const std::string target = to ? *to : source;
    DocTransferRecord record{};
    record.user = int16_t(user);
    record.path = lib.sysAllocStringByteLen(target.data(), unsigned(target.size()));
    if (!record.path) return statusError(lib, "WriteDoc", BF_ERR_MEMORY);

    std::vector<char> buffer(static_cast<size_t>(piece));
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
        record.data = buffer.data();
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

int runRead(Textlink& lib, const Arguments& args) {
    const std::string& database = args.positional[0];
    const std::string& output = args.positional[1];
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
    lib.sysAllocStringByteLen =
        lib.library.function<decltype(lib.sysAllocStringByteLen)>("SysAllocStringByteLen");
    lib.sysStringByteLen = lib.library.function<decltype(lib.sysStringByteLen)>("SysStringByteLen");
    lib.sysFreeString = lib.library.function<decltype(lib.sysFreeString)>("SysFreeString");
    if (!lib.writeDoc || !lib.flushDoc || !lib.readDoc || !lib.getErrorText || !lib.exportFromCommandLine ||
        !lib.sysAllocStringByteLen || !lib.sysStringByteLen || !lib.sysFreeString) {
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
