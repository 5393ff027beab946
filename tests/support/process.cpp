#include "support/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.h"

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

}  // namespace

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env, const std::string& input) {
    ProcessResult r;
    TempDir dir;
    const std::string outPath = dir.file("out.txt"), errPath = dir.file("err.txt"), inPath = dir.file("in.txt");
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

}  // namespace testsupport
