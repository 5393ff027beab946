#include "support/process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "support/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define TESTSUPPORT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESTSUPPORT_ASAN 1
#endif
#endif

namespace testsupport {

namespace {

std::string textOf(const std::string& path) {
    auto bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// Waits for the child; its exit code, 255 when it did not end normally, -1
// when there is no such child.
int waitFor(pid_t pid, int abnormal) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : abnormal;
}

constexpr const char* kPython = "/usr/bin/python3";

constexpr const char* kChildMarker = "BRIGHTFOLD_TEST_CHILD";
constexpr const char* kRanMarker = "BRIGHTFOLD_TEST_CHILD_RAN";

// The shared ASan runtime this program runs with, "" without one (no ASan,
// or a runtime linked into the program).
std::string sharedSanitizerRuntime() {
#if defined(TESTSUPPORT_ASAN)
    Dl_info info{};
    void* init = dlsym(RTLD_DEFAULT, "__asan_init");
    if (init && dladdr(init, &info) && info.dli_fname &&
        std::string(info.dli_fname).find(".so") != std::string::npos)
        return info.dli_fname;
#endif
    return {};
}

}  // namespace

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& input) {
    ProcessResult r;
    TempDir dir;
    const std::string outPath = dir.file("out.txt"), errPath = dir.file("err.txt"),
                      inPath = dir.file("in.txt");
    writeFile(inPath, input);
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(inPath.c_str(), O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    r.exitCode = waitFor(pid, -1);
    r.out = textOf(outPath);
    r.err = textOf(errPath);
    return r;
}

int runInChild(const std::string& stderrPath, const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, 2);
        int rc = 255;
        try {
            rc = body();
        } catch (...) {
        }
        _exit(rc);
    }
    return waitFor(pid, 255);
}

bool inChild() {
    const char* marker = std::getenv(kChildMarker);
    return marker && *marker == '1';
}

void markChildRan() {
    if (const char* path = std::getenv(kRanMarker)) writeFile(path, std::string());
}

int runTestInChild(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env) {
    TempDir dir;
    const std::string ranPath = dir.file("ran");
    std::vector<std::pair<std::string, std::string>> childEnv = {{kChildMarker, "1"}, {kRanMarker, ranPath}};
    childEnv.insert(childEnv.end(), env.begin(), env.end());
    ProcessResult r =
        runProgram("/proc/self/exe", {"--gtest_filter=" + testName, "--gtest_brief=1"}, childEnv);
    std::fputs(r.out.c_str(), stdout);
    std::fputs(r.err.c_str(), stderr);
    if (r.exitCode < 0) return -1;
    if (access(ranPath.c_str(), F_OK) != 0) return -2;
    return r.exitCode;
}

std::optional<ProcessResult> runLibraryHost(LibraryHost host, const std::string& library, bool unload) {
    const std::vector<std::string> args = {library, unload ? "unload" : "keep"};
    if (host == LibraryHost::C) return runProgram(buildDir() + "/tests/library_host", args);
    if (access(kPython, X_OK) != 0) return std::nullopt;
    std::vector<std::pair<std::string, std::string>> env;
    if (addressSanitizerBuild()) {
        // An instrumented library loads into the uninstrumented interpreter
        // only with the ASan runtime loaded first. The interpreter's own
        // memory is not the libraries': leak checking stays with the C host.
        std::string runtime = sharedSanitizerRuntime();
        if (runtime.empty()) return std::nullopt;
        const char* options = std::getenv("ASAN_OPTIONS");
        env = {
            {"LD_PRELOAD", runtime},
            {"ASAN_OPTIONS", std::string(options ? options : "") + (options ? ":" : "") + "detect_leaks=0"}};
    }
    std::vector<std::string> pythonArgs = {sourceDir() + "/tests/platform/library_host.py"};
    pythonArgs.insert(pythonArgs.end(), args.begin(), args.end());
    return runProgram(kPython, pythonArgs, env);
}

void expectHostsEndCleanly(const std::string& library) {
    bool skipped = false;
    for (LibraryHost host : {LibraryHost::C, LibraryHost::Python}) {
        for (bool unload : {false, true}) {
            SCOPED_TRACE(std::string(host == LibraryHost::C ? "C host" : "Python host") +
                         (unload ? ", unloading first" : ", ending with the library loaded"));
            std::optional<ProcessResult> r = runLibraryHost(host, library, unload);
            if (!r) {
                skipped = true;
                continue;
            }
            EXPECT_EQ(r->exitCode, 0);
            EXPECT_EQ(r->err, "");
        }
    }
    if (skipped) GTEST_SKIP() << "the Python host cannot run here";
}

bool addressSanitizerBuild() {
#if defined(TESTSUPPORT_ASAN)
    return true;
#else
    return false;
#endif
}

bool limitAddressSpaceGrowth(size_t bytes) {
    // The first field of /proc/self/statm: the address space in pages.
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    if (!(statm >> pages)) return false;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + bytes;
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

}  // namespace testsupport
