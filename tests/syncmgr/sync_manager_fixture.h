// Helpers of the Sync Manager and transfer dialog tests: PiTBPref.PDB
// images, a ui backend that records message boxes and file choosers and
// answers from a list, and `tabulo-addin` run under a ui script.
#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/byteorder.h"
#include "foundation/pdb.h"
#include "hotsync_sandbox.h"
#include "platform/dialog.h"
#include "platform/files.h"
#include "support/process.h"
#include "syncmgr/categories.h"

namespace smtest {

// PiTBPref.PDB: record 0 of record0Size bytes with deviceClass at offset 79
// (when it fits), an application info block with the flags and 16 names
// (these, then empty ones; 16 bytes each, cut or NUL-padded) when names is
// not empty, and extraRecords more records.
inline std::vector<uint8_t> prefsDatabase(std::vector<std::string> names, uint8_t deviceClass = 2,
                                          size_t record0Size = 80, size_t extraRecords = 0) {
    std::vector<std::vector<uint8_t>> records(1 + extraRecords, std::vector<uint8_t>(4, 0xEE));
    records[0].assign(record0Size, 0);
    if (record0Size > syncmgr::kDeviceClassOffset) records[0][syncmgr::kDeviceClassOffset] = deviceClass;
    std::vector<uint8_t> bytes =
        testsupport::databaseFile(testsupport::databaseHeader("PiTBPref", 1, "Pref", "PiTB"), records);
    if (names.empty()) return bytes;
    if (names.size() < syncmgr::kCategoryCount) names.resize(syncmgr::kCategoryCount);
    // The block goes between the record list and record 0; the offsets move.
    std::vector<uint8_t> block(syncmgr::kCategoryFlagsSize + names.size() * syncmgr::kCategoryNameSize, 0);
    for (size_t i = 0; i < names.size(); ++i)
        std::copy_n(
            names[i].begin(), std::min(names[i].size(), syncmgr::kCategoryNameSize),
            block.begin() + std::ptrdiff_t(syncmgr::kCategoryFlagsSize + i * syncmgr::kCategoryNameSize));
    const size_t at = foundation::pdb::firstRecordOffset(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        uint8_t* entry = &bytes[foundation::pdb::kHeaderSize + i * foundation::pdb::kEntrySize];
        foundation::storeBE32(entry, uint32_t(foundation::loadBE32(entry) + block.size()));
    }
    foundation::storeBE32(&bytes[foundation::pdb::kAppInfoIdOffset], uint32_t(at));
    bytes.insert(bytes.begin() + std::ptrdiff_t(at), block.begin(), block.end());
    return bytes;
}

// Boxes and choosers as one line each: "caption: text [icon]" and
// "choose <initial> <filter>"; answers from the list, then the safe one.
class Recorder : public platform::ui::Backend {
public:
    std::vector<std::string>* log;
    std::deque<platform::ui::Answer>* answers;
    std::optional<std::string> chosen;

    Recorder(std::vector<std::string>* l, std::deque<platform::ui::Answer>* a) : log(l), answers(a) {}
    platform::ui::Answer messageBox(const platform::ui::MessageBox& box) override {
        static const char* icons[] = {"", " [error]", " [question]", " [warning]", " [information]"};
        log->push_back(box.caption + ": " + box.text + icons[int(box.icon)]);
        if (answers->empty()) return platform::ui::safeAnswer(box.buttons);
        platform::ui::Answer a = answers->front();
        answers->pop_front();
        return a;
    }
    std::optional<std::string> chooseFile(const platform::ui::FileChooser& chooser) override {
        log->push_back("choose " + chooser.initialPath + " " + chooser.filter +
                       (chooser.hideReadOnly ? " hide-read-only" : ""));
        return chosen;
    }
};

// What `tabulo-addin` left after playing a ui script.
struct Played {
    int exitCode = -1;
    std::string out, err, log;
};

// Runs `tabulo-addin ARGS` in a child process with the scripted ui backend
// (or the one `ui` names) playing script (kept in dir); the log must not
// report a failed line.
inline Played playAddin(const testsupport::TempDir& dir, const std::vector<std::string>& args,
                        const std::string& script, const std::string& ui = "scripted") {
    const std::string scriptPath = dir.file("ui.script"), logPath = dir.file("ui.log");
    testsupport::writeFile(scriptPath, script);
    std::remove(logPath.c_str());
    auto run = testsupport::runProgram(testsupport::buildDir() + "/bin/tabulo-addin", args,
                                       {{"BRIGHTFOLD_UI", ui},
                                        {"BRIGHTFOLD_UI_SCRIPT", scriptPath},
                                        {"BRIGHTFOLD_UI_LOG", logPath},
                                        {"TZ", "EST5"}});
    Played played{run.exitCode, run.out, run.err, hotsynctest::textOf(logPath)};
    EXPECT_EQ(played.log.find("FAIL"), std::string::npos) << played.log << run.err;
    return played;
}

// User `user`'s backup holds Budget-Jan (its sheet last changed 2004-01-05
// 19:30 UTC) and Travel, and the categories Unfiled and Business.
inline void putBudgetAndTravel(testsupport::Sandbox& box, int user) {
    const std::string budget = box.putInBackup(user, testsupport::SheetDbSpec{"Budget-Jan", 71, 3, 0x12});
    const platform::FileTime now = *platform::lastWriteTime(budget), then = 127178046000000000ull;
    std::filesystem::last_write_time(budget,
                                     std::filesystem::last_write_time(budget) +
                                         std::chrono::nanoseconds((int64_t(then) - int64_t(now)) * 100));
    box.putInBackup(user, testsupport::SheetDbSpec{"Travel", 71, 3});
    testsupport::writeFile(box.backup(user) + "/PiTBPref.PDB", prefsDatabase({"Unfiled", "Business"}));
}

// On putBudgetAndTravel's books ("PC" stands for a folder of PC files):
// registers Budget to a CSV file, then fails to register Travel to a name
// against the naming rule, and closes with Done.
constexpr const char* kRegisterBudgetScript =
    "dialog 130\n"
    "expect 0 caption Tabulo Sync Manager 7.1\n"
    "expect 1006 items All|Business|Unfiled\n"
    "expect 1002 items Budget|Travel\n"
    "expect 1002 image 0:1\n"
    "expect 1002 image 1:3\n"
    "expect 1018 text Jan 05, 2004 14:30\n"
    "type 1001 PC/Budget-Jan.csv\n"
    "click 1012\n"
    "expect 1002 image 0:0\n"
    "select 1002 1\n"
    "type 1001 PC/Travel.xls\n"
    "click 1012\n"
    "ok\n"
    "click 1\n";

}  // namespace smtest
