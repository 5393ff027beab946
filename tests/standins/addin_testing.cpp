#include "addin_testing.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "foundation/byteorder.h"
#include "syncmgr/link_editing.h"
#include "workbook_json.h"

namespace addintest {

namespace fs = std::filesystem;

std::string gridlinkPath() { return testsupport::buildDir() + "/lib/libgridlink.so"; }
std::string addinPath() { return testsupport::buildDir() + "/bin/tabulo-addin"; }

std::string textOf(const std::string& path) {
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void linkBook(int user, const std::string& path, int rule, bool highResolution, int fontMapping) {
    foundation::LinkRegistry registry{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
    syncmgr::useBackupDiscovery(registry);
    syncmgr::RegisterRequest request;
    request.user = user;
    request.pcPath = path;
    request.syncRule = rule;
    request.highResolution = highResolution;
    request.fontMapping = fontMapping;
    syncmgr::LinkEditResult r = syncmgr::registerLink(registry, request);
    if (!r.ok()) ADD_FAILURE() << "linking " << path << ": " << r.message << " (status " << r.status << ")";
}

ChildTransfer inChild(const testsupport::TempDir& dir,
                      const std::function<tabulo::TransferResult(tabulo::Gridlink&)>& body) {
    const std::string errPath = dir.file("child-stderr.txt"), reportPath = dir.file("child-report.txt");
    fs::remove(reportPath);
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, 2);
        int code = 3;
        {
            tabulo::Gridlink lib;
            std::string error;
            if (lib.load(gridlinkPath(), error)) {
                tabulo::TransferResult r = body(lib);
                std::ostringstream report;
                report << r.status << '\n' << r.call << '\n' << r.detail << '\n' << r.user << '\n' << r.target << '\n';
                testsupport::writeFile(reportPath, report.str());
                code = r.ok() ? 0 : 1;
            } else {
                std::fprintf(stderr, "load failed: %s\n", error.c_str());
            }
        }
        _exit(code);
    }
    ChildTransfer t;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return t;
    t.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    t.stderrText = textOf(errPath);
    std::istringstream report(textOf(reportPath));
    std::string line;
    if (std::getline(report, line)) t.status = std::stoi(line);
    std::getline(report, t.call);
    std::getline(report, t.detail);
    if (std::getline(report, line)) t.user = std::stoi(line);
    std::getline(report, t.target);
    return t;
}

ChildTransfer exportInChild(const testsupport::TempDir& dir, const std::string& workbook, const tabulo::Book& book) {
    return inChild(dir, [&](tabulo::Gridlink& lib) { return tabulo::exportWorkbook(lib, workbook, book); });
}

ChildTransfer importInChild(const testsupport::TempDir& dir, const std::string& workbook, tabulo::Book& book,
                            const tabulo::ImportOptions& options) {
    const std::string jsonPath = dir.file("child-import.json");
    fs::remove(jsonPath);
    ChildTransfer t = inChild(dir, [&](tabulo::Gridlink& lib) {
        tabulo::Book imported;
        tabulo::TransferResult r = tabulo::importWorkbook(lib, workbook, imported, options);
        testsupport::writeFile(jsonPath, tabulo::writeJson(imported));
        return r;
    });
    std::string error;
    book = tabulo::Book();
    if (fs::exists(jsonPath) && !tabulo::readJson(textOf(jsonPath), book, error))
        ADD_FAILURE() << "the child's JSON does not read back: " << error;
    return t;
}

int hotSync(const testsupport::Sandbox& box, int user) {
    int moved = 0;
    for (const auto& e : fs::directory_iterator(box.install(user))) {
        fs::rename(e.path(), fs::path(box.backup(user)) / e.path().filename());
        ++moved;
    }
    return moved;
}

std::vector<uint8_t> cellRecord(uint16_t row, uint16_t column, const std::string& text, uint32_t flags, double value,
                                uint8_t textColor, uint8_t backColor) {
    std::vector<uint8_t> r(4 + 25 + text.size(), 0);
    foundation::storeBE16(&r[0], row);
    foundation::storeBE16(&r[2], column);
    foundation::storeBE32(&r[4], flags);
    r[8] = textColor;
    r[9] = backColor;
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    foundation::storeBE32(&r[12], uint32_t(bits >> 32));
    foundation::storeBE32(&r[16], uint32_t(bits));
    foundation::storeBE16(&r[20], uint16_t(text.size()));
    std::memcpy(r.data() + 29, text.data(), text.size());
    return r;
}

void setOpenPasswordHash(std::vector<uint8_t>& database, uint32_t hash) {
    uint32_t record0 = foundation::loadBE32(&database[78]);
    foundation::storeBE32(&database[record0 + 4 + 34], hash);
}

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env, const std::string& input) {
    ProcessResult r;
    testsupport::TempDir dir;
    const std::string outPath = dir.file("out.txt"), errPath = dir.file("err.txt"), inPath = dir.file("in.txt");
    testsupport::writeFile(inPath, input);
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
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = textOf(outPath);
    r.err = textOf(errPath);
    return r;
}

}  // namespace addintest
