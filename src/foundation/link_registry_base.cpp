#include "foundation/link_registry_base.h"

#include "platform/files.h"

namespace foundation {

LinkRegistryBase::LinkRegistryBase(Product product, std::string fileName, SyncFile::Options syncOptions,
                                   ModuleStateOwner* owner)
    : syncFile(std::move(syncOptions)),
      product_(std::move(product)),
      fileName_(std::move(fileName)),
      owner_(owner) {}

std::string LinkRegistryBase::syncFolder() const {
    std::string folder;
    RegistryValue(product_.productKey(), "Path", folder);
    return folder;
}

int32_t LinkRegistryBase::LockSyncFile(LockMode mode) { return syncFile.lock(syncFolder(), mode); }

SyncLockGuard LinkRegistryBase::holdSyncLock(LockMode mode) {
    return SyncLockGuard(syncFile, syncFolder(), mode);
}

bool LinkRegistryBase::UnloadTBMData(SaveFirst save) {
    if (!loaded_) return true;
    if (save == SaveFirst::Yes && !writeLinkFile(registryFilePath, serialize())) return false;
    clearLists();
    if (owner_) owner_->releaseSheetBuffers();
    loaded_ = false;
    return true;
}

int LinkRegistryBase::LoadLinkRegistry() {
    ProductSettings fresh = readProductSettings(product_);
    if (fresh.productFolder.empty()) return -1;
    // An in-memory registry still loaded is written first. When that write
    // fails, it stays as it is: reloading over it would either lose its
    // changes or load them twice.
    if (loaded_ && !writeLinkFile(registryFilePath, serialize())) return BF_ERR_WRITE;
    // A file that exists but cannot be read is no empty registry: loading
    // it as one would make the next save delete every link. The load fails
    // and what is in memory stays (it is what the file holds, if anything).
    const std::string path = platform::joinPath(fresh.productFolder, fileName_);
    LinkFileText file;
    if (!readLinkFile(path, file)) return BF_ERR_OPEN;
    UnloadTBMData(SaveFirst::No);
    settings = std::move(fresh);
    registryFilePath = path;
    onSettingsRead();

    std::vector<std::string> names = readUserNames(product_);
    if (names.empty()) return -1;
    onFileRead(file);
    loaded_ = true;
    for (size_t i = 0; i < names.size(); ++i) addUser(names[i], file, int(i));
    return 0;
}

int LinkRegistryBase::RefreshLinkRegistry(LockMode mode, SaveFirst save) {
    SyncLockGuard lock = holdSyncLock(mode);
    if (lock.previousMode() < 0) return lock.previousMode();
    if (save == SaveFirst::No) UnloadTBMData(SaveFirst::No);
    int rc = LoadLinkRegistry();
    return rc < 0 ? rc : lock.previousMode();
}

std::string LinkRegistryBase::userFolder(int userIndex) const { return GetUserFolder(product_, userIndex); }

std::string LinkRegistryBase::backupFolder(int userIndex) const {
    std::string folder = userFolder(userIndex);
    return folder.empty() ? std::string() : platform::joinPath(folder, settings.backupFolderName);
}

std::string LinkRegistryBase::installFolder(int userIndex) const {
    std::string folder = userFolder(userIndex);
    return folder.empty() ? std::string() : platform::joinPath(folder, settings.installFolderName);
}

}  // namespace foundation
