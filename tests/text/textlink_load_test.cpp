// Loading libtextlink into a process the way its hosts do, each load in a
// fresh child process with standard error captured (the headless backend
// writes message boxes there).
#include <dlfcn.h>

#include <filesystem>

#include "foundation/sync_lock.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "support/sandbox.h"
#include "textlink.h"
#include "textlink_testing.h"

namespace fs = std::filesystem;

namespace {

const char* kNotInstalled = "Error: Quillo is not installed properly\n";

// 0 when the platform loader accepted the library, 1 when it refused.
int loadOnce() {
    auto lib = platform::Library::load(textlinktest::textlinkPath());
    return lib ? 0 : 1;
}

}  // namespace

TEST(TextlinkLoad, MissingSyncDatIsCreatedHoldingMode2) {
    testsupport::Sandbox box("Quillo", /*withSyncFile=*/false);
    box.addUser("Jo", "1");
    auto r = textlinktest::runInChild(box.dir, loadOnce);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.stderrText, "");
    EXPECT_TRUE(testsupport::sameBytes({2, 0, 0, 0}, testsupport::readFile(box.productFolder + "/sync.dat")));
    // Nothing was written to the registry file at load or unload.
    EXPECT_FALSE(fs::exists(box.registryFile()));
}

TEST(TextlinkLoad, UnloadWritesNothing) {
    testsupport::Sandbox box("Quillo");
    box.addUser("Jo", "1");
    std::string content = "[Jo]\r\nA.pdb=1,2,3,4,5,/a\r\n\r\nB=7\r\n";
    testsupport::writeFile(box.registryFile(), content);
    auto r = textlinktest::runInChild(box.dir, loadOnce);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(textlinktest::textOf(box.registryFile()), content);
}

TEST(TextlinkLoad, RefusedWithoutProductFolder) {
    testsupport::Sandbox box("Quillo");
    box.addUser("Jo", "1");
    platform::registry::deleteValue(platform::registry::Root::CurrentUser,
                                    {"Software", "Brightfold", "Quillo"}, "Path");
    auto r = textlinktest::runInChild(box.dir, loadOnce);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.stderrText, kNotInstalled);
}

TEST(TextlinkLoad, RefusedWithoutUser) {
    testsupport::Sandbox box("Quillo");
    auto r = textlinktest::runInChild(box.dir, loadOnce);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.stderrText, kNotInstalled);
}

TEST(TextlinkLoad, SyncDatThatCannotBeOpenedIsRetriedABoundedNumberOfTimes) {
    testsupport::Sandbox box("Quillo", /*withSyncFile=*/false);
    box.addUser("Jo", "1");
    auto r = textlinktest::runInChild(box.dir, [] {
        setenv("BRIGHTFOLD_FAULTS", "open:EACCES", 1);
        return loadOnce();
    });
    EXPECT_EQ(r.exitCode, 1);
    std::string expected;
    for (int i = 0; i < foundation::kSyncOpenAttempts; ++i)
        expected += "Export: CreateFile failed, 13, 8007000d\\n\n";
    expected += kNotInstalled;
    EXPECT_EQ(r.stderrText, expected);
}

TEST(TextlinkLoad, PlainDlopenKeepsARefusingLibraryForErrorTexts) {
    testsupport::Sandbox box("Quillo");  // no user: the attach step refuses
    auto r = textlinktest::runInChild(box.dir, [] {
        void* handle = dlopen(textlinktest::textlinkPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return 10;
        auto getErrorText = reinterpret_cast<int16_t(WINAPI*)(TextRecord*)>(dlsym(handle, "GetErrorText"));
        auto exportFromCommandLine = reinterpret_cast<int16_t(WINAPI*)(CommandLineExportRecord*)>(
            dlsym(handle, "ExportFromCommandLine"));
        if (!getErrorText || !exportFromCommandLine) return 11;
        TextRecord text{};
        text.number = -16;
        getErrorText(&text);
        if (platform::byteStringView(text.text) != "Operation cancelled.") return 12;
        platform::clearByteString(text.text);
        CommandLineExportRecord record{"Jo", "/tmp/none.txt"};
        if (exportFromCommandLine(&record) != BF_ERR_PARAMETER) return 13;
        dlclose(handle);
        return 0;
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.stderrText, kNotInstalled);
}

TEST(TextlinkLoad, ForeignHostsEndCleanlyWithOrWithoutUnloading) {
    testsupport::Sandbox box("Quillo");
    box.addUser("Jo", "1");
    testsupport::expectHostsEndCleanly(textlinktest::textlinkPath());
}

// The attach step runs out of memory reading a registry file larger than the
// process may still map: the load is refused with the message (a plain
// dlopen host keeps a library whose ExportFromCommandLine answers -1), and
// the lock on sync.dat is free again.
TEST(TextlinkLoad, OutOfMemoryWhileAttachingRefusesTheLoad) {
    if (testsupport::addressSanitizerBuild()) GTEST_SKIP() << "ASan ends the process at a failed allocation";
    testsupport::Sandbox box("Quillo");
    box.addUser("Jo", "1");
    testsupport::writeFile(box.registryFile(), std::string());
    fs::resize_file(box.registryFile(), 1ull << 30);  // sparse
    const std::string syncPath = box.productFolder + "/sync.dat";
    auto r = textlinktest::runInChild(box.dir, [&] {
        if (!testsupport::limitAddressSpaceGrowth(64u << 20)) return 10;
        void* handle = dlopen(textlinktest::textlinkPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return 11;
        auto exportFromCommandLine = reinterpret_cast<int16_t(WINAPI*)(CommandLineExportRecord*)>(
            dlsym(handle, "ExportFromCommandLine"));
        CommandLineExportRecord record{"Jo", "/tmp/none.txt"};
        if (!exportFromCommandLine || exportFromCommandLine(&record) != BF_ERR_PARAMETER) return 12;
        auto sync = platform::File::open(syncPath, platform::File::Mode::ReadWrite);
        return sync && sync->tryLockRange(0, 1) ? 0 : 13;
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.stderrText, kNotInstalled);
}
