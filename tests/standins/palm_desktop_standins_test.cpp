// The Palm Desktop stand-ins: the Conduit Manager and install aide modules'
// answers off the everyday path (the installer's tests drive that one, and
// its end-to-end test the hotsync program's desktop, manager, messages and
// notifier search).
#include "addin_testing.h"
#include "foundation/hotsync_users.h"
#include "palm-desktop/palm_modules.h"
#include "platform/library.h"

namespace {

std::string binPath(const char* name) { return testsupport::buildDir() + "/bin/" + name; }

class PalmStandIns : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedHive hive{dir.file("registry.reg")};

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

}  // namespace
