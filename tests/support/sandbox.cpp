#include "support/sandbox.h"

#include <cstdio>
#include <filesystem>

#include "foundation/byteorder.h"
#include "foundation/link_registry.h"
#include "foundation/registry_access.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace testsupport {

namespace fs = std::filesystem;

std::vector<uint8_t> makeSheetDatabase(const SheetDbSpec& spec) {
    std::vector<std::vector<uint8_t>> records;
    std::vector<uint8_t> r0(66, 0);
    foundation::storeBE16(&r0[4], spec.version);
    r0[4 + 3] = spec.bookFlags;
    foundation::storeBE32(&r0[4 + 4], 6);
    r0[4 + 8] = 255;
    foundation::storeBE16(&r0[4 + 12], 30);
    foundation::storeBE16(&r0[4 + 14], 12);
    foundation::storeBE32(&r0[4 + 16], uint32_t(foundation::ScrambleCounter(int32_t(spec.changeCounter))));
    foundation::storeBE16(&r0[4 + 22], 1);
    foundation::storeBE16(&r0[4 + 24], 1);
    foundation::storeBE32(&r0[4 + 38], 0x0C00);
    r0[4 + 42] = 2;
    records.push_back(r0);
    records.push_back({0, 0, 0, 1});
    records.push_back({0, 1, 0, 0});
    for (const auto& r : spec.cellRecords) records.push_back(r);
    records.push_back({0xFF, 0xFF, 0xFF, 0xFF});

    foundation::PdbHeader header = databaseHeader(spec.name, spec.version, spec.type, spec.creator);
    header.creationDate = header.modificationDate = foundation::pdb::kFixedDate;
    return databaseFile(header, records);
}

Sandbox::Sandbox(std::string productName, bool withSyncFile)
    : product(std::move(productName)), hive_(dir.file("registry.reg")) {
    productFolder = dir.makeDir("product");
    if (withSyncFile) writeFile(productFolder + "/sync.dat", std::string(4, '\0'));
    writeFile(productFolder + "/dummy.xls", std::string("template workbook"));
    setValue(productKey(), "Path", productFolder);
}

std::string Sandbox::productKey() const { return foundation::Product{product}.productKey(); }

int Sandbox::addUser(const std::string& name, const std::string& id) {
    int index = int(userFolders_.size());
    std::string folder = dir.makeDir("palm/" + name);
    fs::create_directories(folder + "/Backup");
    fs::create_directories(folder + "/Install");
    userFolders_.push_back(folder);
    std::string key = foundation::Product{product}.userKey(index);
    setValue(key, "Name", name);
    setValue(key, "Path", folder);
    if (!id.empty()) setValue(key, "ID", id);
    return index;
}

std::string Sandbox::userFolder(int user) const { return userFolders_.at(size_t(user)); }
std::string Sandbox::backup(int user) const { return userFolder(user) + "/Backup"; }
std::string Sandbox::install(int user) const { return userFolder(user) + "/Install"; }

std::string Sandbox::putInBackup(int user, const SheetDbSpec& spec, const std::string& fileName) {
    std::string path = backup(user) + "/" + (fileName.empty() ? spec.name + ".pdb" : fileName);
    writeFile(path, makeSheetDatabase(spec));
    return path;
}

void Sandbox::setValue(const std::string& keyPath, const std::string& name, const std::string& text) {
    std::string t = text;
    if (foundation::RegistryValue(keyPath, name, t) != 0) throw std::runtime_error("registry write failed");
}

std::string Sandbox::value(const std::string& keyPath, const std::string& name) {
    return foundation::RegistryRead(keyPath, name);
}

long Sandbox::installFlag(const std::string& id) {
    platform::registry::Value v;
    if (platform::registry::queryValue(platform::registry::Root::CurrentUser,
                                       {"SOFTWARE", "U.S. Robotics", "Pilot Desktop", "HotSync Manager"},
                                       "Install" + id, v) != 0)
        return -1;
    return long(v.number);
}

std::string Sandbox::registryFile() const {
    return productFolder + (product == "Quillo" ? "/QLRegistry.dat" : "/TBRegistry.dat");
}

foundation::LinkRegistry Sandbox::linkRegistry() const {
    return foundation::LinkRegistry(foundation::Product{product},
                                    std::string(platform::fileNamePart(registryFile())));
}

void Sandbox::writeLinks(const std::string& sections) const { writeFile(registryFile(), "0\r\n" + sections); }

std::string linkLine(const std::string& book, int rule, int32_t lastSynced, const std::string& path,
                     uint64_t csvTime, int fontMapping) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s=%d,0,%d,%d,%d,%d?", book.c_str(), rule,
                  foundation::ScrambleCounter(lastSynced), int32_t(uint32_t(csvTime)),
                  int32_t(uint32_t(csvTime >> 32)), fontMapping);
    return buf + path + "\r\n";
}

std::string linkSection(const std::string& user, const std::string& lines, bool enabled) {
    return "[" + user + "]\r\nenabled=" + (enabled ? "1" : "0") + "0\r\n" + lines;
}

int loadLinks(foundation::LinkRegistry& registry) {
    return registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No);
}

}  // namespace testsupport
