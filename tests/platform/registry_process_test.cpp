// Several processes sharing one hive: no write is lost, and a writer killed
// at any moment leaves the old hive or the new one, never a broken one.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/hive_file.h"
#include "platform/registry.h"
#include "support/test_support.h"

namespace reg = platform::registry;
using reg::Root;

namespace {

const reg::KeyPath kShared{"Software", "Shared"};

// Child body: sets `count` values named prefix + i, one call each.
[[noreturn]] void writeValues(const std::string& prefix, int count) {
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        reg::Value v{reg::Value::Type::String, prefix + "-value-" + std::to_string(i), 0};
        if (reg::setValue(Root::CurrentUser, kShared, prefix + std::to_string(i), v) != reg::kSuccess)
            ++failures;
    }
    _exit(failures == 0 ? 0 : 1);
}

int waitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string fileText(const std::string& path) {
    std::vector<uint8_t> bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(RegistryProcesses, ParallelWritersLoseNothing) {
    testsupport::TempDir dir;
    testsupport::ScopedHive hive(dir.file("registry.reg"));
    ASSERT_EQ(reg::createKey(Root::CurrentUser, kShared), reg::kSuccess);
    constexpr int kCount = 120;
    pid_t a = fork();
    ASSERT_GE(a, 0);
    if (a == 0) writeValues("A", kCount);
    pid_t b = fork();
    ASSERT_GE(b, 0);
    if (b == 0) writeValues("B", kCount);
    EXPECT_EQ(waitFor(a), 0);
    EXPECT_EQ(waitFor(b), 0);
    for (const char* prefix : {"A", "B"}) {
        for (int i = 0; i < kCount; ++i) {
            reg::Value v;
            ASSERT_EQ(reg::queryValue(Root::CurrentUser, kShared, prefix + std::to_string(i), v),
                      reg::kSuccess)
                << prefix << i;
            EXPECT_EQ(v.text, prefix + std::string("-value-") + std::to_string(i));
        }
    }
}

TEST(RegistryProcesses, KilledWriterLeavesAWholeHive) {
    testsupport::TempDir dir;
    testsupport::ScopedHive hive(dir.file("registry.reg"));
    std::mt19937 random(12345);
    const reg::KeyPath items{"Software", "Items"};
    ASSERT_EQ(reg::createKey(Root::CurrentUser, items), reg::kSuccess);
    int nextItem = 0;  // items below this one are known to exist

    for (int round = 0; round < 25; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Each step creates one key, then records its number: a hive in
            // which the counter names a key that is missing is broken.
            std::string padding(2000, char('a' + round % 26));
            for (int i = nextItem;; ++i) {
                if (reg::createKey(Root::CurrentUser, {"Software", "Items", "Item" + std::to_string(i)}) != 0)
                    _exit(2);
                reg::Value pad{reg::Value::Type::String, padding + std::to_string(i), 0};
                if (reg::setValue(Root::CurrentUser, items, "Padding", pad) != 0) _exit(2);
                reg::Value counter{reg::Value::Type::Dword, {}, uint32_t(i)};
                if (reg::setValue(Root::CurrentUser, items, "Counter", counter) != 0) _exit(2);
            }
        }
        // Kill the writer at a random moment after it finished at least one
        // step, so every round tests a hive with work in it however busy the
        // machine is.
        for (int waited = 0; waited < 20000; ++waited) {
            reg::Value seen;
            if (reg::queryValue(Root::CurrentUser, items, "Counter", seen) == reg::kSuccess &&
                int(seen.number) >= nextItem)
                break;
            usleep(1000);
        }
        usleep(useconds_t(random() % 20000));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

        // The file parses completely: it is a fixed point of a rewrite and ends with a whole key.
        std::string text = fileText(hive.path());
        ASSERT_GE(text.size(), 12u);
        EXPECT_EQ(platform::hive::serialize(platform::hive::parse(text)), text) << "round " << round;
        EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");

        reg::Value counter;
        long rc = reg::queryValue(Root::CurrentUser, items, "Counter", counter);
        ASSERT_EQ(rc, reg::kSuccess);
        for (uint32_t i = 0; i <= counter.number; ++i)
            ASSERT_EQ(reg::openKey(Root::CurrentUser, {"Software", "Items", "Item" + std::to_string(i)}),
                      reg::kSuccess)
                << "round " << round << ", item " << i << " of " << counter.number;
        nextItem = int(counter.number) + 1;
        // The lock died with the writer: this process can write at once.
        ASSERT_EQ(
            reg::setValue(Root::CurrentUser, items, "Checked", reg::Value{reg::Value::Type::Dword, {}, 1u}),
            reg::kSuccess);
    }
    EXPECT_GE(nextItem, 25);  // every writer got work done
}
