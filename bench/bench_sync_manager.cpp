// The Sync Manager at scale, played by the scripted ui backend: opening it
// (registry refresh, export list, users, categories, the first user's list)
// and closing it with Done, for 20 users with 1,000 linked books each and
// 1,000 books in the first user's Backup folder; and going through every
// user's list once.
#include <benchmark/benchmark.h>

#include <memory>

#include "link_scale.h"

#include "platform/dialog.h"
#include "platform/ui_script.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/sync_manager_dialog.h"

namespace {

using benchscale::kBooksInBackup;
using benchscale::kLinksPerUser;
using benchscale::kUsers;
using Scale = benchscale::LinkScale;

Scale& scale() {
    static auto s = std::make_unique<Scale>(std::initializer_list<const char*>{"Jan"});
    return *s;
}

// Plays the script against a Sync Manager on a fresh library state.
void play(benchmark::State& state, const std::string& script) {
    scale();
    syncmgr::GridlinkState gridlink;
    for (auto _ : state) {
        platform::ui::setBackend(platform::ui::makeScriptedBackend(script, ""));
        syncmgr::SyncManagerDialog dialog(
            {gridlink.registry, gridlink.options, gridlink.exportList, gridlink.categoryCache});
        if (platform::ui::runDialog(nullptr, dialog) != platform::ui::IdOk) state.SkipWithError("not Done");
    }
    platform::ui::setBackend(nullptr);
    state.counters["links"] = double(kUsers * kLinksPerUser);
    state.counters["exportList"] = double(gridlink.exportList.count);
}

void BM_OpenSyncManager(benchmark::State& state) { play(state, "dialog 130\nclick 1\n"); }
BENCHMARK(BM_OpenSyncManager)->Unit(benchmark::kMillisecond);

void BM_SyncManagerEveryUser(benchmark::State& state) {
    std::string script = "dialog 130\n";
    for (int u = 1; u < kUsers; ++u) script += "select 1005 " + std::to_string(u) + "\n";
    play(state, script + "click 1\n");
}
BENCHMARK(BM_SyncManagerEveryUser)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
