// Loading libgridlink into a process the way its hosts do (through the
// platform loader, attach step and all), each load in a fresh child process.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
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
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        auto lib = platform::Library::load(testsupport::buildDir() + "/lib/libgridlink.so");
        _exit(lib ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    LoadResult r;
    r.loaded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
    platform::registry::deleteValue(platform::registry::Root::CurrentUser, {"Software", "Brightfold", "Tabulo"},
                                    "Path");
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
    testsupport::writeFile(box.registryFile(), std::string("1\r\n[Ann]\r\nenabled=00\r\nB=0,0,0,0,0,0?/x/B.xls\r\n"));
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
