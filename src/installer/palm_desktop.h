// installer/palm_desktop.h - what setupwiz does towards the Palm Desktop:
// the Conduit Manager and install aide libraries (loaded from the folder of
// the HotSync Manager recorded under "...\Pilot Desktop\Core" "HotSyncPath"),
// the choice of the Palm user (Pilot Users dialog, resource 131), the user's
// records under each product key, notifier registration, and asking running
// programs (HotSync Manager, Excel, Word) to close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace installer {

// LoadPalmLibraries results.
constexpr int kPalmLoaded = 1;
constexpr int kPalmNoHotSync = -1;         // HotSync Manager's location unknown or not enterable
constexpr int kPalmNoConduitManager = -2;  // "CondMgr.dll" unusable
constexpr int kPalmNoInstallAide = -3;     // "Instaide.dll" unusable

// The chosen Palm user.
struct PalmUser {
    std::string name;    // up to 63 characters
    std::string folder;  // the user's HotSync folder
    int32_t id = -1;     // -1: none
};

// The two Palm libraries while loaded. Destruction unloads them.
class PalmDesktop {
public:
    PalmDesktop();
    ~PalmDesktop();
    PalmDesktop(const PalmDesktop&) = delete;
    PalmDesktop& operator=(const PalmDesktop&) = delete;

    int load();     // LoadPalmLibraries
    void unload();  // frees each loaded library and forgets it
    bool loaded() const;

    // ChooseHotSyncUser: the user ID, or -1 for no user (none, cancelled,
    // lookup failed). Shows the Pilot Users dialog when there are several.
    int32_t chooseUser(PalmUser& user);
    void registerNotifier(std::string_view fileName);
    void unregisterNotifier(std::string_view fileName);

private:
    struct Libraries;
    std::unique_ptr<Libraries> libs_;
};

// FindPalmLibrary: the full path of a library beside the HotSync Manager
// (and enters that folder), or -1.
int FindPalmLibrary(std::string& path, std::string_view libraryName);

// RecordHotSyncUser: the user's install flag, its "User<n>" slot under the
// product key, "Install" and (when missing) "Backup" ("Sauvegarde" when the
// user folder holds such a folder).
void RecordHotSyncUser(std::string_view productKey, const PalmUser& user);

// Programs to close, bits of StopRunningApps' flags.
constexpr int kCloseHotSync = 1;
constexpr int kCloseExcel = 2;
constexpr int kCloseWord = 4;
// 0 cancelled, 1 nothing shut down, 2 HotSync Manager shut down.
int StopRunningApps(int flags);

}  // namespace installer
