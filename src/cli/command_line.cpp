#include "command_line.h"

#include <algorithm>
#include <new>
#include <optional>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/text.h"

namespace standin {

namespace {

const char* currentName = "";

constexpr std::string_view kCommandPlaceholder = "COMMAND ARGUMENTS";

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

const CommandRow* findCommand(const Program& program, std::string_view name) {
    for (const CommandRow& row : program.commands)
        if (name == row.name) return &row;
    return nullptr;
}

// Checks the command line against the command's row; kExitOk when it fits.
int check(const Program& program, const CommandRow& command, const Arguments& args) {
    const std::string name = command.name;
    for (const auto& [option, value] : args.options)
        if (!contains(program.globalOptions, option) && !contains(command.allowed, option))
            return usageError(name + " takes no --" + option);
    if (args.positional.size() < command.minPositional || args.positional.size() > command.maxPositional)
        return usageError(name + " takes " + command.arguments);
    for (const std::string& option : command.required)
        if (!args.option(option)) return usageError(name + " needs --" + option);
    return kExitOk;
}

}  // namespace

const std::string* Arguments::option(const std::string& name) const {
    auto it = options.find(name);
    return it == options.end() ? nullptr : &it->second;
}

void printUsage(std::FILE* to, const Program& program) {
    std::fprintf(to, "usage: %s %s\n\ncommands:\n", program.name, program.synopsis);
    for (const CommandRow& row : program.commands)
        std::fprintf(to, "  %s %s\n      %s\n", row.name, row.arguments, row.help);
    std::fputs(program.optionsHelp.c_str(), to);
}

void printCommandUsage(std::FILE* to, const Program& program, const CommandRow& command) {
    std::string synopsis = program.synopsis;
    size_t at = synopsis.find(kCommandPlaceholder);
    if (at != std::string::npos)
        synopsis.replace(at, kCommandPlaceholder.size(), std::string(command.name) + " " + command.arguments);
    std::fprintf(to, "usage: %s %s\n  %s\n", program.name, synopsis.c_str(), command.help);
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", currentName, message.c_str());
    std::fprintf(stderr, "try '%s --help'\n", currentName);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", currentName, message.c_str());
    return kExitFailure;
}

void progress(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool parseNumber(std::string_view text, long long low, long long high, long long& value) {
    // Digits alone; twelve of them at most, so the value fits.
    constexpr platform::DecimalRules kArgumentRules{.maxLength = 12};
    const std::optional<uint64_t> parsed = platform::parseDecimal(text, kArgumentRules);
    if (!parsed) return false;
    const auto v = static_cast<long long>(*parsed);
    if (v < low || v > high) return false;
    value = v;
    return true;
}

std::string libraryPath(const Arguments& args, const char* variable, const char* fileName) {
    if (const std::string* given = args.option("library"); given && !given->empty()) return *given;
    if (auto fromEnvironment = platform::environment(variable)) return *fromEnvironment;
    size_t cut = args.argv0.find_last_of(platform::kPathSeparator);
    std::string beside =
        cut == std::string::npos ? std::string() : args.argv0.substr(0, cut + 1) + "../lib/" + fileName;
    if (!beside.empty() && platform::fileExists(beside)) return beside;
    // An installed system keeps the libraries in the system folder, where a
    // Windows program finds a DLL too.
    if (std::string system = platform::shell::systemFolder(); !system.empty()) {
        std::string installed = platform::joinPath(system, fileName);
        if (platform::fileExists(installed)) return installed;
    }
    return beside.empty() ? std::string(fileName) : beside;
}

int run(const Program& program, int argc, char** argv) {
    currentName = program.name;
    Arguments args;
    if (argc > 0 && argv[0]) args.argv0 = argv[0];
    const CommandRow* command = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            if (command && program.commandHelp)
                printCommandUsage(stdout, program, *command);
            else
                printUsage(stdout, program);
            return kExitOk;
        }
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            std::string name(arg.substr(2));
            if (i + 1 >= argc) return usageError("--" + name + " needs a value");
            if (!args.options.emplace(name, argv[++i]).second)
                return usageError("--" + name + " given twice");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + std::string(arg));
        } else if (!command) {
            command = findCommand(program, arg);
            if (!command) return usageError("unknown command " + std::string(arg));
        } else {
            args.positional.emplace_back(arg);
        }
    }
    if (!command) return usageError("no command given");
    if (int rc = check(program, *command, args); rc != kExitOk) return rc;
    try {
        return command->run(args);
    } catch (const std::bad_alloc&) {
        return failure("not enough memory");
    }
}

}  // namespace standin
