// foundation/link_registry_base.h - what both libraries' link registries share.
//
// A link registry is a text file in the product folder (TBRegistry.dat for
// the workbook library, QLRegistry.dat for the text library), held in memory
// by each process that loads the library and rebuilt from scratch at every
// load: the users from the registry, their sections of the file, and what
// lies in each user's Backup folder. It is read and written only while the
// lock on sync.dat is held, for the span of one refresh. The variants differ
// in their line formats and in what they find in Backup; they provide those
// steps, this class the load, save and refresh around them.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/link_file.h"
#include "foundation/registry_access.h"
#include "foundation/sync_lock.h"

namespace foundation {

// Whether the in-memory registry is written to its file before it is dropped.
enum class SaveFirst { No, Yes };

// The owner of a link registry: the module state that keeps buffers built on
// the registry's links (the workbook library's sheet export and import) and
// must free them whenever the in-memory registry is freed.
class ModuleStateOwner {
public:
    virtual void releaseSheetBuffers() = 0;

protected:
    ~ModuleStateOwner() = default;
};

class LinkRegistryBase {
public:
    // owner, when given, is told at every unload; it outlives the registry.
    LinkRegistryBase(Product product, std::string fileName, SyncFile::Options syncOptions = {},
                     ModuleStateOwner* owner = nullptr);
    virtual ~LinkRegistryBase() = default;
    LinkRegistryBase(const LinkRegistryBase&) = delete;
    LinkRegistryBase& operator=(const LinkRegistryBase&) = delete;
    LinkRegistryBase(LinkRegistryBase&&) = default;

    ProductSettings settings;
    std::string registryFilePath;
    SyncFile syncFile;

    bool loaded() const { return loaded_; }
    const Product& product() const { return product_; }

    // LockSyncFile / UnlockSyncFile on sync.dat in the product folder: the
    // bare steps. The libraries take the lock only through holdSyncLock;
    // UnlockSyncFile alone is their release after a failure.
    int32_t LockSyncFile(LockMode mode);
    void UnlockSyncFile() { syncFile.unlock(); }
    // LockSyncFile for a scope: unlocked when the guard goes, also by an
    // exception (see its previousMode() for the result).
    SyncLockGuard holdSyncLock(LockMode mode);
    // UnloadTBMData: writes the file when save is Yes, then frees the in-memory
    // registry and the owner's sheet buffers. The file is replaced atomically;
    // when that write fails the old file stays and everything is kept in
    // memory (returns false).
    bool UnloadTBMData(SaveFirst save);
    // LoadLinkRegistry: 0, -1 (no product folder, no user), -9 when the
    // registry still in memory could not be written first, or -2 when the
    // registry file exists but cannot be read. After -9 and -2 the registry
    // in memory is kept unchanged (so its changes are neither lost nor
    // loaded twice) and the file is left as it is; a missing file reads as
    // one without links.
    int LoadLinkRegistry();
    // RefreshLinkRegistry: lock, drop (SaveFirst::No) or save (Yes), reload,
    // unlock. The previous lock mode (zero or positive) or a negative error.
    int RefreshLinkRegistry(LockMode mode, SaveFirst save);

    // The file text for the in-memory registry.
    virtual std::string serialize() const = 0;

    // Folders of a user: the user folder, then the Backup and Install
    // folders inside it. Empty when the user has no folder.
    std::string userFolder(int userIndex) const;
    std::string backupFolder(int userIndex) const;
    std::string installFolder(int userIndex) const;

protected:
    // The variant's steps of a load: after the product settings are read,
    // freeing the lists, after the file is read, and one user at a time.
    virtual void onSettingsRead() {}
    virtual void clearLists() = 0;
    virtual void onFileRead(const LinkFileText&) {}
    virtual void addUser(const std::string& name, const LinkFileText& file, int userIndex) = 0;

private:
    std::string syncFolder() const;

    Product product_;
    std::string fileName_;
    ModuleStateOwner* owner_ = nullptr;
    bool loaded_ = false;
};

}  // namespace foundation
