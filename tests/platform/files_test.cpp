// Files, byte-range locks, folder listings, copies and atomic replacement.
#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/faults.h"
#include "support/test_support.h"

using platform::File;
using testsupport::TempDir;
namespace faults = platform::faults;

namespace {

std::map<std::string, platform::DirEntry> listing(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    EXPECT_TRUE(platform::listDirectory(folder, entries));
    std::map<std::string, platform::DirEntry> byName;
    for (auto& e : entries) byName[e.name] = e;
    return byName;
}

void setModified(const std::string& path, time_t seconds, long nanoseconds) {
    timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A child that takes byte 0 of the file, tells the parent, then waits to be killed.
pid_t childHoldingLock(const std::string& path) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        std::optional<File> f = File::open(path, File::Mode::ReadWrite);
        char ok = f && f->tryLockRange(0, 1) ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(3);
        for (;;) pause();
    }
    close(ready[1]);
    char answer = 0;
    if (read(ready[0], &answer, 1) != 1 || answer != 'y') {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    close(ready[0]);
    return pid;
}

// Exit status of a child that tries once to lock byte 0: 0 taken, 1 refused.
int childTriesLock(const std::string& path) {
    pid_t pid = fork();
    if (pid == 0) {
        std::optional<File> f = File::open(path, File::Mode::ReadWrite);
        if (!f) _exit(2);
        _exit(f->tryLockRange(0, 1) ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Files : public ::testing::Test {
protected:
    TempDir dir;
    void TearDown() override { faults::disarmAll(); }
};

}  // namespace

TEST(Paths, JoinAndAbsolute) {
    EXPECT_EQ(platform::joinPath("/a/b", "c.txt"), "/a/b/c.txt");
    EXPECT_EQ(platform::joinPath("/a/b/", "c.txt"), "/a/b/c.txt");
    EXPECT_EQ(platform::joinPath("", "c.txt"), "c.txt");
    EXPECT_EQ(platform::joinPath("/", "etc"), "/etc");
    EXPECT_TRUE(platform::isAbsolutePath("/x"));
    EXPECT_FALSE(platform::isAbsolutePath("x/y"));
    EXPECT_FALSE(platform::isAbsolutePath(""));
    EXPECT_FALSE(platform::isAbsolutePath("C:\\x"));
}

// Either separator ends the folder part, whatever the OS.
TEST(Paths, FileNamePart) {
    const struct {
        std::string_view path, name;
    } cases[] = {
        {"C:\\Sheets\\Budget.xls", "Budget.xls"},
        {"/a/b/c.xls", "c.xls"},
        {"plain", "plain"},
        {"a/b\\c", "c"},
        {"dir/", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::fileNamePart(c.path), c.name) << c.path;
        EXPECT_EQ(platform::fileNameStart(c.path), c.path.size() - c.name.size()) << c.path;
    }
}

TEST_F(Files, OpenModes) {
    const std::string path = dir.file("f.bin");
    int error = 0;
    EXPECT_FALSE(File::open(path, File::Mode::Read, &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(platform::lastError(), ENOENT);
    EXPECT_FALSE(File::open(path, File::Mode::ReadWrite));
    {
        std::optional<File> f = File::open(path, File::Mode::ReadWriteCreate);
        ASSERT_TRUE(f);
        ASSERT_TRUE(f->write("hello world", 11));
        EXPECT_EQ(f->size(), 11);
        ASSERT_TRUE(f->seek(6));
        char buffer[16] = {};
        EXPECT_EQ(f->read(buffer, sizeof buffer), 5);
        EXPECT_EQ(std::string(buffer), "world");
        EXPECT_EQ(f->read(buffer, sizeof buffer), 0);
        EXPECT_TRUE(f->flush());
    }
    {
        std::optional<File> f = File::open(path, File::Mode::ReadWriteCreate);  // not emptied
        ASSERT_TRUE(f);
        EXPECT_EQ(f->size(), 11);
        File moved = std::move(*f);
        EXPECT_FALSE(f->isOpen());
        EXPECT_TRUE(moved.isOpen());
    }
    {
        std::optional<File> f = File::open(path, File::Mode::Read);
        ASSERT_TRUE(f);
        EXPECT_FALSE(f->write("x", 1));  // read only
    }
    {
        std::optional<File> f = File::open(path, File::Mode::CreateTruncate);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->size(), 0);
    }
    EXPECT_FALSE(File::open(dir.path(), File::Mode::Read, &error));  // a folder is not a file
    EXPECT_EQ(error, EISDIR);
}

TEST_F(Files, LocksExcludeOtherOpensAndProcesses) {
    const std::string path = dir.file("sync.dat");
    testsupport::writeFile(path, std::string_view("\0\0\0\0", 4));
    std::optional<File> first = File::open(path, File::Mode::ReadWrite);
    std::optional<File> second = File::open(path, File::Mode::ReadWrite);
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(first->tryLockRange(0, 1));
    EXPECT_EQ(second->lockRange(0, 1), File::LockResult::HeldElsewhere);  // same process, other open
    EXPECT_TRUE(second->tryLockRange(1, 3));                              // another range is free
    EXPECT_EQ(childTriesLock(path), 1);                                   // another process
    EXPECT_TRUE(first->unlockRange(0, 1));
    EXPECT_EQ(childTriesLock(path), 0);
    EXPECT_TRUE(second->tryLockRange(0, 1));
    second->close();  // closing releases every lock of that open
    EXPECT_TRUE(first->tryLockRange(0, 4));
    EXPECT_EQ(first->lockRange(0, 0), File::LockResult::Failed);  // an empty range is no lock
}

TEST_F(Files, LockDiesWithItsProcess) {
    const std::string path = dir.file("sync.dat");
    testsupport::writeFile(path, std::string_view("\2\0\0\0", 4));
    pid_t holder = childHoldingLock(path);
    ASSERT_GT(holder, 0);
    std::optional<File> f = File::open(path, File::Mode::ReadWrite);
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->tryLockRange(0, 1));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(f->tryLockRange(0, 1));
}

TEST_F(Files, ListingAttributes) {
    testsupport::writeFile(dir.file("plain.pdb"), "12345");
    testsupport::writeFile(dir.file(".hidden"), "");
    dir.makeDir("folder");
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("plain.pdb", dir.file("link-to-file").c_str()), 0);
    ASSERT_EQ(symlink("folder", dir.file("link-to-folder").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", dir.file("dangling").c_str()), 0);
    setModified(dir.file("plain.pdb"), 1000000000, 123456789);

    auto byName = listing(dir.path());
    ASSERT_EQ(byName.size(), 7u);
    const auto& plain = byName["plain.pdb"];
    EXPECT_FALSE(plain.directory || plain.hidden || plain.system);
    EXPECT_EQ(plain.size, 5u);
    EXPECT_EQ(plain.lastWrite, (1000000000ull + 11644473600ull) * 10000000ull + 1234567ull);
    EXPECT_TRUE(byName[".hidden"].hidden);
    EXPECT_FALSE(byName[".hidden"].system);
    EXPECT_TRUE(byName["folder"].directory);
    EXPECT_FALSE(byName["folder"].system);
    EXPECT_TRUE(byName["pipe"].system);
    EXPECT_FALSE(byName["link-to-file"].system || byName["link-to-file"].directory);
    EXPECT_EQ(byName["link-to-file"].size, 5u);
    EXPECT_TRUE(byName["link-to-folder"].directory);
    EXPECT_TRUE(byName["dangling"].system);
    EXPECT_TRUE(platform::fileExists(dir.file("dangling")));
    EXPECT_FALSE(platform::isRegularFile(dir.file("dangling")));
    EXPECT_TRUE(platform::isDirectory(dir.file("link-to-folder")));

    std::vector<platform::DirEntry> none;
    EXPECT_FALSE(platform::listDirectory(dir.file("missing"), none));
    EXPECT_EQ(platform::lastError(), ENOENT);
    faults::arm(faults::Op::ListDir, EACCES);
    EXPECT_FALSE(platform::listDirectory(dir.path(), none));
    EXPECT_EQ(platform::lastError(), EACCES);
}

TEST_F(Files, FileTimes) {
    const std::string path = dir.file("t");
    testsupport::writeFile(path, "x");
    setModified(path, 0, 0);
    EXPECT_EQ(platform::lastWriteTime(path), 116444736000000000ull);
    setModified(path, 1700000000, 999999999);
    EXPECT_EQ(platform::lastWriteTime(path), (1700000000ull + 11644473600ull) * 10000000ull + 9999999ull);
    std::optional<File> f = File::open(path, File::Mode::Read);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->lastWriteTime(), *platform::lastWriteTime(path));
    EXPECT_FALSE(platform::lastWriteTime(dir.file("missing")));
}

TEST_F(Files, CopyKeepsTimeAndHonoursFailIfExists) {
    const std::string from = dir.file("from.xls");
    const std::string to = dir.file("to.xls");
    testsupport::writeFile(from, std::string(200000, 'q') + "end");
    ASSERT_EQ(chmod(from.c_str(), 0750), 0);
    setModified(from, 1234567890, 500);
    ASSERT_TRUE(platform::copyFile(from, to, true));
    EXPECT_TRUE(testsupport::sameBytes(testsupport::readFile(from), testsupport::readFile(to)));
    EXPECT_EQ(platform::lastWriteTime(to), platform::lastWriteTime(from));
    struct stat st {};
    ASSERT_EQ(stat(to.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);

    testsupport::writeFile(from, "newer");
    EXPECT_FALSE(platform::copyFile(from, to, true));
    EXPECT_EQ(platform::lastError(), EEXIST);
    EXPECT_EQ(testsupport::readFile(to).size(), 200003u);
    ASSERT_TRUE(platform::copyFile(from, to, false));
    EXPECT_TRUE(testsupport::sameBytes(testsupport::bytesOf("newer"), testsupport::readFile(to)));

    EXPECT_FALSE(platform::copyFile(dir.file("missing"), dir.file("x"), false));
    EXPECT_FALSE(platform::copyFile(dir.path(), dir.file("x"), false));  // a folder
    faults::arm(faults::Op::Copy, ENOSPC);
    EXPECT_FALSE(platform::copyFile(from, dir.file("y"), false));
    EXPECT_EQ(platform::lastError(), ENOSPC);
    faults::disarmAll();
    EXPECT_EQ(listing(dir.path()).size(), 2u);  // no temporary file left behind
}

TEST_F(Files, AtomicWriteKeepsTheOldFileOnFailure) {
    const std::string path = dir.file("TBRegistry.dat");
    ASSERT_TRUE(platform::writeFileAtomically(path, "old\r\n", 5));
    for (faults::Op op : {faults::Op::Write, faults::Op::Rename, faults::Op::Open}) {
        faults::arm(op, ENOSPC);
        EXPECT_FALSE(platform::writeFileAtomically(path, "new contents\r\n", 14));
        EXPECT_EQ(platform::lastError(), ENOSPC);
        faults::disarmAll();
        EXPECT_TRUE(testsupport::sameBytes(testsupport::bytesOf("old\r\n"), testsupport::readFile(path)));
        EXPECT_EQ(listing(dir.path()).size(), 1u) << "temporary file left";
    }
    ASSERT_TRUE(platform::writeFileAtomically(path, "new\r\n", 5));
    EXPECT_TRUE(testsupport::sameBytes(testsupport::bytesOf("new\r\n"), testsupport::readFile(path)));
    EXPECT_EQ(listing(dir.path()).size(), 1u);
    EXPECT_FALSE(platform::writeFileAtomically(dir.file("no/such/folder"), "x", 1));
    const std::string longName = dir.file(std::string(250, 'n'));  // the temporary name is shortened
    ASSERT_TRUE(platform::writeFileAtomically(longName, "long", 4));
    EXPECT_TRUE(platform::copyFile(longName, dir.file(std::string(255, 'c')), true));
    EXPECT_EQ(listing(dir.path()).size(), 3u);
}

TEST_F(Files, StreamedReplacementCommitsWholeOrLeavesTheOldFile) {
    const std::string path = dir.file("notes.txt");
    testsupport::writeFile(path, "old text");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const auto contentIs = [&](const char* text) {
        return testsupport::sameBytes(testsupport::bytesOf(text), testsupport::readFile(path));
    };
    {
        std::optional<platform::FileReplacement> out = platform::FileReplacement::begin(path);
        ASSERT_TRUE(out);
        faults::arm(faults::Op::Write, ENOSPC, 2);
        EXPECT_TRUE(out->write("one ", 4));
        EXPECT_TRUE(out->write("two ", 4));
        EXPECT_FALSE(out->write("three", 5));
        EXPECT_EQ(platform::lastError(), ENOSPC);
        faults::disarmAll();
        EXPECT_EQ(listing(dir.path()).size(), 2u);  // the temporary file beside the target
    }                                               // not committed: abandoned
    EXPECT_TRUE(contentIs("old text"));
    EXPECT_EQ(listing(dir.path()).size(), 1u) << "temporary file left";

    std::optional<platform::FileReplacement> out = platform::FileReplacement::begin(path);
    ASSERT_TRUE(out && out->write("new ", 4) && out->write("text", 4));
    EXPECT_TRUE(contentIs("old text"));  // nothing replaced before the commit
    EXPECT_TRUE(out->commit());
    EXPECT_TRUE(contentIs("new text"));
    EXPECT_EQ(listing(dir.path()).size(), 1u);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the replacement keeps the old file's permissions";
}

TEST_F(Files, WholeFilesAndFolderCalls) {
    std::vector<uint8_t> bytes{1, 2, 3};
    EXPECT_FALSE(platform::readWholeFile(dir.file("missing"), bytes));
    EXPECT_TRUE(bytes.empty());
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7);
    testsupport::writeFile(dir.file("big"), big);
    ASSERT_TRUE(platform::readWholeFile(dir.file("big"), bytes));
    EXPECT_TRUE(testsupport::sameBytes(testsupport::bytesOf(big), bytes));
    faults::arm(faults::Op::Read, EIO);
    EXPECT_FALSE(platform::readWholeFile(dir.file("big"), bytes));
    faults::disarmAll();

    ASSERT_TRUE(platform::createDirectory(dir.file("sub")));
    EXPECT_FALSE(platform::createDirectory(dir.file("sub")));
    EXPECT_EQ(platform::lastError(), EEXIST);
    ASSERT_TRUE(platform::renameFile(dir.file("big"), dir.file("sub/big")));
    EXPECT_FALSE(platform::removeDirectory(dir.file("sub")));  // not empty
    faults::arm(faults::Op::Delete, EBUSY, 0, 1);
    EXPECT_FALSE(platform::deleteFile(dir.file("sub/big")));
    EXPECT_EQ(platform::lastError(), EBUSY);
    EXPECT_TRUE(platform::deleteFile(dir.file("sub/big")));  // the fault was for one call
    EXPECT_TRUE(platform::removeDirectory(dir.file("sub")));
    EXPECT_FALSE(platform::deleteFile(dir.file("sub")));
    EXPECT_FALSE(platform::errorText(ENOENT).empty());
    EXPECT_NE(platform::errorText(ENOENT), platform::errorText(EACCES));
}

TEST_F(Files, CurrentDirectory) {
    const std::string before = platform::currentDirectory();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(platform::setCurrentDirectory(dir.path()));
    char real[4096];
    ASSERT_TRUE(realpath(dir.path().c_str(), real));
    EXPECT_EQ(platform::currentDirectory(), std::string(real));
    EXPECT_FALSE(platform::setCurrentDirectory(dir.file("missing")));
    ASSERT_TRUE(platform::setCurrentDirectory(before));
}
