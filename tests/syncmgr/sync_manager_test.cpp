// The Sync Manager's controller on the in-memory dialog (no backend): what
// opening shows, choosing users, categories and books, the path rules,
// Register and the rule buttons, Unregister's question, Enable/Disable and
// High Resolution stored at Done, Browse, and the Backup date.
#include "syncmgr/sync_manager_dialog.h"

#include <ctime>
#include <filesystem>

#include "platform/dialog_model.h"
#include "support/sandbox.h"
#include "sync_manager_fixture.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/sync_manager_images.h"

namespace ui = platform::ui;
using namespace syncmgr;
using hotsynctest::linkLine;
using hotsynctest::section;
using testsupport::SheetDbSpec;
using Items = std::vector<std::pair<std::string, int>>;

namespace {

// Ann: Budget (linked, on the handheld, category 1), Notes (on the handheld,
// not linked), Plan (linked, not on the handheld), Travel (against the naming
// rule); her categories Business and Unfiled. Bo: disabled, no books.
class SyncManager : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "101");
    int bo = box.addUser("Bo", "102");
    std::string pc = box.dir.makeDir("pc");
    GridlinkState state;
    std::vector<std::string> log;
    std::deque<ui::Answer> answers;
    smtest::Recorder* backend = nullptr;
    std::unique_ptr<SyncManagerDialog> dialog;
    std::unique_ptr<ui::DialogModel> model;

    SyncManager() {
        box.putInBackup(ann, SheetDbSpec{"Budget-Jan", 71, 5, 0x12});
        box.putInBackup(ann, SheetDbSpec{"Notes-A", 71, 1});
        box.putInBackup(ann, SheetDbSpec{"Travel", 71, 1});
        testsupport::writeFile(box.backup(ann) + "/PiTBPref.PDB",
                               smtest::prefsDatabase({"Unfiled", "Business", "", "", "", "", "", "", "", "",
                                                      "", "", "", "", "", ""}));
        testsupport::writeFile(pc + "/Budget.xls", std::string("workbook"));
        testsupport::writeFile(box.registryFile(),
                               "0\r\n" +
                                   section("Ann", linkLine("Budget", 2, 5, pc + "/Budget.xls") +
                                                      linkLine("Plan", 0, 0, pc + "/Plan.xls")) +
                                   section("Bo", "", false));
        auto recorder = std::make_unique<smtest::Recorder>(&log, &answers);
        backend = recorder.get();
        ui::setBackend(std::move(recorder));
    }
    ~SyncManager() override { ui::setBackend(nullptr); }

    void open() {
        dialog = std::make_unique<SyncManagerDialog>(
            SyncManagerContext{state.registry, state.options, state.exportList, state.categoryCache});
        model = std::make_unique<ui::DialogModel>(syncManagerSpec(), *dialog);
        model->open();
    }
    Items items(int id) const {
        Items out;
        for (int i = 0; i < model->itemCount(id); ++i)
            out.emplace_back(model->itemText(id, i), model->itemImage(id, i));
        return out;
    }
    // The registry as another process would load it now.
    foundation::LinkEntry committed(int user, const std::string& book) {
        foundation::LinkRegistry fresh{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
        EXPECT_GE(fresh.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
        const foundation::LinkEntry* link = fresh.findLink(user, book);
        return link ? *link : foundation::LinkEntry{};
    }
    std::string registryText() const { return hotsynctest::textOf(box.registryFile()); }
    void choose(int id, int index) { ASSERT_EQ(model->choose(id, index), ui::ActionResult::Done); }
    void click(int id) { ASSERT_EQ(model->click(id), ui::ActionResult::Done); }
    void type(const std::string& text) { ASSERT_EQ(model->type(kSmPath, text), ui::ActionResult::Done); }
};

}  // namespace

TEST_F(SyncManager, OpeningShowsTheFirstUsersBooksAndTheFirstBook) {
    open();
    EXPECT_EQ(model->caption(), "Tabulo Sync Manager 7.1");
    EXPECT_EQ(items(kSmUsers), (Items{{"Ann", -1}, {"Bo", -1}}));
    EXPECT_EQ(model->selected(kSmUsers), 0);
    EXPECT_EQ(items(kSmCategories), (Items{{"All", -1}, {"Business", -1}, {"Unfiled", -1}}));
    EXPECT_EQ(model->selected(kSmCategories), 0);
    EXPECT_EQ(items(kSmBooks), (Items{{"Budget", kImageLinked},
                                      {"Notes", kImageNotLinked},
                                      {"Plan", kImageDesktopOnly},
                                      {"Travel", kImageUnsupported}}));
    EXPECT_EQ(model->selected(kSmBooks), 0);
    EXPECT_EQ(model->text(kSmPath), pc + "/Budget.xls");
    EXPECT_TRUE(model->checked(kSmDesktopOverwrites));
    EXPECT_TRUE(model->enabled(kSmRegister) && model->enabled(kSmUnregister));
    EXPECT_FALSE(model->checked(kSmHighResolution) || model->enabled(kSmFontMap));
    EXPECT_TRUE(model->checked(kSmEnable));
    EXPECT_EQ(items(kSmFontMap).size(), 5u);
    EXPECT_EQ(state.exportList.count, 2);
    EXPECT_EQ(state.registry.userList[size_t(ann)].deviceClass, 2);
}

TEST_F(SyncManager, ChoosingBooksCategoriesAndUsers) {
    open();
    struct Case {
        int book;
        std::string path;
        bool linked;  // Register, rule buttons and Unregister enabled
        bool dated;   // a Backup copy of a book of a known version (a negative one too)
    };
    for (const Case& c : {Case{1, "", false, true}, Case{2, pc + "/Plan.xls", true, false},
                          Case{3, "", false, true}, Case{0, pc + "/Budget.xls", true, true}}) {
        choose(kSmBooks, c.book);
        EXPECT_EQ(model->text(kSmPath), c.path) << c.book;
        EXPECT_EQ(model->enabled(kSmRegister), c.linked) << c.book;
        EXPECT_EQ(model->enabled(kSmUnregister), c.linked) << c.book;
        EXPECT_EQ(model->enabled(kSmHandheldOverwrites), c.linked) << c.book;
        EXPECT_EQ(!model->text(kSmHotsynced).empty(), c.dated) << c.book;
    }
    choose(kSmCategories, 1);  // Business: category 1
    EXPECT_EQ(items(kSmBooks), (Items{{"Budget", kImageLinked}}));
    choose(kSmCategories, 2);  // Unfiled: category 0
    EXPECT_EQ(
        items(kSmBooks),
        (Items{{"Notes", kImageNotLinked}, {"Plan", kImageDesktopOnly}, {"Travel", kImageUnsupported}}));
    EXPECT_EQ(model->selected(kSmBooks), 0);
    choose(kSmUsers, 1);
    EXPECT_EQ(items(kSmCategories), (Items{{"All", -1}}));
    EXPECT_TRUE(items(kSmBooks).empty());
    EXPECT_TRUE(model->checked(kSmDisable) && !model->checked(kSmEnable));
    EXPECT_EQ(model->text(kSmPath), "");
}

TEST_F(SyncManager, PathEndingEnablesRegister) {
    open();
    choose(kSmBooks, 1);
    for (auto [path, on] : std::initializer_list<std::pair<const char*, bool>>{
             {"a.xls", true}, {"B-c.CSV", true}, {".xls", false}, {"a.xlsx", false}, {"", false}}) {
        type(path);
        EXPECT_EQ(model->enabled(kSmRegister), on) << path;
        EXPECT_EQ(model->enabled(kSmDesktopOverwrites), on) << path;
    }
}

TEST_F(SyncManager, RegisterLinksTheBookAndRefusalsShowAnErrorBox) {
    open();
    choose(kSmBooks, 1);
    type(pc + "/Notes.xls");
    click(kSmRegister);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(committed(ann, "Notes").pcPath, pc + "/Notes.xls");
    EXPECT_TRUE(std::filesystem::exists(pc + "/Notes.xls"));  // from the template
    EXPECT_EQ(model->selected(kSmBooks), 1);
    EXPECT_EQ(model->itemImage(kSmBooks, 1), kImageLinked);
    EXPECT_TRUE(model->enabled(kSmUnregister));

    choose(kSmBooks, 3);  // Travel breaks the naming rule
    type(pc + "/Travel.xls");
    const std::string before = registryText();
    click(kSmRegister);
    EXPECT_EQ(log, std::vector<std::string>{std::string("Error: ") + kNamingRuleMessage + " [error]"});
    EXPECT_EQ(registryText(), before);
    EXPECT_FALSE(std::filesystem::exists(pc + "/Travel.xls"));
}

TEST_F(SyncManager, RuleButtonReRegistersAtOnce) {
    open();
    click(kSmHandheldOverwrites);
    EXPECT_EQ(committed(ann, "Budget").syncRule, foundation::kSyncHandheldOverwrites);
    EXPECT_TRUE(model->checked(kSmHandheldOverwrites));
    EXPECT_TRUE(log.empty());
}

TEST_F(SyncManager, UnregisterAsksFirst) {
    answers = {ui::IdNo, ui::IdYes};
    open();
    click(kSmUnregister);
    EXPECT_EQ(committed(ann, "Budget").pcPath, pc + "/Budget.xls");
    click(kSmUnregister);
    EXPECT_EQ(committed(ann, "Budget").pcPath, "");
    EXPECT_EQ(log,
              std::vector<std::string>(2, std::string("Unregister: ") + kUnregisterQuestion + " [question]"));
    EXPECT_EQ(model->itemImage(kSmBooks, 0), kImageNotLinked);
    EXPECT_FALSE(model->enabled(kSmUnregister));
}

TEST_F(SyncManager, EnableDisableAndHighResolutionAreStoredAtDone) {
    open();
    click(kSmDisable);
    click(kSmHighResolution);
    EXPECT_TRUE(model->enabled(kSmFontMap));
    EXPECT_EQ(model->selected(kSmFontMap), 0);
    // A Register in between reloads the registry: the choices stay the dialog's.
    choose(kSmBooks, 1);
    type(pc + "/Notes.xls");
    click(kSmRegister);
    EXPECT_TRUE(model->checked(kSmDisable));
    EXPECT_EQ(committed(ann, "Notes").pcPath, pc + "/Notes.xls");
    foundation::LinkRegistry fresh{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
    ASSERT_GE(fresh.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
    EXPECT_EQ(fresh.userList[size_t(ann)].enabled, 1);

    click(kSmDone);
    EXPECT_TRUE(model->ended());
    EXPECT_EQ(model->result(), ui::IdOk);
    ASSERT_GE(fresh.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
    EXPECT_EQ(fresh.userList[size_t(ann)].enabled, 0);
    EXPECT_EQ(fresh.highResolution, 1);
    EXPECT_EQ(fresh.findLink(ann, "Notes")->pcPath, pc + "/Notes.xls");
    // Ann is disabled now: her links leave the export list.
    EXPECT_EQ(state.exportList.count, 0);
}

TEST_F(SyncManager, BrowseFillsThePath) {
    open();
    choose(kSmBooks, 1);
    backend->chosen = pc + "/Notes-Q1.csv";
    click(kSmBrowse);
    EXPECT_EQ(log, std::vector<std::string>{std::string("choose  ") + kWorkbookFilter + " hide-read-only"});
    EXPECT_EQ(model->text(kSmPath), pc + "/Notes-Q1.csv");
    EXPECT_TRUE(model->enabled(kSmRegister));
}

TEST(SyncManagerDate, LocalTimeText) {
    testsupport::ScopedEnv tz("TZ", "EST5");
    tzset();
    EXPECT_EQ(formatBackupTime(127178046000000000ull), "Jan 05, 2004 14:30");
    EXPECT_EQ(formatBackupTime(127178046000000000ull + 36000000000ull * 24 * 310), "Nov 10, 2004 14:30");
}
