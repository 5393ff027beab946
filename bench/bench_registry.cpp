// Registry calls over a hive file of realistic size (a product key, a few
// users, other software's keys): reads re-parse the file every time, writes
// also lock, write a temporary file, flush it and rename it.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdlib>
#include <string>

#include "platform/registry.h"

namespace reg = platform::registry;

namespace {

struct BenchHive {
    std::string folder;
    BenchHive() {
        char pattern[] = "/tmp/bench-hive-XXXXXX";
        folder = mkdtemp(pattern);
        setenv("BRIGHTFOLD_HIVE", (folder + "/registry.reg").c_str(), 1);
        for (int app = 0; app < 40; ++app) {
            reg::KeyPath key{"Software", "Vendor" + std::to_string(app), "Settings"};
            reg::createKey(reg::Root::CurrentUser, key);
            for (int v = 0; v < 8; ++v)
                reg::setValue(reg::Root::CurrentUser, key, "Value" + std::to_string(v),
                              reg::Value{reg::Value::Type::String, std::string(40, 'x'), 0});
        }
        for (int user = 0; user < 5; ++user) {
            reg::KeyPath key{"Software", "Brightfold", "Tabulo", "User" + std::to_string(user)};
            reg::createKey(reg::Root::CurrentUser, key);
            reg::setValue(reg::Root::CurrentUser, key, "Name",
                          reg::Value{reg::Value::Type::String, "User " + std::to_string(user), 0});
        }
    }
    ~BenchHive() {
        std::string hive = folder + "/registry.reg";
        unlink(hive.c_str());
        unlink((hive + ".lock").c_str());
        rmdir(folder.c_str());
    }
};

void BM_QueryValue(benchmark::State& state) {
    BenchHive hive;
    reg::Value value;
    const reg::KeyPath user{"Software", "Brightfold", "Tabulo", "User3"};
    for (auto _ : state) {
        long rc = reg::queryValue(reg::Root::CurrentUser, user, "Name", value);
        benchmark::DoNotOptimize(rc);
    }
}
BENCHMARK(BM_QueryValue);

void BM_CreateExistingKey(benchmark::State& state) {
    BenchHive hive;
    const reg::KeyPath user{"Software", "Brightfold", "Tabulo", "User3"};
    for (auto _ : state) benchmark::DoNotOptimize(reg::createKey(reg::Root::CurrentUser, user));
}
BENCHMARK(BM_CreateExistingKey);

void BM_SetValue(benchmark::State& state) {
    BenchHive hive;
    const reg::KeyPath key{"Software", "U.S. Robotics", "Pilot Desktop", "HotSync Manager"};
    reg::createKey(reg::Root::CurrentUser, key);
    uint32_t n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(reg::setValue(reg::Root::CurrentUser, key, "Install1234",
                                               reg::Value{reg::Value::Type::Dword, {}, ++n}));
}
BENCHMARK(BM_SetValue);

}  // namespace
BENCHMARK_MAIN();
