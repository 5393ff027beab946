// The fault seam: counting, running out, and arming from the environment.
#include "platform/faults.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/registry.h"
#include "support/process.h"
#include "support/test_support.h"

namespace faults = platform::faults;

TEST(Faults, SkipThenFailTimes) {
    faults::arm(faults::Op::Open, EMFILE, 2, 3);
    std::vector<bool> fails;
    for (int i = 0; i < 7; ++i) {
        errno = 0;
        bool failed = faults::shouldFail(faults::Op::Open);
        fails.push_back(failed);
        if (failed) {
            EXPECT_EQ(errno, EMFILE);
        }
    }
    EXPECT_EQ(fails, (std::vector<bool>{false, false, true, true, true, false, false}));
    EXPECT_FALSE(faults::shouldFail(faults::Op::Read));  // other operations are untouched

    faults::arm(faults::Op::Lock, EAGAIN);
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(faults::shouldFail(faults::Op::Lock));
    faults::disarm(faults::Op::Lock);
    EXPECT_FALSE(faults::shouldFail(faults::Op::Lock));
    faults::arm(faults::Op::Write, ENOSPC);
    faults::arm(faults::Op::Rename, EXDEV);
    faults::disarmAll();
    EXPECT_FALSE(faults::shouldFail(faults::Op::Write));
    EXPECT_FALSE(faults::shouldFail(faults::Op::Rename));
}

TEST(Faults, ArmedLockIsHeldElsewhereOnlyForTheConflictErrors) {
    using Result = platform::File::LockResult;
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("sync.dat"), "1234");
    std::optional<platform::File> f =
        platform::File::open(dir.file("sync.dat"), platform::File::Mode::ReadWrite);
    ASSERT_TRUE(f);
    const std::pair<int, Result> cases[] = {
        {EAGAIN, Result::HeldElsewhere}, {EACCES, Result::HeldElsewhere}, {ENOLCK, Result::Failed},
        {EINVAL, Result::Failed},        {EBADF, Result::Failed},
    };
    for (const auto& [error, expected] : cases) {
        faults::arm(faults::Op::Lock, error, 0, 1);
        EXPECT_EQ(f->lockRange(0, 1), expected) << error;
        EXPECT_EQ(platform::lastError(), error);
        EXPECT_EQ(f->lockRange(0, 1), Result::Taken) << error;
        // LockFile refuses a range its own handle holds already (POSIX merges).
        EXPECT_TRUE(f->unlockRange(0, 1)) << error;
    }
    faults::disarmAll();
}

TEST(Faults, FromEnvironmentChild) {
    TESTSUPPORT_CHILD_ONLY();
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("a"), "x");
    // open:ENOENT:1:1 -> the second open fails once.
    EXPECT_TRUE(platform::File::open(dir.file("a"), platform::File::Mode::Read));
    int error = 0;
    EXPECT_FALSE(platform::File::open(dir.file("a"), platform::File::Mode::Read, &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_TRUE(platform::File::open(dir.file("a"), platform::File::Mode::Read));
    // registry:13 -> every registry call fails.
    testsupport::ScopedHive hive(dir.file("hive.reg"));
    EXPECT_EQ(platform::registry::createKey(platform::registry::Root::CurrentUser, {"Software"}),
              platform::registry::kCantWrite);
    // Entries with bad fields ("bogus", "read:zz", too many fields) are ignored.
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(platform::readWholeFile(dir.file("a"), bytes));
    std::vector<platform::DirEntry> entries;
    EXPECT_TRUE(platform::listDirectory(dir.path(), entries));
}

TEST(Faults, FromEnvironment) {
    if (testsupport::inChild()) GTEST_SKIP();
    EXPECT_EQ(testsupport::runTestInChild(
                  "Faults.FromEnvironmentChild",
                  {{"BRIGHTFOLD_FAULTS", "bogus:5,open:ENOENT:1:1,read:zz,listdir:13:0:1:9,REGISTRY:13"}}),
              0);
}
