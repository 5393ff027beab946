// The Palm Desktop side of setupwiz: the Conduit Manager and install aide
// libraries, the choice of the Palm user, the user's records, notifiers and
// the programs asked to close.
#include "installer/palm_desktop.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "brightfold.h"
#include "foundation/registry_access.h"
#include "installer/installer_places.h"
#include "installer/pilot_users_dialog.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace installer {
namespace {

namespace ui = platform::ui;

// The libraries' names as the Palm Desktop ships them, and their file names
// on this platform (beside the HotSync Manager's program).
#if defined(_WIN32)
constexpr const char* kConduitManagerFile = "CondMgr.dll";
constexpr const char* kInstallAideFile = "Instaide.dll";
#else
constexpr const char* kConduitManagerFile = "libCondMgr.so";
constexpr const char* kInstallAideFile = "libInstaide.so";
#endif

constexpr size_t kMaxUsers = 64;
constexpr size_t kUserNameChars = 63;
constexpr size_t kUserFolderChars = 259;
constexpr int16_t kUserBufferBytes = 512;
constexpr int32_t kFolderBufferBytes = 512;
constexpr int32_t kNotifierBufferBytes = 260;
constexpr unsigned kShutDownWaitMs = 1000;

constexpr const char* kCannotContinue = "Can not continue";
constexpr const char* kHotSyncRunning = "HotSync Manager is running. Click OK to shut it down.";
constexpr const char* kExcelRunning = "Excel is running. Close it and click OK to continue.";
constexpr const char* kWordRunning = "MS Word is running. Close it and click OK to continue.";
constexpr const char* kSauvegarde = "Sauvegarde";

using CmRemoveConduitByNameFn = int32_t(WINAPI*)(const char*);
using CmSetNotifierDllFn = int32_t(WINAPI*)(int32_t, const char*);
using CmGetNotifierDllFn = int32_t(WINAPI*)(int32_t, char*, int32_t*);
using CmGetCreatorDirectoryFn = int32_t(WINAPI*)(const char*, char*, int32_t*);
using CmGetBackupConduitFn = int32_t(WINAPI*)(char*, int32_t*);
using CmGetCreatorIDListFn = int32_t(WINAPI*)(char*, int32_t*);
using PltGetUserCountFn = int16_t(WINAPI*)();
using PltGetUserFn = int16_t(WINAPI*)(uint32_t, char*, int16_t*);
using PltGetUserDirectoryFn = int32_t(WINAPI*)(const char*, char*, int32_t*);
using PlmGetUserIDFromNameFn = int32_t(WINAPI*)(const char*, uint32_t*);

// A text the library wrote into a buffer: up to the first NUL within it.
std::string bufferText(const std::vector<char>& buffer) {
    size_t length = 0;
    while (length < buffer.size() && buffer[length] != '\0') ++length;
    return std::string(buffer.data(), length);
}

// Loads a library from its full path, else by its bare name from the
// remembered folder.
std::optional<platform::Library> loadPalmLibrary(const std::string& path, const char* bareName,
                                                 const std::string& remembered) {
    if (auto library = platform::Library::load(path)) return library;
    platform::setCurrentDirectory(remembered);
    return platform::Library::load(bareName);
}

template <typename F>
bool lookUp(const platform::Library& library, const char* name, F& function) {
    function = library.function<F>(name);
    return function != nullptr;
}

}  // namespace

struct PalmDesktop::Libraries {
    std::optional<platform::Library> conduitManager;
    std::optional<platform::Library> installAide;
    CmRemoveConduitByNameFn removeConduitByName = nullptr;
    CmSetNotifierDllFn setNotifierDll = nullptr;
    CmGetNotifierDllFn getNotifierDll = nullptr;
    CmGetCreatorDirectoryFn getCreatorDirectory = nullptr;
    CmGetBackupConduitFn getBackupConduit = nullptr;
    CmGetCreatorIDListFn getCreatorIdList = nullptr;
    PltGetUserCountFn getUserCount = nullptr;
    PltGetUserFn getUser = nullptr;
    PltGetUserDirectoryFn getUserDirectory = nullptr;
    PlmGetUserIDFromNameFn getUserIdFromName = nullptr;

    bool conduitManagerUsable() const {
        return conduitManager && removeConduitByName && setNotifierDll && getNotifierDll &&
               getCreatorDirectory && getBackupConduit && getCreatorIdList;
    }
    bool installAideUsable() const {
        return installAide && getUserCount && getUser && getUserDirectory && getUserIdFromName;
    }
    // The name of user `index`, or nothing when the aide gives none.
    std::optional<std::string> user(uint32_t index) const {
        std::vector<char> buffer(size_t(kUserBufferBytes), '\0');
        int16_t size = kUserBufferBytes;
        if (getUser(index, buffer.data(), &size) <= 0) return std::nullopt;
        return bufferText(buffer);
    }
    // The name of notifier `index`, or nothing past the last one.
    std::optional<std::string> notifier(int32_t index) const {
        std::vector<char> buffer(size_t(kNotifierBufferBytes), '\0');
        int32_t size = kNotifierBufferBytes;
        if (getNotifierDll(index, buffer.data(), &size) != 0) return std::nullopt;
        return bufferText(buffer);
    }
};

PalmDesktop::PalmDesktop() : libs_(std::make_unique<Libraries>()) {}
PalmDesktop::~PalmDesktop() = default;

int FindPalmLibrary(std::string& path, std::string_view libraryName) {
    std::string hotSyncPath;
    // An empty value names no program: as unknown as a missing one.
    if (foundation::RegistryValue(kPalmCoreKey, "HotSyncPath", hotSyncPath) != 0 || hotSyncPath.empty())
        return -1;
    const size_t start = platform::fileNameStart(hotSyncPath);
    std::string folder = start ? hotSyncPath.substr(0, start) : hotSyncPath + platform::kPathSeparator;
    if (!platform::setCurrentDirectory(folder)) return -1;
    path = folder + std::string(libraryName);
    return 0;
}

int PalmDesktop::load() {
    unload();
    Libraries& libs = *libs_;
    std::string remembered = platform::currentDirectory();
    std::string path;
    if (FindPalmLibrary(path, kConduitManagerFile) != 0) return kPalmNoHotSync;
    libs.conduitManager = loadPalmLibrary(path, kConduitManagerFile, remembered);
    if (!libs.conduitManager) return kPalmNoConduitManager;
    const platform::Library& cm = *libs.conduitManager;
    if (!lookUp(cm, "CmRemoveConduitByName", libs.removeConduitByName) ||
        !lookUp(cm, "CmSetNotifierDll", libs.setNotifierDll) ||
        !lookUp(cm, "CmGetNotifierDll", libs.getNotifierDll) ||
        !lookUp(cm, "CmGetCreatorDirectory", libs.getCreatorDirectory) ||
        !lookUp(cm, "CmGetBackupConduit", libs.getBackupConduit) ||
        !lookUp(cm, "CmGetCreatorIDList", libs.getCreatorIdList))
        return kPalmNoConduitManager;
    if (FindPalmLibrary(path, kInstallAideFile) != 0) return kPalmNoHotSync;
    libs.installAide = loadPalmLibrary(path, kInstallAideFile, remembered);
    if (!libs.installAide) return kPalmNoInstallAide;
    const platform::Library& aide = *libs.installAide;
    if (!lookUp(aide, "PltGetUserCount", libs.getUserCount) || !lookUp(aide, "PltGetUser", libs.getUser) ||
        !lookUp(aide, "PltGetUserDirectory", libs.getUserDirectory) ||
        !lookUp(aide, "PlmGetUserIDFromName", libs.getUserIdFromName))
        return kPalmNoInstallAide;
    platform::setCurrentDirectory(remembered);
    return kPalmLoaded;
}

void PalmDesktop::unload() { libs_ = std::make_unique<Libraries>(); }

bool PalmDesktop::loaded() const { return libs_->conduitManagerUsable() && libs_->installAideUsable(); }

int32_t PalmDesktop::chooseUser(PalmUser& user) {
    const Libraries& libs = *libs_;
    if (!libs.installAideUsable()) return -1;
    int count = libs.getUserCount();
    if (count <= 0) return -1;
    if (count > int(kMaxUsers)) count = int(kMaxUsers);
    // Names too long for the user record are left out rather than cut: a cut
    // name would name another user, or none.
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        std::optional<std::string> name = libs.user(uint32_t(i));
        if (name && !name->empty() && name->size() <= kUserNameChars) names.push_back(std::move(*name));
    }
    if (names.empty()) return -1;
    size_t chosen = 0;
    if (names.size() > 1) {
        PilotUsersDialog dialog(names);
        int16_t result = int16_t(ui::runDialog(ui::focusWindow(), dialog));
        if (!dialog.shown() || result < 0 || size_t(result) >= names.size()) return -1;
        chosen = size_t(result);
    }
    const std::string& name = names[chosen];
    bool found = false;
    for (int i = 0; i < count && !found; ++i) found = libs.user(uint32_t(i)) == name;
    if (!found) return -1;
    std::vector<char> buffer(size_t(kFolderBufferBytes), '\0');
    int32_t size = kFolderBufferBytes;
    if (libs.getUserDirectory(name.c_str(), buffer.data(), &size) < 0) return -1;
    // A folder that does not fit the user record is refused, not cut: a cut
    // path would send files elsewhere.
    std::string folder = bufferText(buffer);
    if (folder.size() > kUserFolderChars) return -1;
    user.folder = std::move(folder);
    uint32_t id = uint32_t(-1);
    libs.getUserIdFromName(name.c_str(), &id);
    user.name = name;
    user.id = int32_t(id);
    return user.id;
}

void PalmDesktop::registerNotifier(std::string_view fileName) {
    const Libraries& libs = *libs_;
    if (!libs.conduitManagerUsable()) return;
    int32_t index = 0;
    for (;; ++index) {
        std::optional<std::string> name = libs.notifier(index);
        if (!name) break;
        if (platform::sameNoCase(*name, fileName)) return;
    }
    libs.setNotifierDll(index, std::string(fileName).c_str());
}

void PalmDesktop::unregisterNotifier(std::string_view fileName) {
    const Libraries& libs = *libs_;
    if (!libs.conduitManagerUsable()) return;
    for (int32_t index = 0;; ++index) {
        std::optional<std::string> name = libs.notifier(index);
        if (!name) return;
        if (platform::sameNoCase(*name, fileName)) {
            libs.setNotifierDll(index, nullptr);
            return;
        }
    }
}

void RecordHotSyncUser(std::string_view productKey, const PalmUser& user) {
    char installValue[32];
    std::snprintf(installValue, sizeof installValue, "Install%ld", long(user.id));
    std::string unused;
    const uint32_t one = 1;
    foundation::RegistryValue(kHotSyncManagerKey, installValue, unused, &one);

    std::string root = std::string(kProductRoot) + std::string(productKey);
    for (int n = 0;; ++n) {
        std::string userKey = root + "\\User" + std::to_string(n);
        std::string name;
        foundation::RegistryValue(userKey, "Name", name);
        if (!name.empty() && name != user.name) continue;
        std::string text = user.name;
        foundation::RegistryValue(userKey, "Name", text);
        text = user.folder;
        foundation::RegistryValue(userKey, "Path", text);
        text = std::to_string(user.id);
        foundation::RegistryValue(userKey, "ID", text);
        break;
    }
    std::string text(kInstallFolderName);
    foundation::RegistryValue(root, "Install", text);

    std::string backup;
    foundation::RegistryValue(root, "Backup", backup);
    if (!backup.empty()) return;
    std::string remembered = platform::currentDirectory();
    bool sauvegarde = platform::setCurrentDirectory(platform::joinPath(user.folder, kSauvegarde));
    platform::setCurrentDirectory(remembered);
    backup = sauvegarde ? kSauvegarde : std::string(foundation::kDefaultBackupFolderName);
    foundation::RegistryValue(root, "Backup", backup);
}

int StopRunningApps(int flags) {
    namespace shell = platform::shell;
    auto askOk = [](const char* text) {
        return ui::messageBox(ui::focusWindow(), text, kCannotContinue, ui::Buttons::OkCancel,
                              ui::Icon::Question) == ui::IdOk;
    };
    int result = 1;
    if ((flags & kCloseHotSync) && shell::windowExists(kHotSyncWindowClass)) {
        if (!askOk(kHotSyncRunning)) return 0;
        shell::postMessage(kHotSyncWindowClass, kHotSyncShutDownMessage, 1, 0);
        platform::sleepMilliseconds(kShutDownWaitMs);
        result = 2;
    }
    if (flags & kCloseExcel) {
        while (shell::windowExists(kExcelWindowClass))
            if (!askOk(kExcelRunning)) return 0;
    }
    if (flags & kCloseWord) {
        while (shell::windowExists(kWordWindowClass))
            if (!askOk(kWordRunning)) return 0;
    }
    return result;
}

}  // namespace installer
