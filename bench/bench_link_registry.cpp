// Loading the link registry at scale: 20 users with 1,000 linked books each
// in TBRegistry.dat, and a Backup folder holding 5,000 sheet databases
// (1,000 books of 5 sheets) merged into the first user's links.
#include <benchmark/benchmark.h>

#include <memory>

#include "link_scale.h"

#include "foundation/link_registry.h"
#include "syncmgr/discovery.h"
#include "syncmgr/gridlink_state.h"

namespace {

using benchscale::kBooksInBackup;
using benchscale::kLinksPerUser;
using benchscale::kUsers;
constexpr int kSheetsPerBook = 5;
using Scale = benchscale::LinkScale;

Scale& scale() {
    static auto s =
        std::make_unique<Scale>(std::initializer_list<const char*>{"Jan", "Feb", "Mar", "Apr", "May"});
    return *s;
}

void BM_LoadLinkRegistry(benchmark::State& state) {
    Scale& s = scale();
    syncmgr::GridlinkState gridlink;
    for (auto _ : state) {
        int rc =
            gridlink.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No);
        if (rc < 0) state.SkipWithError("refresh failed");
        benchmark::DoNotOptimize(gridlink.registry.userList.data());
    }
    size_t links = 0;
    for (const auto& u : gridlink.registry.userList) links += u.links.size();
    state.counters["users"] = double(gridlink.registry.userList.size());
    state.counters["links"] = double(links);
    (void)s;
}
BENCHMARK(BM_LoadLinkRegistry)->Unit(benchmark::kMillisecond);

void BM_FindHandheldBooks(benchmark::State& state) {
    Scale& s = scale();
    std::vector<foundation::HandheldBook> books;
    for (auto _ : state) {
        int n = syncmgr::scanHandheldBooks(s.box.backup(0), books);
        if (n != kBooksInBackup) state.SkipWithError("wrong book count");
    }
    state.counters["files"] = double(kBooksInBackup * kSheetsPerBook);
    state.counters["books"] = double(books.size());
}
BENCHMARK(BM_FindHandheldBooks)->Unit(benchmark::kMillisecond);

void BM_SerializeLinkRegistry(benchmark::State& state) {
    Scale& s = scale();
    syncmgr::GridlinkState gridlink;
    gridlink.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text = gridlink.registry.serialize();
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = double(bytes);
    (void)s;
}
BENCHMARK(BM_SerializeLinkRegistry)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
