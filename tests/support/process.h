// Test helpers for programs and code run in child processes: a program run
// with arguments, extra environment and standard input, its output captured;
// a function run in a forked child with its standard error captured.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitCode = -1;  // -1 when it could not be started or did not end normally
    std::string out, err;
};

// Runs a program with arguments, extra environment variables and `input` as
// its standard input; captures its standard output and error. A program that
// cannot be executed exits with 127.
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env = {},
                         const std::string& input = "");

// Runs body in a forked child whose standard error goes to stderrPath; the
// child ends with body's result (255 when body throws). Returns the child's
// exit code, 255 when it did not end normally, -1 when it could not be run.
int runInChild(const std::string& stderrPath, const std::function<int()>& body);

}  // namespace testsupport
