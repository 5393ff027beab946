#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/posix_compat.h"

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "bftest-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempDir::file(std::string_view name) const { return (fs::path(path_) / name).string(); }

std::string TempDir::makeDir(std::string_view relative) const {
    fs::path p = fs::path(path_) / relative;
    fs::create_directories(p);
    return p.string();
}

ScopedHive::ScopedHive(const std::string& path) : path_(path) {
    if (const char* old = std::getenv("BRIGHTFOLD_HIVE")) {
        hadPrevious_ = true;
        previous_ = old;
    }
    setenv("BRIGHTFOLD_HIVE", path.c_str(), 1);
}

ScopedHive::~ScopedHive() {
    if (hadPrevious_)
        setenv("BRIGHTFOLD_HIVE", previous_.c_str(), 1);
    else
        unsetenv("BRIGHTFOLD_HIVE");
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        hadPrevious_ = true;
        previous_ = old;
    }
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (hadPrevious_)
        setenv(name_.c_str(), previous_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::vector<uint8_t> bytesOf(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

foundation::PdbHeader databaseHeader(std::string_view name, uint16_t version, const char* type,
                                     const char* creator) {
    foundation::PdbHeader header;
    header.name = std::string(name.substr(0, foundation::pdb::kMaxNameLength));
    header.version = version;
    auto four = [](const char* s) { return foundation::loadBE32(reinterpret_cast<const uint8_t*>(s)); };
    header.type = four(type);
    header.creator = four(creator);
    return header;
}

std::vector<uint8_t> databaseFile(const foundation::PdbHeader& header,
                                  const std::vector<std::vector<uint8_t>>& records) {
    std::vector<foundation::PdbRecordData> list;
    for (const auto& r : records) list.push_back({r});
    return foundation::buildPdb(header, list);
}

std::vector<uint8_t> hexBytes(std::string_view hex) {
    std::vector<uint8_t> out;
    int high = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (high < 0)
            high = v;
        else {
            out.push_back(uint8_t(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

static std::string dumpAround(const std::vector<uint8_t>& b, size_t at) {
    std::ostringstream os;
    size_t start = at >= 16 ? (at - 16) & ~size_t(15) : 0;
    for (size_t row = start; row < b.size() && row < start + 48; row += 16) {
        char line[24];
        std::snprintf(line, sizeof line, "%06zx:", row);
        os << line;
        for (size_t i = row; i < row + 16 && i < b.size(); ++i) {
            char cell[8];
            std::snprintf(cell, sizeof cell, i == at ? "[%02x]" : " %02x ", b[i]);
            os << cell;
        }
        os << "\n";
    }
    return os.str();
}

::testing::AssertionResult sameBytes(const std::vector<uint8_t>& expected,
                                     const std::vector<uint8_t>& actual) {
    size_t n = std::min(expected.size(), actual.size());
    size_t at = 0;
    while (at < n && expected[at] == actual[at]) ++at;
    if (at == n && expected.size() == actual.size()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "bytes differ at offset " << at << " (expected " << expected.size() << " bytes, got "
           << actual.size() << ")\nexpected:\n"
           << dumpAround(expected, at) << "actual:\n"
           << dumpAround(actual, at);
}

std::string buildDir() {
    if (const char* d = std::getenv("BRIGHTFOLD_BUILD_DIR")) return d;
    return BRIGHTFOLD_DEFAULT_BUILD_DIR;
}

std::string sourceDir() {
    if (const char* d = std::getenv("BRIGHTFOLD_SOURCE_DIR")) return d;
    return BRIGHTFOLD_DEFAULT_SOURCE_DIR;
}

}  // namespace testsupport
