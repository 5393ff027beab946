#include "addin_testing.h"

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
    ChildTransfer t;
    t.exitCode = testsupport::runInChild(errPath, [&] {
        tabulo::Gridlink lib;
        std::string error;
        if (!lib.load(gridlinkPath(), error)) {
            std::fprintf(stderr, "load failed: %s\n", error.c_str());
            return 3;
        }
        tabulo::TransferResult r = body(lib);
        std::ostringstream report;
        report << r.status << '\n' << r.call << '\n' << r.detail << '\n' << r.user << '\n' << r.target << '\n';
        testsupport::writeFile(reportPath, report.str());
        return r.ok() ? 0 : 1;
    });
    if (t.exitCode == -1) return t;
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

}  // namespace addintest
