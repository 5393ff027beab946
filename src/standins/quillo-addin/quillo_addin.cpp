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
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/library.h"
#include "platform/system.h"
#include "textlink.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStatus = 1;
constexpr int kExitUsage = 2;
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

// Parsed command line: the subcommand's positional arguments and options.
struct Arguments {
    std::vector<std::string> positional;
    std::optional<std::string> user, to, piece;
};

using Command = int (*)(Textlink&, const Arguments&);

struct CommandRow {
    const char* name;
    const char* arguments;
    const char* help;
    size_t positional;  // how many positional arguments it takes
    bool needsUser;
    Command run;
};

int runExport(Textlink&, const Arguments&);
int runWrite(Textlink&, const Arguments&);
int runRead(Textlink&, const Arguments&);

constexpr CommandRow kCommands[] = {
    {"export", "FILE --user NAME",
     "export a text file to the named user's Install folder (ExportFromCommandLine)", 1, true, runExport},
    {"write", "FILE --user INDEX [--to PATH] [--piece BYTES]",
     "stream a text file through WriteDoc in pieces and FlushDoc; the database is written beside PATH "
     "(default FILE) with its extension replaced by .pdb, and user INDEX gets the install flag",
     1, true, runWrite},
    {"read", "DATABASE OUTPUT", "write the text of a Palm Doc database to OUTPUT (ReadDoc until the end)", 2, false,
     runRead},
};

void printUsage(std::FILE* to) {
    std::fprintf(to, "usage: %s [--library PATH] COMMAND ARGUMENTS\n\ncommands:\n", kProgram);
    for (const CommandRow& row : kCommands) std::fprintf(to, "  %s %s\n      %s\n", row.name, row.arguments, row.help);
    std::fprintf(to,
                 "\noptions:\n"
                 "  --library PATH  libtextlink to load (default: $BRIGHTFOLD_TEXTLINK, else\n"
                 "                  ../lib/libtextlink.so beside this program)\n"
                 "  --help          show this text\n"
                 "\nexit status: 0 success, 1 library error, 2 usage error\n");
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
    std::fprintf(stderr, "try '%s --help'\n", kProgram);
    return kExitUsage;
}

// Reports a library status with its message, as the add-in would show it.
int statusError(Textlink& lib, const char* what, int16_t status) {
    TextRecord text{};
    text.number = status;
    lib.getErrorText(&text);
    std::string message = text.text ? std::string(text.text, lib.sysStringByteLen(text.text)) : "no message";
    if (text.text) lib.sysFreeString(text.text);
    std::fprintf(stderr, "%s: %s failed: %s (status %d)\n", kProgram, what, message.c_str(), int(status));
    return kExitStatus;
}

bool parseCount(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || text.size() > 12) return false;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    value = v;
    return true;
}

int runExport(Textlink& lib, const Arguments& args) {
    CommandLineExportRecord record{args.user->c_str(), args.positional[0].c_str()};
    int16_t status = lib.exportFromCommandLine(&record);
    if (status != 0) return statusError(lib, "ExportFromCommandLine", status);
    std::printf("exported %s for %s\n", args.positional[0].c_str(), args.user->c_str());
    return kExitOk;
}

int runWrite(Textlink& lib, const Arguments& args) {
    long long user = 0, piece = kDefaultPiece;
    if (!parseCount(*args.user, 0, INT16_MAX, user)) return usageError("--user takes a user index (0 to 32767)");
    if (args.piece && !parseCount(*args.piece, 1, kMaxPiece, piece))
        return usageError("--piece takes a size from 1 to " + std::to_string(kMaxPiece));
    const std::string& source = args.positional[0];
    auto file = platform::File::open(source, platform::File::Mode::Read);
    if (!file) {
        std::fprintf(stderr, "%s: cannot open %s\n", kProgram, source.c_str());
        return kExitStatus;
    }
    const std::string target = args.to.value_or(source);
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
            std::fprintf(stderr, "%s: cannot read %s\n", kProgram, source.c_str());
            lib.sysFreeString(record.path);
            return kExitStatus;
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

    std::optional<platform::File> file;
    long long total = 0, pieces = 0;
    int16_t status = 0;
    for (;;) {
        int16_t result = lib.readDoc(&record);
        status = result != 0 ? result : record.status;
        if (status != 0) break;
        if (!file) {
            file = platform::File::open(output, platform::File::Mode::CreateTruncate);
            if (!file) break;
        }
        if (record.length > 0 && !file->write(record.data, size_t(record.length))) break;
        total += record.length;
        ++pieces;
    }
    if (record.data) lib.sysFreeString(record.data);
    lib.sysFreeString(record.path);
    if (status != BF_EOF) {
        if (status != 0) return statusError(lib, "ReadDoc", status);
        std::fprintf(stderr, "%s: cannot write %s\n", kProgram, output.c_str());
        return kExitStatus;
    }
    if (!file) file = platform::File::open(output, platform::File::Mode::CreateTruncate);
    if (!file || !file->flush()) {
        std::fprintf(stderr, "%s: cannot write %s\n", kProgram, output.c_str());
        return kExitStatus;
    }
    std::printf("read %lld bytes in %lld records from %s\n", total, pieces, database.c_str());
    return kExitOk;
}

// The library beside this program: <dir of argv[0]>/../lib/libtextlink.so.
std::string defaultLibraryPath(const char* argv0) {
    if (auto fromEnvironment = platform::environment("BRIGHTFOLD_TEXTLINK")) return *fromEnvironment;
    std::string self = argv0 ? argv0 : "";
    size_t cut = self.find_last_of(platform::kPathSeparator);
    if (cut == std::string::npos) return "libtextlink.so";
    return self.substr(0, cut + 1) + "../lib/libtextlink.so";
}

bool loadTextlink(const std::string& path, Textlink& lib) {
    std::string error;
    auto loaded = platform::Library::load(path, &error);
    if (!loaded) {
        std::fprintf(stderr, "%s: cannot load %s: %s\n", kProgram, path.c_str(), error.c_str());
        return false;
    }
    lib.library = std::move(*loaded);
    lib.writeDoc = lib.library.function<decltype(lib.writeDoc)>("WriteDoc");
    lib.flushDoc = lib.library.function<decltype(lib.flushDoc)>("FlushDoc");
    lib.readDoc = lib.library.function<decltype(lib.readDoc)>("ReadDoc");
    lib.getErrorText = lib.library.function<decltype(lib.getErrorText)>("GetErrorText");
    lib.exportFromCommandLine = lib.library.function<decltype(lib.exportFromCommandLine)>("ExportFromCommandLine");
    lib.sysAllocStringByteLen = lib.library.function<decltype(lib.sysAllocStringByteLen)>("SysAllocStringByteLen");
    lib.sysStringByteLen = lib.library.function<decltype(lib.sysStringByteLen)>("SysStringByteLen");
    lib.sysFreeString = lib.library.function<decltype(lib.sysFreeString)>("SysFreeString");
    if (!lib.writeDoc || !lib.flushDoc || !lib.readDoc || !lib.getErrorText || !lib.exportFromCommandLine ||
        !lib.sysAllocStringByteLen || !lib.sysStringByteLen || !lib.sysFreeString) {
        std::fprintf(stderr, "%s: %s lacks the text library's exports\n", kProgram, path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string libraryPath;
    const CommandRow* command = nullptr;
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return kExitOk;
        } else if (arg == "--library") {
            std::optional<std::string> v;
            if (!value(v)) return usageError("--library needs a path");
            libraryPath = *v;
        } else if (arg == "--user") {
            if (!value(args.user)) return usageError("--user needs a value");
        } else if (arg == "--to") {
            if (!value(args.to)) return usageError("--to needs a path");
        } else if (arg == "--piece") {
            if (!value(args.piece)) return usageError("--piece needs a size");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + std::string(arg));
        } else if (!command) {
            for (const CommandRow& row : kCommands)
                if (arg == row.name) command = &row;
            if (!command) return usageError("unknown command " + std::string(arg));
        } else {
            args.positional.emplace_back(arg);
        }
    }
    if (!command) return usageError("no command given");
    if (args.positional.size() != command->positional)
        return usageError(std::string(command->name) + " takes " + command->arguments);
    if (command->needsUser != args.user.has_value())
        return usageError(std::string(command->name) + (command->needsUser ? " needs --user" : " takes no --user"));
    if ((args.to || args.piece) && command->run != runWrite)
        return usageError(std::string(command->name) + " takes " + command->arguments);

    Textlink lib;
    if (!loadTextlink(libraryPath.empty() ? defaultLibraryPath(argv[0]) : libraryPath, lib)) return kExitStatus;
    return command->run(lib, args);
}
