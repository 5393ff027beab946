// A HotSync sandbox in a temporary folder: a private hive, a product folder
// with sync.dat and the template workbook, and HotSync users with their
// Backup and Install folders, as the installer leaves them; the product's
// link registry and the texts of its file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/link_registry.h"
#include "support/test_support.h"

namespace testsupport {

// The bytes of a minimal sheet database: records 0 (key and 62-byte book
// header with the version, book flags and scrambled change counter), 1 and 2
// (keys alone), optional extra records, and the terminator.
struct SheetDbSpec {
    SheetDbSpec(std::string name_, uint16_t version_ = 71, uint32_t changeCounter_ = 0,
                uint8_t bookFlags_ = 0x02)
        : name(std::move(name_)), version(version_), changeCounter(changeCounter_), bookFlags(bookFlags_) {}
    std::string name;
    uint16_t version = 71;       // container and book header version
    uint32_t changeCounter = 0;  // host value; stored scrambled
    uint8_t bookFlags = 0x02;    // category in the high four bits
    const char* type = "Data";
    const char* creator = "PiTB";
    std::vector<std::vector<uint8_t>> cellRecords;  // complete records (key included)
};
std::vector<uint8_t> makeSheetDatabase(const SheetDbSpec& spec);

// Texts of the link registry file: a link line (the counter stored
// scrambled, the CSV time in two halves, CR LF at the end) and a user's
// section ("[user]", "enabled=10" or "enabled=00", then the lines).
std::string linkLine(const std::string& book, int rule, int32_t lastSynced, const std::string& path,
                     uint64_t csvTime = 0, int fontMapping = -1);
std::string linkSection(const std::string& user, const std::string& lines, bool enabled = true);

// Loads a link registry from its file as the library's attach step does
// (desktop lock mode, nothing saved first); the refresh's result, >= 0 when
// it loaded.
int loadLinks(foundation::LinkRegistry& registry);

class Sandbox {
public:
    explicit Sandbox(std::string product = "Tabulo", bool withSyncFile = true);

    TempDir dir;
    std::string product;
    std::string productFolder;

    // Adds user number userList.size() with a folder holding Backup and
    // Install; returns its index.
    int addUser(const std::string& name, const std::string& id);
    std::string userFolder(int user) const;
    std::string backup(int user) const;
    std::string install(int user) const;
    // Writes a sheet database into a user's Backup folder as "<name>.pdb".
    std::string putInBackup(int user, const SheetDbSpec& spec, const std::string& fileName = "");

    // Registry helpers (HKEY_CURRENT_USER).
    void setValue(const std::string& keyPath, const std::string& name, const std::string& text);
    std::string value(const std::string& keyPath, const std::string& name);
    std::string productKey() const;
    // The HotSync Manager's install flag of a user ID ("Install<ID>"), -1 when absent.
    long installFlag(const std::string& id);

    std::string registryFile() const;  // TBRegistry.dat (or QLRegistry.dat for Quillo)
    // The product's link registry as the library opens it, not loaded yet.
    foundation::LinkRegistry linkRegistry() const;
    // Writes the link registry file: the version line "0", then the sections.
    void writeLinks(const std::string& sections) const;

private:
    ScopedHive hive_;
    std::vector<std::string> userFolders_;
};

}  // namespace testsupport
