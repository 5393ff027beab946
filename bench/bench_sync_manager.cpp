// The Sync Manager at scale, played by the scripted ui backend: opening it
// (registry refresh, export list, users, categories, the first user's list)
// and closing it with Done, for 20 users with 1,000 linked books each and
// 1,000 books in the first user's Backup folder; and going through every
// user's list once.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/dialog.h"
#include "platform/ui_script.h"
#include "support/sandbox.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/sync_manager_dialog.h"

namespace {

constexpr int kUsers = 20;
constexpr int kLinksPerUser = 1000;
constexpr int kBooksInBackup = 1000;

std::string bookName(int i) { return "Book" + std::to_string(100000 + i * 7919 % 100000); }

struct Scale {
    testsupport::Sandbox box;
    Scale() {
        for (int u = 0; u < kUsers; ++u) box.addUser("User " + std::to_string(u), std::to_string(1000 + u));
        std::string text = "0\r\n";
        for (int u = 0; u < kUsers; ++u) {
            text += "[User " + std::to_string(u) + "]\r\nenabled=10\r\n";
            for (int i = 0; i < kLinksPerUser; ++i)
                text += bookName(i) + "=0,1,-1,0,0,-1?/data/sheets/" + bookName(i) + ".xls\r\n";
        }
        testsupport::writeFile(box.registryFile(), text);
        for (int i = 0; i < kBooksInBackup; ++i)
            box.putInBackup(0, testsupport::SheetDbSpec(bookName(i) + "-Jan", 71, uint32_t(i)));
    }
};

Scale& scale() {
    static auto s = std::make_unique<Scale>();
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
