// cli/command_line.h - the command-line layer of the stand-in programs and
// the installer: a table of commands, the parse of argv into a command and its
// arguments, the usage text, and the messages a tool ends with.
//
//   PROGRAM [--OPTION VALUE]... COMMAND [POSITIONAL]...   (options anywhere)
//
// Every option takes one value and may be given once. A command takes the
// program's global options (--library, --handheld) and its own `allowed`
// ones, and must be given its `required` ones. `--help` or `-h` prints the
// usage to standard output and ends with 0 (with `commandHelp`, after a
// command, only that command's usage). Every other problem with the command
// line is a usage error: a message and a hint on standard error, exit 2.
#pragma once

#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// A parsed command line.
struct Arguments {
    std::vector<std::string> positional;         // after the command's name
    std::map<std::string, std::string> options;  // without the leading "--"
    std::string argv0;                           // the program as it was started

    // The option's value, or nullptr when it was not given.
    const std::string* option(const std::string& name) const;
};

using Command = int (*)(const Arguments&);

// One row of a program's command table; the usage text is made from the rows.
struct CommandRow {
    const char* name;
    const char* arguments;  // the synopsis after the name ("" for none)
    const char* help;
    size_t minPositional, maxPositional;
    std::vector<std::string> required;  // options that must be given
    std::vector<std::string> allowed;   // options it takes besides the global ones
    Command run;
};

struct Program {
    const char* name;
    // After the name in the usage line; "COMMAND ARGUMENTS" in it stands for
    // a command's name and arguments in that command's usage.
    const char* synopsis;
    std::vector<CommandRow> commands;
    std::vector<std::string> globalOptions;  // options every command takes
    std::string optionsHelp;                 // printed after the command list
    bool commandHelp = false;                // "COMMAND --help" prints that command's usage only
};

// Parses the command line, checks it against the command's row and runs the
// command; returns the exit status. A failed allocation in a command ends it
// with "not enough memory" and kExitFailure.
int run(const Program& program, int argc, char** argv);

void printUsage(std::FILE* to, const Program& program);
void printCommandUsage(std::FILE* to, const Program& program, const CommandRow& command);

// "PROGRAM: message" (the name run() was given) and a hint to --help on
// standard error; kExitUsage.
int usageError(const std::string& message);
// "PROGRAM: message" on standard error; kExitFailure.
int failure(const std::string& message);
// A progress line on standard output, flushed at once.
void progress(const std::string& line);

// A decimal number of at most 12 digits, nothing else, from low to high.
bool parseNumber(std::string_view text, long long low, long long high, long long& value);

// The library a host loads: --library PATH, else $variable, else
// ../lib/<fileName> beside the program when it is there, else <fileName> in
// the system folder (platform/shell.h) when it is there, else the path beside
// the program (<fileName> alone for a program started without a folder,
// which the loader then searches for).
std::string libraryPath(const Arguments& args, const char* variable, const char* fileName);

}  // namespace standin
