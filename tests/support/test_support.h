// Test helpers: temporary folders, a private hive, golden byte comparison.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/pdb.h"

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() joined with a relative name.
    std::string file(std::string_view name) const;
    // Creates the folders of a relative path (like mkdir -p); returns the full path.
    std::string makeDir(std::string_view relative) const;

private:
    std::string path_;
};

// Points BRIGHTFOLD_HIVE at a hive file of its own for its lifetime and
// restores the previous value afterwards.
class ScopedHive {
public:
    explicit ScopedHive(const std::string& path);
    ~ScopedHive();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Sets (or, with nullptr, unsets) an environment variable for a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();

private:
    std::string name_, previous_;
    bool hadPrevious_ = false;
};

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> bytesOf(std::string_view text);
std::vector<uint8_t> hexBytes(std::string_view hex);  // "61 62 0A" (spaces optional)

// The header most test databases carry: the name (cut to 31 characters),
// version, type and creator; the dates and every other field zero.
foundation::PdbHeader databaseHeader(std::string_view name, uint16_t version, const char* type = "Data",
                                     const char* creator = "PiTB");
// The file bytes of a database with that header and whole records (no
// attributes, unique IDs 0), laid out by the library's builder.
std::vector<uint8_t> databaseFile(const foundation::PdbHeader& header,
                                  const std::vector<std::vector<uint8_t>>& records);

// A hex dump of both byte strings around the first difference, for golden tests.
::testing::AssertionResult sameBytes(const std::vector<uint8_t>& expected,
                                     const std::vector<uint8_t>& actual);

// Folders of the build and source trees (set by CTest; fall back to the
// compile-time values).
std::string buildDir();
std::string sourceDir();

}  // namespace testsupport
