// installer/installer_places.h - the registry places and fixed texts that
// several parts of setupwiz share.
#pragma once

#include <string_view>

#include "foundation/registry_access.h"

namespace installer {

// Product settings root; a product key K lives at kProductRoot + K.
constexpr std::string_view kProductRoot = foundation::kProductKeyPrefix;
// The Palm Desktop's own places ("Path", "HotSyncPath"; "Install%ld").
constexpr std::string_view kPalmCoreKey = "HKEY_CURRENT_USER\\SOFTWARE\\U.S. Robotics\\Pilot Desktop\\Core";
constexpr std::string_view kHotSyncManagerKey = foundation::kHotSyncManagerKey;
// The system's list of installed programs; the product's entry is this + application.
constexpr std::string_view kUninstallRoot =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

constexpr std::string_view kMakerName = "Brightfold";
constexpr std::string_view kInstallFolderName = "Install";
// Where users are sent when the Palm libraries fail ("please contact ...").
constexpr std::string_view kSupportAddress = "support@brightfold.example";
// Where the HotSync Manager upgrade is found ("... V3.0.4 at ...").
constexpr std::string_view kHotSyncUpgradeAddress = "https://brightfold.example/palm-desktop";

// HotSync Manager's window class and its shut-down message (first parameter 1).
constexpr std::string_view kHotSyncWindowClass = "KittyHawk";
constexpr unsigned kHotSyncShutDownMessage = 0xBEC5;
constexpr std::string_view kExcelWindowClass = "XLMAIN";
constexpr std::string_view kWordWindowClass = "OpusApp";

}  // namespace installer
