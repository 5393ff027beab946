// hotsync - stands in for the HotSync Manager on Linux: keeps a simulated
// handheld (a folder of databases per user), runs a HotSync for a user with
// the registered notifier libraries (HS_Notify), and edits a sheet on the
// handheld the way Tabulo does. See docs/hotsync.md.
//
// Exit status: 0 success, 1 a failed HotSync or an error (with its message),
// 2 a usage error.
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/file_names.h"
#include "handheld.h"
#include "hotsync_manager.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgram = "hotsync";
constexpr const char* kHandheldVariable = "BRIGHTFOLD_HANDHELD";

struct Arguments {
    std::vector<std::string> positional;         // after the command's name
    std::map<std::string, std::string> options;  // without the leading "--"
    std::string programFolder;

    const std::string* option(const std::string& name) const {
        auto it = options.find(name);
        return it == options.end() ? nullptr : &it->second;
    }
};

using Command = int (*)(const Arguments&);

struct CommandRow {
    const char* name;
    const char* arguments;
    const char* help;
    size_t minPositional, maxPositional;
    std::vector<std::string> required;
    std::vector<std::string> allowed;
    Command run;
};

int runSync(const Arguments&);
int runUsers(const Arguments&);
int runNotifiers(const Arguments&);
int runSetCell(const Arguments&);
int runShow(const Arguments&);

const std::vector<CommandRow>& commands() {
    static const std::vector<CommandRow> rows = {
        {"sync", "--user NAME",
         "run one HotSync for the user: HS_SYNC_STARTED to every notifier, install the user's Install folder onto "
         "the handheld (and clear the install flag), copy the handheld's databases into Backup, then "
         "HS_SYNC_SUCCESS (HS_SYNC_FAILURE when a step fails)",
         0, 0, {"user"}, {"user", "handheld"}, runSync},
        {"users", "list | add NAME --id ID --folder DIR",
         "list the HotSync users (with their install flags), or add one (an existing name is updated)", 1, 2, {},
         {"id", "folder"}, runUsers},
        {"notifiers", "list | add PATH | remove PATH",
         "list, register or remove the notifier libraries that receive HS_Notify", 1, 2, {}, {}, runNotifiers},
        {"set-cell", "--user NAME --database NAME --row R --column C --text TEXT",
         "edit a sheet on the user's handheld as Tabulo does: add or replace the cell, raise the book's change "
         "counter",
         0, 0, {"user", "database", "row", "column", "text"}, {"user", "database", "row", "column", "text", "handheld"},
         runSetCell},
        {"show", "--user NAME [--database NAME]",
         "list the databases on the user's handheld, or the cells of one sheet database", 0, 0, {"user"},
         {"user", "database", "handheld"}, runShow},
    };
    return rows;
}

void printUsage(std::FILE* to) {
    std::fprintf(to, "usage: %s COMMAND ARGUMENTS [--handheld DIR]\n\ncommands:\n", kProgram);
    for (const CommandRow& row : commands()) std::fprintf(to, "  %s %s\n      %s\n", row.name, row.arguments, row.help);
    std::fprintf(to,
                 "\noptions:\n"
                 "  --handheld DIR  the simulated handheld: one folder per user holding its\n"
                 "                  databases (default: $%s, else\n"
                 "                  $XDG_DATA_HOME/brightfold/handheld, else\n"
                 "                  ~/.local/share/brightfold/handheld)\n"
                 "  --help          show this text\n"
                 "\nThe users, the notifier list and the install flags live in the registry\n"
                 "(BRIGHTFOLD_HIVE) under HKEY_CURRENT_USER\\SOFTWARE\\U.S. Robotics\\Pilot Desktop\\\n"
                 "HotSync Manager. A notifier named without a folder is loaded from\n"
                 "$%s, else from ../lib beside this program.\n"
                 "\nexit status: 0 success, 1 failed HotSync or error, 2 usage error\n",
                 kHandheldVariable, hotsync::kNotifierDirVariable);
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
    std::fprintf(stderr, "try '%s --help'\n", kProgram);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
    return kExitFailure;
}

void progress(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string absolute(const std::string& path) {
    return platform::isAbsolutePath(path) ? path : platform::joinPath(platform::currentDirectory(), path);
}

std::optional<std::string> handheldRoot(const Arguments& args) {
    if (const std::string* given = args.option("handheld")) return absolute(*given);
    if (auto env = platform::environment(kHandheldVariable); env && !env->empty()) return absolute(*env);
    if (auto data = platform::environment("XDG_DATA_HOME"); data && platform::isAbsolutePath(*data))
        return platform::joinPath(*data, "brightfold/handheld");
    if (auto home = platform::environment("HOME"); home && !home->empty())
        return platform::joinPath(*home, ".local/share/brightfold/handheld");
    return std::nullopt;
}

// The named user and that user's folder on the handheld.
struct UserOnHandheld {
    hotsync::HotSyncUser user;
    std::string handheldFolder;
};

std::optional<UserOnHandheld> userOnHandheld(const Arguments& args, int& exitCode) {
    const std::string& name = *args.option("user");
    auto user = hotsync::findUser(name);
    if (!user) {
        exitCode = failure("no HotSync user named \"" + name + "\" (see '" + kProgram + " users list')");
        return std::nullopt;
    }
    if (!foundation::isSafeFileNamePart(name)) {
        exitCode = failure("the user name \"" + name + "\" cannot name a folder on the handheld");
        return std::nullopt;
    }
    auto root = handheldRoot(args);
    if (!root) {
        exitCode = usageError("no handheld folder: give --handheld DIR or set " + std::string(kHandheldVariable));
        return std::nullopt;
    }
    return UserOnHandheld{std::move(*user), platform::joinPath(*root, name)};
}

bool parseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.size() > 6) return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    value = v;
    return true;
}

int runSync(const Arguments& args) {
    int exitCode = kExitOk;
    auto target = userOnHandheld(args, exitCode);
    if (!target) return exitCode;
    hotsync::SyncRun run{target->user, target->handheldFolder, args.programFolder, progress};
    return hotsync::runHotSync(run) ? kExitOk : kExitFailure;
}

int runUsers(const Arguments& args) {
    const std::string& what = args.positional[0];
    if (what == "list") {
        if (args.positional.size() != 1) return usageError("users list takes no name");
        for (const hotsync::HotSyncUser& u : hotsync::readUsers()) {
            auto flag = hotsync::installFlag(u);
            std::printf("%s\tID %s\t%s\tinstall flag %s\n", u.name.c_str(), u.id.c_str(), u.folder.c_str(),
                        flag ? std::to_string(*flag).c_str() : "-");
        }
        return kExitOk;
    }
    if (what != "add") return usageError("users takes list or add");
    if (args.positional.size() != 2) return usageError("users add takes a NAME");
    const std::string* id = args.option("id");
    const std::string* folder = args.option("folder");
    if (!id || !folder) return usageError("users add needs --id ID and --folder DIR");
    if (!hotsync::parseHotSyncId(*id)) return usageError("--id takes a decimal number from 0 to 4294967295");
    hotsync::HotSyncUser user{args.positional[1], absolute(*folder), *id};
    std::string error;
    if (!hotsync::addUser(user, error)) return failure(error);
    progress("user " + user.name + " (ID " + user.id + ") at " + user.folder);
    return kExitOk;
}

int runNotifiers(const Arguments& args) {
    const std::string& what = args.positional[0];
    if (what == "list") {
        if (args.positional.size() != 1) return usageError("notifiers list takes no path");
        const auto list = hotsync::readNotifiers();
        for (size_t i = 0; i < list.size(); ++i) std::printf("%zu\t%s\n", i, list[i].c_str());
        return kExitOk;
    }
    if (what != "add" && what != "remove") return usageError("notifiers takes list, add or remove");
    if (args.positional.size() != 2) return usageError("notifiers " + what + " takes a PATH");
    std::string message;
    const bool ok = what == "add" ? hotsync::addNotifier(args.positional[1], message)
                                  : hotsync::removeNotifier(args.positional[1], message);
    if (!ok) return failure(message);
    progress(message);
    return kExitOk;
}

int runSetCell(const Arguments& args) {
    long row = 0, column = 0;
    if (!parseNumber(*args.option("row"), 1, 9999, row)) return usageError("--row takes a number from 1 to 9999");
    if (!parseNumber(*args.option("column"), 1, 256, column))
        return usageError("--column takes a number from 1 to 256");
    int exitCode = kExitOk;
    auto target = userOnHandheld(args, exitCode);
    if (!target) return exitCode;
    const hotsync::Handheld handheld(target->handheldFolder);
    const std::string& database = *args.option("database");
    uint32_t counter = 0;
    std::string error;
    if (!handheld.setCell(database, uint16_t(row), uint16_t(column), *args.option("text"), counter, error))
        return failure(error);
    progress("set " + database + " row " + std::to_string(row) + " column " + std::to_string(column) + " on " +
             target->user.name + "'s handheld; change counter of " + std::string(hotsync::bookOf(database)) +
             " now " + std::to_string(counter));
    return kExitOk;
}

int runShow(const Arguments& args) {
    int exitCode = kExitOk;
    auto target = userOnHandheld(args, exitCode);
    if (!target) return exitCode;
    const hotsync::Handheld handheld(target->handheldFolder);
    if (const std::string* database = args.option("database")) {
        std::vector<hotsync::SheetCellText> cells;
        std::string error;
        if (!handheld.sheetCells(*database, cells, error)) return failure(error);
        for (const auto& c : cells) std::printf("(%u,%u)\t%s\n", unsigned(c.row), unsigned(c.column), c.text.c_str());
        return kExitOk;
    }
    for (const hotsync::DatabaseInfo& db : handheld.databases()) {
        std::printf("%s\t%s/%s\tversion %u\t%u records", db.name.c_str(), db.type.c_str(), db.creator.c_str(),
                    unsigned(db.version), unsigned(db.numRecords));
        if (db.changeCounter) std::printf("\tchange counter %u", unsigned(*db.changeCounter));
        std::printf("\n");
    }
    return kExitOk;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& s : list)
        if (s == item) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    std::string self = argc > 0 ? argv[0] : "";
    size_t cut = self.find_last_of(platform::kPathSeparator);
    args.programFolder = cut == std::string::npos ? platform::currentDirectory() : absolute(self.substr(0, cut));

    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            printUsage(stdout);
            return kExitOk;
        }
        if (a.rfind("--", 0) == 0 && a.size() > 2) {
            if (i + 1 >= argc) return usageError(a + " needs a value");
            args.options[a.substr(2)] = argv[++i];
        } else {
            words.push_back(std::move(a));
        }
    }
    if (words.empty()) {
        printUsage(stderr);
        return kExitUsage;
    }
    const CommandRow* command = nullptr;
    for (const CommandRow& row : commands())
        if (words[0] == row.name) command = &row;
    if (!command) return usageError("unknown command \"" + words[0] + "\"");
    args.positional.assign(words.begin() + 1, words.end());
    if (args.positional.size() < command->minPositional || args.positional.size() > command->maxPositional)
        return usageError(std::string("usage: ") + kProgram + " " + command->name + " " + command->arguments);
    for (const auto& [name, value] : args.options)
        if (name != "handheld" && !contains(command->allowed, name))
            return usageError(std::string(command->name) + " takes no --" + name);
    for (const std::string& name : command->required)
        if (!args.option(name)) return usageError(std::string(command->name) + " needs --" + name);
    return command->run(args);
}
