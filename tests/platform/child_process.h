// Helpers for tests that need a fresh process: running one test of this
// program again with extra environment variables.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace platformtest {

// True inside a process started by runTestInChild.
bool inChild();
// Notes, inside the child, that the selected test really ran.
void markChildRan();

// Runs this test program again with only the named test selected and the
// given environment added, and returns its exit status (0 when the child's
// test passed), -1 when it could not be run, -2 when no test ran.
int runTestInChild(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env);

}  // namespace platformtest

// First statement of a test body that only runs in a child process.
#define PLATFORM_CHILD_ONLY()                                                      \
    do {                                                                           \
        if (!::platformtest::inChild()) GTEST_SKIP() << "runs in a child process"; \
        ::platformtest::markChildRan();                                            \
    } while (0)
