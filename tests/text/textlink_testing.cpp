#include "textlink_testing.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "foundation/byteorder.h"

namespace textlinktest {

std::vector<uint8_t> makeDocDatabase(const DocDbSpec& spec) {
    const size_t n = spec.texts.size() + 1;
    std::vector<uint8_t> f(78 + 8 * n + 2, 0);
    for (size_t i = 0; i < spec.name.size() && i < 31; ++i) f[i] = uint8_t(spec.name[i]);
    foundation::storeBE16(&f[34], 70);
    for (int i = 0; i < 4; ++i) {
        f[60 + i] = uint8_t(spec.type[i]);
        f[64 + i] = uint8_t(spec.creator[i]);
    }
    foundation::storeBE16(&f[76], uint16_t(n));
    std::vector<uint8_t> record0(16, 0);
    record0[1] = 1;  // plain text records
    uint32_t total = 0;
    for (const std::string& t : spec.texts) total += uint32_t(t.size());
    foundation::storeBE32(&record0[4], total);
    foundation::storeBE16(&record0[8], uint16_t(spec.texts.size()));
    foundation::storeBE16(&record0[10], spec.recordSize);
    size_t offset = f.size();
    foundation::storeBE32(&f[78], uint32_t(offset));
    offset += record0.size();
    for (size_t i = 0; i < spec.texts.size(); ++i) {
        foundation::storeBE32(&f[78 + 8 * (i + 1)], uint32_t(offset));
        offset += spec.texts[i].size();
    }
    f.insert(f.end(), record0.begin(), record0.end());
    for (const std::string& t : spec.texts) f.insert(f.end(), t.begin(), t.end());
    return f;
}

std::string textOf(const std::string& path) {
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string crlf(const std::string& lfText) {
    std::string out;
    for (char c : lfText) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

platform::ui::Answer RecordingBackend::messageBox(const platform::ui::MessageBox& box) {
    shared_->boxes.push_back(box.caption + ": " + box.text);
    shared_->details.push_back(box);
    if (!shared_->answers.empty()) {
        platform::ui::Answer a = shared_->answers.front();
        shared_->answers.erase(shared_->answers.begin());
        return a;
    }
    return platform::ui::safeAnswer(box.buttons);
}

ScopedRecorder::ScopedRecorder(std::vector<platform::ui::Answer> answers)
    : shared_(std::make_shared<RecordingBackend::Shared>()) {
    shared_->answers = std::move(answers);
    platform::ui::setBackend(std::make_unique<RecordingBackend>(shared_));
}

ScopedRecorder::~ScopedRecorder() { platform::ui::setBackend(nullptr); }

ChildResult runInChild(const testsupport::TempDir& dir, const std::function<int()>& body) {
    std::string errPath = dir.file("child-stderr.txt");
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, 2);
        int rc = 255;
        try {
            rc = body();
        } catch (...) {
        }
        _exit(rc);
    }
    ChildResult r;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    r.stderrText = textOf(errPath);
    return r;
}

namespace {

std::string drain(int fd) {
    std::string out;
    char buf[4096];
    for (;;) {
        ssize_t got = read(fd, buf, sizeof buf);
        if (got <= 0) break;
        out.append(buf, size_t(got));
    }
    return out;
}

}  // namespace

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env) {
    ProcessResult r;
    testsupport::TempDir dir;
    std::string outPath = dir.file("out.txt"), errPath = dir.file("err.txt");
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0) _exit(127);
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
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    int fd = open(outPath.c_str(), O_RDONLY);
    if (fd >= 0) {
        r.out = drain(fd);
        close(fd);
    }
    fd = open(errPath.c_str(), O_RDONLY);
    if (fd >= 0) {
        r.err = drain(fd);
        close(fd);
    }
    return r;
}

std::string textlinkPath() { return testsupport::buildDir() + "/lib/libtextlink.so"; }
std::string addinPath() { return testsupport::buildDir() + "/bin/quillo-addin"; }

}  // namespace textlinktest
