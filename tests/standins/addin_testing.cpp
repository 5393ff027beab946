#include "addin_testing.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "foundation/byteorder.h"
#include "foundation/link_registry.h"
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
        report << r.status << '\n'
               << r.call << '\n'
               << r.detail << '\n'
               << r.user << '\n'
               << r.target << '\n';
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

ChildTransfer exportInChild(const testsupport::TempDir& dir, const std::string& workbook,
                            const tabulo::Book& book) {
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

namespace {

// Where a sheet database file keeps its change counter (record 0, after the
// key); 0 when the bytes are too short to hold it.
size_t counterOffset(const std::vector<uint8_t>& db) {
    if (db.size() < 82) return 0;
    const size_t at = size_t(foundation::loadBE32(&db[78])) + 4 + 16;
    return at + 4 <= db.size() ? at : 0;
}

std::string bookOf(const fs::path& file) {
    const std::string stem = file.stem().string();
    return stem.substr(0, stem.rfind('-'));
}

}  // namespace

int hotSync(const testsupport::Sandbox& box, int user, bool editedOnHandheld) {
    std::map<std::string, uint32_t> highest;  // book -> counter
    for (const std::string& folder : {box.backup(user), box.install(user)})
        for (const auto& e : fs::directory_iterator(folder)) {
            auto bytes = testsupport::readFile(e.path().string());
            if (size_t at = counterOffset(bytes)) {
                uint32_t& h = highest[bookOf(e.path())];
                h = std::max(
                    h, uint32_t(foundation::ScrambleCounter(int32_t(foundation::loadBE32(&bytes[at])))));
            }
        }
    std::vector<fs::path> waiting;
    for (const auto& e : fs::directory_iterator(box.install(user))) waiting.push_back(e.path());
    for (const fs::path& path : waiting) {
        auto bytes = testsupport::readFile(path.string());
        if (size_t at = counterOffset(bytes)) {
            const uint32_t counter = highest[bookOf(path)] + (editedOnHandheld ? 2 : 1);
            foundation::storeBE32(&bytes[at], uint32_t(foundation::ScrambleCounter(int32_t(counter))));
        }
        testsupport::writeFile((fs::path(box.backup(user)) / path.filename()).string(), bytes);
        fs::remove(path);
    }
    return int(waiting.size());
}

std::vector<uint8_t> cellRecord(uint16_t row, uint16_t column, const std::string& text, uint32_t flags,
                                double value, uint8_t textColor, uint8_t backColor) {
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
