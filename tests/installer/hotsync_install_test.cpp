// setupwiz with the real HotSync stand-in running as the HotSync Manager: the
// install asks to shut it down, registers libgridlink as notifier, starts it
// again, and the next HotSync calls the library; the uninstall removes the
// notifier.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "installer_testing.h"
#include "platform/shell.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;

constexpr const char* kHotSyncClass = "KittyHawk";

bool windowBecomes(bool exists) {
    for (int i = 0; i < 500; ++i) {
        if (platform::shell::windowExists(kHotSyncClass) == exists) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class HotSyncInstallTest : public ::testing::Test {
protected:
    installer_testing::Sandbox box;

    // A HotSync Manager the installer started again never outlives the test.
    void TearDown() override {
        if (platform::shell::windowExists(kHotSyncClass))
            platform::shell::postMessage(kHotSyncClass, 0xBEC5, 1, 0);
    }

    ProcessResult hotsync(const std::vector<std::string>& args) {
        auto env = box.environment();
        env.emplace_back("BRIGHTFOLD_HANDHELD", box.dir.file("handheld"));
        env.emplace_back("BRIGHTFOLD_UI", "headless");
        return testsupport::runProgram(installer_testing::binary("hotsync"), args, env);
    }
};

TEST_F(HotSyncInstallTest, InstallShutsDownRegistersRestartsAndUninstallRemoves) {
    ASSERT_EQ(hotsync({"desktop"}).exitCode, 0);
    ASSERT_EQ(hotsync({"users", "add", "Ann", "--id", "1001", "--folder", box.dir.makeDir("palm") + "/Ann"})
                  .exitCode,
              0);
    box.writeDist(
        "setup.inf",
        "[Installation]\nApplication=Tabulo\n[Tabulo]\nAppName0=Sheets, Workbooks for the handheld\n"
        "[Sheets]\nFile0=libgridlink.so\nDestination0=\\NOTIFIER\nFile1=sync.dat\n");
    box.writeDist("sync.dat", std::string(4, '\0'));
    fs::copy_file(testsupport::buildDir() + "/lib/libgridlink.so", box.dist + "/libgridlink.so");

    ProcessResult manager;
    std::atomic<bool> managerEnded = false;
    std::thread running([&] {
        manager = hotsync({"manager"});
        managerEnded = true;
    });
    ASSERT_TRUE(windowBecomes(true));
    // Another message, or the shut-down message with another parameter, is ignored.
    platform::shell::postMessage(kHotSyncClass, 0xBEC5, 0, 0);
    platform::shell::postMessage(kHotSyncClass, 0x0400, 1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    box.run({}, "dialog 129\nclick 1\ndialog 102\ntype 1008 " + box.target + "\nclick 1\nok\nyes\nyes\nok\n");
    for (int i = 0; i < 500 && !managerEnded; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!managerEnded) platform::shell::postMessage(kHotSyncClass, 0xBEC5, 1, 0);  // not to hang the test
    running.join();
    EXPECT_EQ(manager.exitCode, 0) << manager.err;
    const std::string installLog = box.log();
    size_t at = 0;
    for (const char* line : {"Can not continue: HotSync Manager is running. Click OK to shut it down. => ok",
                             "Restart Hotsync: Restart Hotsync Manager? => yes",
                             "Installation Finished: Hotsync your Palm to complete installation => ok"}) {
        at = installLog.find(line, at);
        EXPECT_NE(at, std::string::npos) << line << "\n" << installLog;
    }
    // Started again from "HotSyncPath", without arguments.
    EXPECT_TRUE(windowBecomes(true));

    EXPECT_EQ(hotsync({"notifiers", "list"}).out, "0\tlibgridlink.so\n");
    ProcessResult sync = hotsync({"sync", "--user", "Ann"});
    EXPECT_NE(sync.out.find("notifier " + box.system + "/libgridlink.so loaded"), std::string::npos)
        << sync.out << sync.err;
    EXPECT_NE(sync.out.find("HS_SYNC_SUCCESS to 1 notifier(s)"), std::string::npos) << sync.out << sync.err;

    box.run({"/d"}, "dialog 102\nclick 1\nok\nok\n", box.target + "/setupwiz");
    EXPECT_TRUE(windowBecomes(false)) << box.log();
    EXPECT_EQ(hotsync({"notifiers", "list"}).out, "");
}

}  // namespace
