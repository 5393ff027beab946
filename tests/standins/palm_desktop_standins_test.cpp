// The Palm Desktop stand-ins: the Conduit Manager and install aide modules'
// answers off the everyday path (the installer's tests drive that one, and
// its end-to-end test the hotsync program's desktop, manager and notifier
// search), and the manager's handling of other messages.
#include <chrono>
#include <thread>

#include "addin_testing.h"
#include "foundation/hotsync_users.h"
#include "palm-desktop/palm_modules.h"
#include "platform/library.h"
#include "platform/shell.h"

namespace {

using testsupport::ProcessResult;

std::string binPath(const char* name) { return testsupport::buildDir() + "/bin/" + name; }

class PalmStandIns : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedHive hive{dir.file("registry.reg")};

    ProcessResult hotsync(const std::vector<std::string>& args) {
        return testsupport::runProgram(
            binPath("hotsync"), args,
            {{"BRIGHTFOLD_HANDHELD", dir.file("handheld")}, {"BRIGHTFOLD_UI", "headless"}});
    }
    void addUser(const std::string& name, const std::string& id) {
        std::string error;
        ASSERT_TRUE(foundation::addUser({name, dir.file(name), id}, error)) << error;
    }
};

TEST_F(PalmStandIns, ModulesReportShortBuffersAndUnknownNames) {
    addUser("Ann", "4294967295");
    std::string message;
    ASSERT_TRUE(foundation::addNotifier("libgridlink.so", message));
    auto aide = platform::Library::load(binPath("libInstaide.so"));
    auto cm = platform::Library::load(binPath("libCondMgr.so"));
    ASSERT_TRUE(aide && cm);
    char buffer[8] = {};
    int16_t small = 3;
    EXPECT_EQ(aide->function<decltype(&PltGetUser)>("PltGetUser")(0, buffer, &small), kPalmBufferTooSmall);
    EXPECT_EQ(small, 4);
    int16_t size16 = sizeof buffer;
    EXPECT_EQ(aide->function<decltype(&PltGetUser)>("PltGetUser")(1, buffer, &size16), kPalmNotFound);
    int32_t size = sizeof buffer;
    EXPECT_EQ(aide->function<decltype(&PltGetUserDirectory)>("PltGetUserDirectory")("ann", buffer, &size),
              kPalmNotFound);
    uint32_t id = 0;
    EXPECT_EQ(aide->function<decltype(&PlmGetUserIDFromName)>("PlmGetUserIDFromName")("Ann", &id), kPalmOk);
    EXPECT_EQ(id, 4294967295u);

    size = sizeof buffer;
    EXPECT_EQ(cm->function<decltype(&CmGetNotifierDll)>("CmGetNotifierDll")(0, buffer, &size),
              kPalmBufferTooSmall);
    EXPECT_EQ(size, 15);
    EXPECT_EQ(cm->function<decltype(&CmSetNotifierDll)>("CmSetNotifierDll")(0, "libother.so"), kPalmOk);
    EXPECT_EQ(foundation::readNotifiers(), std::vector<std::string>{"libother.so"});
    size = sizeof buffer;
    EXPECT_EQ(cm->function<decltype(&CmGetCreatorIDList)>("CmGetCreatorIDList")(buffer, &size), kPalmOk);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(cm->function<decltype(&CmRemoveConduitByName)>("CmRemoveConduitByName")("any"), kPalmNotFound);
}

TEST_F(PalmStandIns, ManagerRunsUntilItIsAskedToShutDown) {
    ProcessResult result;
    // Started without a command, as the installer starts it again.
    std::thread manager([&] { result = hotsync({}); });
    bool seen = false;
    for (int i = 0; i < 500 && !seen; ++i) {
        seen = platform::shell::windowExists("KittyHawk");
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(seen);
    // Another message, or the shut-down message with another parameter, is ignored.
    platform::shell::postMessage("KittyHawk", 0xBEC5, 0, 0);
    platform::shell::postMessage("KittyHawk", 0x0400, 1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(platform::shell::windowExists("KittyHawk"));
    platform::shell::postMessage("KittyHawk", 0xBEC5, 1, 0);
    manager.join();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(platform::shell::windowExists("KittyHawk"));
}

}  // namespace
