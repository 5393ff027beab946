// hotsync - stands in for the HotSync Manager on Linux: keeps a simulated
// handheld (a folder of databases per user), runs a HotSync for a user with
// the registered notifier libraries (HS_Notify), and edits a sheet on the
// handheld the way Tabulo does. See docs/hotsync.md.
//
// Exit status: 0 success, 1 a failed HotSync or an error (with its message),
// 2 a usage error.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "foundation/file_names.h"
#include "foundation/registry_access.h"
#include "handheld.h"
#include "hotsync_manager.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace {

using standin::Arguments;
using standin::failure;
using standin::kExitFailure;
using standin::kExitOk;
using standin::progress;
using standin::usageError;

constexpr const char* kProgram = "hotsync";
constexpr const char* kHandheldVariable = "BRIGHTFOLD_HANDHELD";
// The Palm Desktop's place in the registry, and the HotSync Manager's window.
constexpr const char* kPalmCoreKey = "HKEY_CURRENT_USER\\SOFTWARE\\U.S. Robotics\\Pilot Desktop\\Core";
constexpr const char* kWindowClass = "KittyHawk";
constexpr uint32_t kShutDownMessage = 0xBEC5;

int runSync(const Arguments&);
int runUsers(const Arguments&);
int runNotifiers(const Arguments&);
int runSetCell(const Arguments&);
int runShow(const Arguments&);
int runDesktop(const Arguments&);
int runManager(const Arguments&);

std::vector<standin::CommandRow> commands() {
    return {
        {"sync",
         "--user NAME",
         "run one HotSync for the user: HS_SYNC_STARTED to every notifier, install the user's Install folder "
         "onto "
         "the handheld (and clear the install flag), copy the handheld's databases into Backup, then "
         "HS_SYNC_SUCCESS (HS_SYNC_FAILURE when a step fails)",
         0,
         0,
         {"user"},
         {"user"},
         runSync},
        {"users",
         "list | add NAME --id ID --folder DIR",
         "list the HotSync users (with their install flags), or add one (an existing name is updated)",
         1,
         2,
         {},
         {"id", "folder"},
         runUsers},
        {"notifiers",
         "list | add PATH | remove PATH",
         "list, register or remove the notifier libraries that receive HS_Notify",
         1,
         2,
         {},
         {},
         runNotifiers},
        {"set-cell",
         "--user NAME --database NAME --row R --column C --text TEXT",
         "edit a sheet on the user's handheld as Tabulo does: add or replace the cell, raise the book's "
         "change "
         "counter",
         0,
         0,
         {"user", "database", "row", "column", "text"},
         {"user", "database", "row", "column", "text"},
         runSetCell},
        {"show",
         "--user NAME [--database NAME]",
         "list the databases on the user's handheld, or the cells of one sheet database",
         0,
         0,
         {"user"},
         {"user", "database"},
         runShow},
        {"desktop",
         "[--path DIR]",
         "record an installed Palm Desktop in the registry: \"Path\" (DIR, default this program's folder) "
         "and "
         "\"HotSyncPath\" (this program, beside which lie the Conduit Manager and install aide modules)",
         0,
         0,
         {},
         {"path"},
         runDesktop},
        {"manager",
         "",
         "run as the HotSync Manager's main window (class \"KittyHawk\") until it is asked to shut down "
         "(message 0xBEC5, first parameter 1)",
         0,
         0,
         {},
         {},
         runManager},
    };
}

std::string optionsHelp() {
    char text[1024];
    std::snprintf(text, sizeof text,
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
    return text;
}

std::string absolute(const std::string& path) {
    return platform::isAbsolutePath(path) ? path : platform::joinPath(platform::currentDirectory(), path);
}

// The folder this program was started from: a notifier named without a
// folder is loaded from ../lib beside it.
std::string programFolder(const Arguments& args) {
    size_t cut = args.argv0.find_last_of(platform::kPathSeparator);
    return cut == std::string::npos ? platform::currentDirectory() : absolute(args.argv0.substr(0, cut));
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
    foundation::HotSyncUser user;
    std::string handheldFolder;
};

std::optional<UserOnHandheld> userOnHandheld(const Arguments& args, int& exitCode) {
    const std::string& name = *args.option("user");
    auto user = foundation::findUser(name);
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
        exitCode =
            usageError("no handheld folder: give --handheld DIR or set " + std::string(kHandheldVariable));
        return std::nullopt;
    }
    return UserOnHandheld{std::move(*user), platform::joinPath(*root, name)};
}

int runSync(const Arguments& args) {
    int exitCode = kExitOk;
    auto target = userOnHandheld(args, exitCode);
    if (!target) return exitCode;
    hotsync::SyncRun run{target->user, target->handheldFolder, programFolder(args), progress};
    return hotsync::runHotSync(run) ? kExitOk : kExitFailure;
}

int runUsers(const Arguments& args) {
    const std::string& what = args.positional[0];
    if (what == "list") {
        if (args.positional.size() != 1) return usageError("users list takes no name");
        for (const foundation::HotSyncUser& u : foundation::readUsers()) {
            auto flag = foundation::installFlag(u);
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
    if (!foundation::parseHotSyncId(*id))
        return usageError("--id takes a decimal number from 0 to 4294967295");
    foundation::HotSyncUser user{args.positional[1], absolute(*folder), *id};
    std::string error;
    if (!foundation::addUser(user, error)) return failure(error);
    progress("user " + user.name + " (ID " + user.id + ") at " + user.folder);
    return kExitOk;
}

int runNotifiers(const Arguments& args) {
    const std::string& what = args.positional[0];
    if (what == "list") {
        if (args.positional.size() != 1) return usageError("notifiers list takes no path");
        const auto list = foundation::readNotifiers();
        for (size_t i = 0; i < list.size(); ++i) std::printf("%zu\t%s\n", i, list[i].c_str());
        return kExitOk;
    }
    if (what != "add" && what != "remove") return usageError("notifiers takes list, add or remove");
    if (args.positional.size() != 2) return usageError("notifiers " + what + " takes a PATH");
    std::string message;
    const bool ok = what == "add" ? foundation::addNotifier(args.positional[1], message)
                                  : foundation::removeNotifier(args.positional[1], message);
    if (!ok) return failure(message);
    progress(message);
    return kExitOk;
}

int runSetCell(const Arguments& args) {
    long long row = 0, column = 0;
    if (!standin::parseNumber(*args.option("row"), 1, 9999, row))
        return usageError("--row takes a number from 1 to 9999");
    if (!standin::parseNumber(*args.option("column"), 1, 256, column))
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
    progress("set " + database + " row " + std::to_string(row) + " column " + std::to_string(column) +
             " on " + target->user.name + "'s handheld; change counter of " +
             std::string(hotsync::bookOf(database)) + " now " + std::to_string(counter));
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
        for (const auto& c : cells)
            std::printf("(%u,%u)\t%s\n", unsigned(c.row), unsigned(c.column), c.text.c_str());
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

int runDesktop(const Arguments& args) {
    const std::string program = platform::shell::programPath();
    if (program.empty()) return failure("cannot tell where this program lies");
    const std::string* given = args.option("path");
    const size_t cut = platform::fileNameStart(program);
    std::string folder = given ? absolute(*given) : program.substr(0, cut > 1 ? cut - 1 : cut);
    std::string hotSyncPath = program;
    if (foundation::RegistryValue(kPalmCoreKey, "Path", folder) != 0 ||
        foundation::RegistryValue(kPalmCoreKey, "HotSyncPath", hotSyncPath) != 0)
        return failure("cannot write the Palm Desktop's place into the registry");
    progress("Palm Desktop at " + folder + ", HotSync Manager " + program);
    return kExitOk;
}

int runManager(const Arguments&) {
    auto window = platform::shell::WindowClass::create(kWindowClass);
    if (!window)
        return failure(std::string("cannot register the window class ") + kWindowClass +
                       " (is a HotSync Manager running already?)");
    progress("HotSync Manager running");
    for (;;) {
        std::optional<platform::shell::PostedMessage> message = window->wait(-1);
        if (!message) return failure("the HotSync Manager window's messages cannot be read");
        if (message->message == kShutDownMessage && message->wParam == 1) break;
    }
    progress("HotSync Manager shut down");
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    const standin::Program program{
        kProgram, "COMMAND ARGUMENTS [--handheld DIR]", commands(), {"handheld"}, optionsHelp()};
    // Started without a command, as the installer starts the HotSync Manager
    // again from "HotSyncPath", it runs as the manager.
    if (argc == 1) {
        char manager[] = "manager";
        char* managerArgv[] = {argv[0], manager, nullptr};
        return standin::run(program, 2, managerArgv);
    }
    return standin::run(program, argc, argv);
}
