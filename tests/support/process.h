// Test helpers for programs and code run in child processes: a program run
// with arguments, extra environment and standard input, its output captured;
// a function run in a forked child with its standard error captured; one test
// of the running test program run again in a fresh process.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

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

// True inside a process started by runTestInChild.
bool inChild();
// Notes, inside the child, that the selected test really ran.
void markChildRan();

// Runs this test program again with only the named test selected and the
// given environment added, and returns its exit status (0 when the child's
// test passed), -1 when it could not be run, -2 when no test ran. The
// child's output is passed on to this program's.
int runTestInChild(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env);

// The foreign hosts tests/platform/library_host.c (built as tests/library_host)
// and library_host.py (run by /usr/bin/python3): each loads a library (dlopen,
// ctypes), calls GetErrorText and SysFreeString, unloads the library when
// `unload` is set, and ends normally. Nothing when the host cannot run here:
// no /usr/bin/python3, or an ASan runtime that cannot be preloaded into it.
enum class LibraryHost { C, Python };
std::optional<ProcessResult> runLibraryHost(LibraryHost host, const std::string& library, bool unload);
// Runs every host on the library, once ending with the library loaded and
// once unloading it first: each must exit with 0 and write nothing to
// standard error. A host that cannot run here makes the test skipped.
void expectHostsEndCleanly(const std::string& library);

// True in a build with AddressSanitizer.
bool addressSanitizerBuild();

// For a child process: lets its address space grow by `bytes` at most, so
// that a larger allocation fails (std::bad_alloc). False when the limit
// cannot be set.
bool limitAddressSpaceGrowth(size_t bytes);

}  // namespace testsupport

// First statement of a test body that only runs in a child process.
#define TESTSUPPORT_CHILD_ONLY()                                                  \
    do {                                                                          \
        if (!::testsupport::inChild()) GTEST_SKIP() << "runs in a child process"; \
        ::testsupport::markChildRan();                                            \
    } while (0)
