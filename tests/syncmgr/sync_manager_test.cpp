// The Sync Manager's controller on the in-memory dialog (no backend): what
// opening shows, choosing users, categories and books, the path rule,
// Unregister's question, the choices stored at Done, and Browse. Register,
// the rule buttons and the dates are played end to end
// (sync_manager_script_test.cpp).
#include "syncmgr/sync_manager_dialog.h"

#include "platform/dialog_model.h"
#include "support/sandbox.h"
#include "sync_manager_fixture.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/sync_manager_images.h"

namespace ui = platform::ui;
using namespace syncmgr;
using testsupport::linkLine;
using testsupport::linkSection;
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
                               smtest::prefsDatabase({"Unfiled", "Business"}));
        testsupport::writeFile(pc + "/Budget.xls", std::string("workbook"));
        testsupport::writeFile(box.registryFile(),
                               "0\r\n" +
                                   linkSection("Ann", linkLine("Budget", 2, 5, pc + "/Budget.xls") +
                                                          linkLine("Plan", 0, 0, pc + "/Plan.xls")) +
                                   linkSection("Bo", "", false));
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
    int32_t enabledOnDisk(int user) {
        foundation::LinkRegistry fresh{foundation::Product{"Tabulo"}, "TBRegistry.dat"};
        EXPECT_GE(fresh.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
        return fresh.userList[size_t(user)].enabled;
    }
    void choose(int id, int index) { ASSERT_EQ(model->choose(id, index), ui::ActionResult::Done); }
    void click(int id) { ASSERT_EQ(model->click(id), ui::ActionResult::Done); }
    void type(const std::string& text) { ASSERT_EQ(model->type(kSmPath, text), ui::ActionResult::Done); }
};

}  // namespace

TEST_F(SyncManager, OpeningAndChoosingUsersCategoriesAndBooks) {
    open();
    EXPECT_EQ(items(kSmBooks), (Items{{"Budget", kImageLinked},
                                      {"Notes", kImageNotLinked},
                                      {"Plan", kImageDesktopOnly},
                                      {"Travel", kImageUnsupported}}));
    EXPECT_EQ(model->selected(kSmBooks), 0);
    EXPECT_TRUE(model->checked(kSmDesktopOverwrites) && model->checked(kSmEnable));
    EXPECT_FALSE(model->checked(kSmHighResolution) || model->enabled(kSmFontMap));
    EXPECT_EQ(state.exportList.count, 2);
    EXPECT_EQ(state.registry.userList[size_t(ann)].deviceClass, 2);
    struct Case {
        int book;
        std::string path;
        bool linked;  // Register, the rule buttons and Unregister enabled
        bool dated;   // a Backup copy of a known version (negative ones too)
    };
    for (const Case& c : {Case{1, "", false, true}, Case{2, pc + "/Plan.xls", true, false},
                          Case{3, "", false, true}, Case{0, pc + "/Budget.xls", true, true}}) {
        choose(kSmBooks, c.book);
        EXPECT_EQ(model->text(kSmPath), c.path) << c.book;
        EXPECT_EQ(model->enabled(kSmRegister) && model->enabled(kSmHandheldOverwrites), c.linked) << c.book;
        EXPECT_EQ(model->enabled(kSmUnregister), c.linked) << c.book;
        EXPECT_EQ(!model->text(kSmHotsynced).empty(), c.dated) << c.book;
    }
    choose(kSmCategories, 1);  // Business: category 1
    EXPECT_EQ(items(kSmBooks), (Items{{"Budget", kImageLinked}}));
    choose(kSmCategories, 2);  // Unfiled: category 0
    EXPECT_EQ(items(kSmBooks).size(), 3u);
    EXPECT_EQ(model->selected(kSmBooks), 0);
    choose(kSmUsers, 1);
    EXPECT_EQ(items(kSmCategories), (Items{{"All", -1}}));
    EXPECT_TRUE(items(kSmBooks).empty());
    EXPECT_TRUE(model->checked(kSmDisable) && !model->checked(kSmEnable));
}

TEST_F(SyncManager, PathEndingEnablesRegister) {
    open();
    choose(kSmBooks, 1);
    for (auto [path, on] : std::initializer_list<std::pair<const char*, bool>>{
             {"a.xls", true}, {"B-c.CSV", true}, {".xls", false}, {"a.xlsx", false}, {"", false}}) {
        type(path);
        EXPECT_EQ(model->enabled(kSmRegister) && model->enabled(kSmDesktopOverwrites), on) << path;
    }
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

TEST_F(SyncManager, ChoicesSurviveARegisterAndAreStoredAtDone) {
    open();
    click(kSmDisable);
    click(kSmHighResolution);
    EXPECT_TRUE(model->enabled(kSmFontMap));
    EXPECT_EQ(model->selected(kSmFontMap), 0);
    // Register reloads the registry and saves its link, not the choices.
    choose(kSmBooks, 1);
    type(pc + "/Notes.xls");
    click(kSmRegister);
    EXPECT_EQ(model->selected(kSmBooks), 1);
    EXPECT_EQ(model->itemImage(kSmBooks, 1), kImageLinked);
    EXPECT_TRUE(model->checked(kSmDisable));
    EXPECT_EQ(enabledOnDisk(ann), 1);

    click(kSmDone);
    EXPECT_EQ(model->result(), ui::IdOk);
    EXPECT_EQ(hotsynctest::textOf(box.registryFile()).substr(0, 3), "1\r\n");  // highResolution
    EXPECT_EQ(enabledOnDisk(ann), 0);
    EXPECT_EQ(committed(ann, "Notes").pcPath, pc + "/Notes.xls");
    EXPECT_EQ(state.exportList.count, 0);  // Ann is disabled now
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
