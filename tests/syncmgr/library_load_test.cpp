// Loading libgridlink into a process the way its hosts do (through the
// platform loader, attach step and all), each load in a fresh child process.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "gridlink.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "support/process.h"
#include "support/sandbox.h"

namespace {

struct LoadResult {
    bool loaded = false;
    std::string stderrText;
};

// Loads the library in a child process whose standard error goes to a file.
LoadResult loadInChild(const testsupport::TempDir& dir) {
    std::string errPath = dir.file("stderr.txt");
    LoadResult r;
    r.loaded = testsupport::runInChild(errPath, []() -> int {
                   // Ends with the library still loaded, as a host that exits does.
                   auto lib = platform::Library::load(testsupport::buildDir() + "/lib/libgridlink.so");
                   _exit(lib ? 0 : 1);
               }) == 0;
    auto bytes = testsupport::readFile(errPath);
    r.stderrText.assign(bytes.begin(), bytes.end());
    return r;
}

const char* kMessage = "Error: Tabulo is not installed properly\n";

}  // namespace

TEST(GridlinkLoad, RefusedWithoutSyncDat) {
    testsupport::Sandbox box("Tabulo", /*withSyncFile=*/false);
    box.addUser("Ann", "101");
    LoadResult r = loadInChild(box.dir);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.stderrText, kMessage);
    // The library creates no sync.dat of its own.
    EXPECT_FALSE(std::filesystem::exists(box.productFolder + "/sync.dat"));
}

TEST(GridlinkLoad, RefusedWithoutProductFolder) {
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    platform::registry::deleteValue(platform::registry::Root::CurrentUser,
                                    {"Software", "Brightfold", "Tabulo"}, "Path");
    LoadResult r = loadInChild(box.dir);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.stderrText, kMessage);
}

TEST(GridlinkLoad, RefusedWithoutUser) {
    testsupport::Sandbox box;
    LoadResult r = loadInChild(box.dir);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.stderrText, kMessage);
}

TEST(GridlinkLoad, LoadsWhenInstalledAndWritesNothingOnUnload) {
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    testsupport::writeFile(box.registryFile(),
                           std::string("1\r\n[Ann]\r\nenabled=00\r\nB=0,0,0,0,0,0?/x/B.xls\r\n"));
    auto before = testsupport::readFile(box.registryFile());
    LoadResult r = loadInChild(box.dir);
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.stderrText, "");
    EXPECT_TRUE(testsupport::sameBytes(before, testsupport::readFile(box.registryFile())));
    // The desktop mode was recorded in sync.dat by both attach and detach.
    auto sync = testsupport::readFile(box.productFolder + "/sync.dat");
    ASSERT_EQ(sync.size(), 4u);
    EXPECT_EQ(sync[0], 2);
}

TEST(GridlinkLoad, ForeignHostsEndCleanlyWithOrWithoutUnloading) {
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    testsupport::expectHostsEndCleanly(testsupport::buildDir() + "/lib/libgridlink.so");
}

// The attach step runs out of memory reading a link registry file larger
// than the process may still map: the load is refused with the message (a
// plain dlopen host keeps a library whose record calls answer -1), and the
// lock on sync.dat is free again.
TEST(GridlinkLoad, OutOfMemoryWhileAttachingRefusesTheLoad) {
    if (testsupport::addressSanitizerBuild()) GTEST_SKIP() << "ASan ends the process at a failed allocation";
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    testsupport::writeFile(box.registryFile(), std::string());
    std::filesystem::resize_file(box.registryFile(), 1ull << 30);  // sparse
    const std::string syncPath = box.productFolder + "/sync.dat";
    int rc = testsupport::runInChild(box.dir.file("stderr.txt"), [&] {
        if (!testsupport::limitAddressSpaceGrowth(64u << 20)) return 10;
        void* handle =
            dlopen((testsupport::buildDir() + "/lib/libgridlink.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return 11;
        auto verifyAllFileExport =
            reinterpret_cast<int16_t(WINAPI*)(TextRecord*)>(dlsym(handle, "VerifyAllFileExport"));
        TextRecord list{};
        if (!verifyAllFileExport || verifyAllFileExport(&list) != BF_ERR_PARAMETER) return 12;
        auto sync = platform::File::open(syncPath, platform::File::Mode::ReadWrite);
        return sync && sync->tryLockRange(0, 1) ? 0 : 13;
    });
    EXPECT_EQ(rc, 0);
    auto err = testsupport::readFile(box.dir.file("stderr.txt"));
    EXPECT_EQ(std::string(err.begin(), err.end()), kMessage);
}
