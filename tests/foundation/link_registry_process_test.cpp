// Two processes sharing TBRegistry.dat under the lock on sync.dat: real
// processes (fork), a lock holder that crashes, a writer killed mid-save.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "foundation/link_registry.h"
#include "support/sandbox.h"

using foundation::LinkRegistry;

namespace {

using Clock = std::chrono::steady_clock;

LinkRegistry makeRegistry() { return LinkRegistry(foundation::Product{"Tabulo"}, "TBRegistry.dat"); }

// Forks a child that runs body and exits with its result; the parent gets
// the child's pid. The child writes one byte to the pipe when it is ready.
pid_t forkChild(int readyPipe[2], const std::function<int(int readyFd)>& body) {
    if (pipe(readyPipe) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(readyPipe[0]);
        _exit(body(readyPipe[1]));
    }
    close(readyPipe[1]);
    return pid;
}

void waitReady(int fd) {
    char c;
    ASSERT_EQ(read(fd, &c, 1), 1);
    close(fd);
}

std::string fileText(const std::string& path) {
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(LinkRegistryProcesses, SecondRefreshWaitsForTheFirstToUnlock) {
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    int ready[2];
    pid_t holder = forkChild(ready, [](int fd) {
        LinkRegistry registry = makeRegistry();
        if (registry.LockSyncFile(foundation::kLockModeHotSync) < 0) return 1;
        if (write(fd, "x", 1) != 1) return 2;
        usleep(2500 * 1000);
        registry.UnlockSyncFile();
        return 0;
    });
    ASSERT_GT(holder, 0);
    waitReady(ready[0]);

    LinkRegistry registry = makeRegistry();
    auto start = Clock::now();
    // The previous mode is the holder's: the refresh ran after it, not beside it.
    EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No),
              foundation::kLockModeHotSync);
    double waited = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(waited, 2.0);
    int status = 0;
    waitpid(holder, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(LinkRegistryProcesses, CrashOfTheLockHolderReleasesTheLock) {
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    int ready[2];
    pid_t holder = forkChild(ready, [](int fd) {
        LinkRegistry registry = makeRegistry();
        if (registry.LockSyncFile(foundation::kLockModeHotSync) < 0) return 1;
        if (write(fd, "x", 1) != 1) return 2;
        for (;;) pause();
    });
    ASSERT_GT(holder, 0);
    waitReady(ready[0]);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);

    LinkRegistry registry = makeRegistry();
    EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No),
              foundation::kLockModeHotSync);
}

TEST(LinkRegistryProcesses, WriterKilledDuringSaveLeavesAWholeFile) {
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    box.addUser("Bo", "202");
    // A registry large enough that a save takes a while.
    std::string text = "0\n";
    for (const char* user : {"Ann", "Bo"}) {
        text += std::string("[") + user + "]\nenabled=10\n";
        for (int i = 0; i < 3000; ++i)
            text += "Book" + std::to_string(10000 + i) + "=0,1,-1,0,0,-1?/data/sheets/Book" +
                    std::to_string(i) + ".xls\n";
    }
    {
        LinkRegistry seed = makeRegistry();
        testsupport::writeFile(box.registryFile(), text);
        ASSERT_EQ(seed.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
        seed.highResolution = 0;
        ASSERT_GE(seed.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::Yes),
                  0);  // now CR LF on disk
    }
    std::string withZero = fileText(box.registryFile());
    std::string withOne = "1" + withZero.substr(1);

    std::mt19937 rng(42);
    for (int round = 0; round < 12; ++round) {
        int ready[2];
        pid_t writer = forkChild(ready, [](int fd) {
            LinkRegistry registry = makeRegistry();
            if (registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No) < 0)
                return 1;
            if (write(fd, "x", 1) != 1) return 2;
            for (int flip = 0;; flip ^= 1) {
                registry.highResolution = flip;  // alternate between the two whole files
                registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::Yes);
            }
        });
        ASSERT_GT(writer, 0);
        waitReady(ready[0]);
        usleep(useconds_t(rng() % 40000));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
        std::string now = fileText(box.registryFile());
        ASSERT_TRUE(now == withZero || now == withOne) << "round " << round << ": " << now.size() << " bytes";
    }
}
