#include "child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platformtest {

namespace {
constexpr const char* kChildMarker = "PLATFORM_TEST_CHILD";
constexpr const char* kRanMarker = "PLATFORM_TEST_CHILD_RAN";
}  // namespace

bool inChild() {
    const char* marker = std::getenv(kChildMarker);
    return marker && *marker == '1';
}

void markChildRan() {
    if (const char* path = std::getenv(kRanMarker)) {
        if (FILE* f = std::fopen(path, "w")) std::fclose(f);
    }
}

int runTestInChild(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env) {
    char ranPath[] = "/tmp/platform-child-XXXXXX";
    int ranFd = mkstemp(ranPath);
    if (ranFd < 0) return -1;
    close(ranFd);
    unlink(ranPath);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        setenv(kChildMarker, "1", 1);
        setenv(kRanMarker, ranPath, 1);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        std::string filter = "--gtest_filter=" + testName;
        execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), "--gtest_brief=1",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    bool ran = access(ranPath, F_OK) == 0;
    unlink(ranPath);
    if (!WIFEXITED(status)) return -1;
    if (!ran) return -2;
    return WEXITSTATUS(status);
}

}  // namespace platformtest
