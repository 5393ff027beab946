// The CSV conversion against a sandbox: CSV files of a linked book to sheet
// databases in the Install folder, and a handheld book's sheets back to CSV
// files beside the linked file.
#include "syncmgr/csv_conversion.h"

#include <cerrno>
#include <filesystem>

#include "hotsync_sandbox.h"
#include "platform/bstr.h"
#include "platform/faults.h"
#include "platform/registry.h"
#include "syncmgr/gridlink_state.h"
#include "workbook/book_lister.h"

using namespace hotsynctest;
namespace fs = std::filesystem;

namespace {

class CsvConversion : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = box.addUser("Ann", "101");
    int bo = box.addUser("Bo", "102");
    std::string sheets = box.dir.makeDir("Sheets");
    syncmgr::GridlinkState state;

    ~CsvConversion() override { platform::faults::disarmAll(); }

    void load() { ASSERT_GE(testsupport::loadLinks(state.registry), 0); }
    void csv(const std::string& name, std::string_view text) {
        testsupport::writeFile(sheets + "/" + name, text);
    }
    // The regional values, written as they are (also empty).
    void regional(const std::string& list, const std::string& decimal) {
        namespace reg = platform::registry;
        const reg::KeyPath key{"Control Panel", "International"};
        ASSERT_EQ(reg::createKey(reg::Root::CurrentUser, key), reg::kSuccess);
        reg::Value v;
        v.text = list;
        ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, key, "sList", v), reg::kSuccess);
        v.text = decimal;
        ASSERT_EQ(reg::setValue(reg::Root::CurrentUser, key, "sDecimal", v), reg::kSuccess);
    }
    std::string installed(int user, const std::string& database) const {
        return box.install(user) + "/" + database + ".pdb";
    }
    foundation::LinkEntry* link(int user, const std::string& book) {
        return state.registry.findLink(user, book);
    }

    // HandheldToCsv on the book's sheet databases in a user's Backup folder.
    int16_t toCsv(int user, const std::string& book, const std::string& csvPath, platform::FileTime& time) {
        TextRecord list{};
        list.number = workbook::kListSheetDatabases;
        platform::replaceByteString(list.text, box.backup(user) + "/" + book);
        std::string lastListed;
        EXPECT_GT(workbook::ListBookFiles(&list, nullptr, lastListed), 0);
        state.options.importUser = user;
        int16_t rc = syncmgr::HandheldToCsv(state, &list, csvPath, time);
        platform::clearByteString(list.text);
        return rc;
    }
};

}  // namespace

TEST_F(CsvConversion, OneFileWithoutHyphenIsTheOneSheetDatabase) {
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
    csv("Budget.csv", "a,\"b\"\"c\",,d\r\n\"1.5\"");
    load();
    EXPECT_EQ(syncmgr::CsvToHandheld(state, ann), 1);
    std::string name;
    EXPECT_EQ(cellsOf(installed(ann, "Budget"), &name),
              (Cells{{1, 1, "a"}, {1, 2, "b\"c"}, {1, 4, "d"}, {2, 1, "1.5"}}));
    EXPECT_EQ(name, "Budget");
    EXPECT_EQ(box.installFlag("101"), 1);
    EXPECT_EQ(box.installFlag("102"), -1);
    EXPECT_TRUE(fs::is_empty(box.install(bo)));
    // Listing raised the link's time to the file's.
    EXPECT_EQ(link(ann, "Budget")->csvSyncTime.value(), *platform::lastWriteTime(sheets + "/Budget.csv"));
}

TEST_F(CsvConversion, OnlyFilesNewerThanTheLinkTimeAreSent) {
    csv("Budget-Jan.csv", "jan");
    csv("Budget-Feb.csv", "feb");
    csv("Budgets-Mar.csv", "not this book");
    const platform::FileTime janTime = *platform::lastWriteTime(sheets + "/Budget-Jan.csv");
    fs::last_write_time(sheets + "/Budget-Jan.csv",
                        fs::last_write_time(sheets + "/Budget-Jan.csv") - std::chrono::hours(1));
    const platform::FileTime older = *platform::lastWriteTime(sheets + "/Budget-Jan.csv");
    ASSERT_LT(older, janTime);
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, 0, sheets + "/Budget-Jan.csv", older)));
    load();
    EXPECT_EQ(syncmgr::CsvToHandheld(state, ann), 1);
    EXPECT_EQ(cellsOf(installed(ann, "Budget-Feb")), (Cells{{1, 1, "feb"}}));
    EXPECT_FALSE(fs::exists(installed(ann, "Budget-Jan")));  // not written after the link's time
    EXPECT_FALSE(fs::exists(installed(ann, "Budgets-Mar")));
    // A second conversion finds nothing new.
    fs::remove(installed(ann, "Budget-Feb"));
    EXPECT_EQ(syncmgr::CsvToHandheld(state, ann), 1);
    EXPECT_TRUE(fs::is_empty(box.install(ann)));
}

TEST_F(CsvConversion, RegionalSeparatorsAreMappedBack) {
    regional(";", ",");
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget-Jan.csv")));
    csv("Budget-Jan.csv", "\"1234,5\";\"a;b\";7,25");
    load();
    syncmgr::CsvToHandheld(state, ann);
    EXPECT_EQ(cellsOf(installed(ann, "Budget-Jan")),
              (Cells{{1, 1, "1234.5"}, {1, 2, "a,b"}, {1, 3, "7.25"}}));
}

TEST_F(CsvConversion, RegionalSettingsAreReadWithoutCreatingTheKey) {
    workbook::CsvSeparators s{'|', '~'};
    syncmgr::ReadRegionalSeparators(s);
    EXPECT_EQ(s.list, '|');  // missing values keep the current characters
    EXPECT_EQ(s.decimal, '~');
    EXPECT_EQ(platform::registry::openKey(platform::registry::Root::CurrentUser,
                                          {"Control Panel", "International"}),
              platform::registry::kFileNotFound);
    regional(";", "");
    syncmgr::ReadRegionalSeparators(s);
    EXPECT_EQ(s.list, ';');
    EXPECT_EQ(s.decimal, '~');
}

TEST_F(CsvConversion, LongFieldsAreCutAndWideRowsStopAtColumn256) {
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget-Jan.csv")));
    std::string wide;
    for (int c = 1; c <= 300; ++c) wide += std::to_string(c) + ",";
    csv("Budget-Jan.csv", std::string(40000, 'x') + "\r\n" + wide + "\r\nlast");
    load();
    // Only one database may be written: a field beyond column 256 must not
    // close the sheet early. Any write after the first fails here.
    platform::faults::arm(platform::faults::Op::Write, ENOSPC, 1);
    syncmgr::CsvToHandheld(state, ann);
    platform::faults::disarmAll();
    Cells cells = cellsOf(installed(ann, "Budget-Jan"));
    ASSERT_EQ(cells.size(), 1u + 256u + 1u);
    EXPECT_EQ(cells[0], (Cell{1, 1, std::string(workbook::kMaxCsvFieldLength, 'x')}));
    EXPECT_EQ(cells[256], (Cell{2, 256, "256"}));
    EXPECT_EQ(cells[257], (Cell{3, 1, "last"}));
}

TEST_F(CsvConversion, RefusedExportSkipsTheLinkButKeepsItsTime) {
    // Handheld Overwrites on a book the handheld has: nothing goes out.
    box.putInBackup(ann, testsupport::SheetDbSpec{"Budget-Jan", 71, 3});
    box.writeLinks(linkSection("Ann", linkLine("Budget", 1, 3, sheets + "/Budget.csv") +
                                          linkLine("Travel", 0, -1, sheets + "/Travel.csv")));
    csv("Budget-Jan.csv", "new");
    csv("Travel.csv", "trip");
    load();
    EXPECT_EQ(syncmgr::CsvToHandheld(state, ann), 1);
    EXPECT_FALSE(fs::exists(installed(ann, "Budget-Jan")));
    EXPECT_EQ(link(ann, "Budget")->csvSyncTime.value(), *platform::lastWriteTime(sheets + "/Budget-Jan.csv"));
    EXPECT_EQ(cellsOf(installed(ann, "Travel")), (Cells{{1, 1, "trip"}}));
    // Excel links and other users are not touched.
    EXPECT_EQ(syncmgr::CsvToHandheld(state, bo), 1);
    EXPECT_EQ(syncmgr::CsvToHandheld(state, 7), 1);
}

TEST_F(CsvConversion, CsvFileWhoseSheetCannotNameADatabaseIsLeftOutForGood) {
    csv("Budget-a\x01"
        "b.csv",
        "never");
    csv("Budget-Jan .csv", "space");  // a file on Windows, but no database name there
    csv("Budget-Jan.csv", "jan");
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
    load();
    EXPECT_EQ(syncmgr::CsvToHandheld(state, ann), BF_ERR_WRITE);
    EXPECT_FALSE(fs::exists(installed(ann, "Budget-Jan ")));
    EXPECT_EQ(cellsOf(installed(ann, "Budget-Jan")), (Cells{{1, 1, "jan"}}));
    // It would fail at every HotSync: the time moves past it all the same.
    EXPECT_EQ(link(ann, "Budget")->csvSyncTime.value(),
              std::max(*platform::lastWriteTime(sheets + "/Budget-a\x01"
                                                         "b.csv"),
                       std::max(*platform::lastWriteTime(sheets + "/Budget-Jan .csv"),
                                *platform::lastWriteTime(sheets + "/Budget-Jan.csv"))));
}

TEST_F(CsvConversion, HandheldSheetsWrittenWithRegionalSeparators) {
    regional(";", ",");
    box.putInBackup(ann,
                    sheetWithCells("Budget-Jan", 4, {{1, 1, "1234.5"}, {1, 2, "a,b"}, {3, 2, "say \"x\""}}));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
    load();
    platform::FileTime time = 0;
    EXPECT_EQ(toCsv(ann, "Budget", sheets + "/Budget.csv", time), 1);
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"1234,5\";\"a;b\"\r\n\r\n;\"say \"\"x\"\"\"");
    EXPECT_EQ(time, *platform::lastWriteTime(sheets + "/Budget-Jan.csv"));
}

TEST_F(CsvConversion, HyphenInAFolderNameKeepsTheFilesInThatFolder) {
    std::string folder = box.dir.makeDir("My-Data");
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 1, {{1, 1, "x"}}));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, folder + "/Budget.csv")));
    load();
    platform::FileTime time = 0;
    EXPECT_EQ(toCsv(ann, "Budget", folder + "/Budget.csv", time), 1);
    EXPECT_EQ(textOf(folder + "/Budget-Jan.csv"), "\"x\"");
    EXPECT_FALSE(fs::exists(box.dir.path() + "/My-Jan.csv"));
}

TEST_F(CsvConversion, OneSheetBookGoesBackToItsOwnFile) {
    box.putInBackup(ann, sheetWithCells("Budget", 2, {{1, 1, "whole"}}));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
    load();
    platform::FileTime time = 0;
    EXPECT_EQ(toCsv(ann, "Budget", sheets + "/Budget.csv", time), 1);
    EXPECT_EQ(textOf(sheets + "/Budget.csv"), "\"whole\"");
    EXPECT_FALSE(fs::exists(sheets + "/Budget-Budget.csv"));
}

TEST_F(CsvConversion, SheetNamesThatCannotNameAFileAreLeftOut) {
    box.putInBackup(ann, sheetWithCells("Budget-..", 1, {{1, 1, "dots"}}), "dots.pdb");
    box.putInBackup(ann, sheetWithCells("Budget-a\tb", 1, {{1, 1, "tab"}}), "tab.pdb");
    box.putInBackup(ann, sheetWithCells("Budget-a:b", 1, {{1, 1, "colon"}}), "colon.pdb");
    box.putInBackup(ann, sheetWithCells("Budget-Nul", 1, {{1, 1, "device"}}), "device.pdb");
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 1, {{1, 1, "fine"}}));
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
    load();
    platform::FileTime time = 0;
    EXPECT_EQ(toCsv(ann, "Budget", sheets + "/Budget.csv", time), BF_ERR_WRITE);
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"fine\"");
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(sheets)) files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"Budget-Jan.csv"});
    EXPECT_FALSE(fs::exists(box.dir.path() + "/Budget-..csv"));
}

TEST_F(CsvConversion, SheetNamesDifferingOnlyInCaseGiveOneFile) {
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 1, {{1, 1, "first"}}));
    box.putInBackup(ann, sheetWithCells("Budget-jan", 1, {{1, 1, "second"}}), "second.pdb");
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
    load();
    platform::FileTime time = 0;
    EXPECT_EQ(toCsv(ann, "Budget", sheets + "/Budget.csv", time), BF_ERR_WRITE);
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"first\"");
    EXPECT_FALSE(fs::exists(sheets + "/Budget-jan.csv"));
}

TEST_F(CsvConversion, PasswordSheetStopsButWrittenFilesKeepTheirTime) {
    auto locked = sheetWithCells("Budget-Zed", 1, {{1, 1, "secret"}});
    box.putInBackup(ann, sheetWithCells("Budget-Jan", 1, {{1, 1, "open"}}));
    std::string lockedPath = box.putInBackup(ann, locked);
    // An open-password hash in the book header (offset 34).
    auto bytes = testsupport::readFile(lockedPath);
    foundation::PdbImage image;
    ASSERT_TRUE(foundation::loadPdbFromBytes(image, bytes));
    size_t header = image.recordOffset(0) + 4;
    bytes[header + 34] = 0x12;
    testsupport::writeFile(lockedPath, bytes);
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
    load();
    platform::FileTime time = 0;
    EXPECT_EQ(toCsv(ann, "Budget", sheets + "/Budget.csv", time), BF_ERR_PASSWORD);
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), "\"open\"");
    EXPECT_FALSE(fs::exists(sheets + "/Budget-Zed.csv"));
    // The file written holds the handheld's state: it must not go back as a
    // desktop change at the next HotSync.
    EXPECT_EQ(time, *platform::lastWriteTime(sheets + "/Budget-Jan.csv"));
}

TEST_F(CsvConversion, RoundTripThroughTheHandheldFormat) {
    regional(";", ",");
    box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
    const std::string original = "\"1,5\";\"x;y\";\"q\"\"uote\"\r\n\r\n;\"two\nlines\"";
    csv("Budget-Jan.csv", original);
    load();
    syncmgr::CsvToHandheld(state, ann);
    // The database the handheld would get comes back as the same file.
    fs::copy_file(installed(ann, "Budget-Jan"), box.backup(ann) + "/Budget-Jan.pdb");
    fs::remove(sheets + "/Budget-Jan.csv");
    platform::FileTime time = 0;
    EXPECT_EQ(toCsv(ann, "Budget", sheets + "/Budget.csv", time), 1);
    EXPECT_EQ(textOf(sheets + "/Budget-Jan.csv"), original);
}

namespace {

// A source that cannot be read whole: a fault while a CSV file is opened,
// read or turned into a database, or a handheld sheet whose cell walk fails.
struct Broken {
    const char* what;
    bool toHandheld;          // CsvToHandheld, else HandheldToCsv
    platform::faults::Op op;  // Count: no fault, a corrupt sheet database
    int error;
    int skip;
    int16_t status;
    friend void PrintTo(const Broken& b, std::ostream* os) { *os << b.what; }
};

class SourceNotReadWhole : public CsvConversion, public ::testing::WithParamInterface<Broken> {
protected:
    // Sets a file's last-write time to `hours` before now.
    static platform::FileTime aged(const std::string& path, int hours) {
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(hours));
        return *platform::lastWriteTime(path);
    }
};

// Long texts as their length, so that a failure prints short.
Cells brief(Cells cells) {
    for (Cell& c : cells)
        if (c.text.size() > 16) c.text = "<" + std::to_string(c.text.size()) + " bytes>";
    return cells;
}

}  // namespace

// The target stays byte for byte, the result says so, the link's time moves
// only past what was converted, and the next HotSync converts it.
TEST_P(SourceNotReadWhole, TargetStaysAndTheNextHotSyncConvertsIt) {
    using platform::faults::Op;
    const Broken& c = GetParam();
    const std::string target = c.toHandheld ? installed(ann, "Budget-Jan") : sheets + "/Budget-Jan.csv";
    testsupport::writeFile(target, std::string("what was there"));
    platform::FileTime since = aged(target, 4);
    int16_t rc = 0;
    platform::FileTime time = since;
    if (c.toHandheld) {
        // More than one read piece; the last cell comes after the first.
        csv("Budget-Jan.csv", "a,b\r\n" + std::string(70000, 'y') + "\r\nend");
        csv("Budget-Mar.csv", "mar");
        // Mar was changed before Jan: the time may pass Mar, not Jan.
        aged(sheets + "/Budget-Mar.csv", 2);
        const platform::FileTime janTime = aged(sheets + "/Budget-Jan.csv", 1);
        box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv", since)));
        load();
        platform::faults::arm(c.op, c.error, c.skip, 1);
        rc = syncmgr::CsvToHandheld(state, ann);
        platform::faults::disarmAll();
        EXPECT_EQ(cellsOf(installed(ann, "Budget-Mar")), (Cells{{1, 1, "mar"}}));
        EXPECT_EQ(link(ann, "Budget")->csvSyncTime.value(),
                  *platform::lastWriteTime(sheets + "/Budget-Mar.csv"));
        fs::remove(installed(ann, "Budget-Mar"));
        EXPECT_EQ(textOf(target), "what was there");
        EXPECT_EQ(syncmgr::CsvToHandheld(state, ann), 1);
        EXPECT_EQ(brief(cellsOf(target)),
                  (Cells{{1, 1, "a"}, {1, 2, "b"}, {2, 1, "<32766 bytes>"}, {3, 1, "end"}}));
        EXPECT_FALSE(fs::exists(installed(ann, "Budget-Mar")));  // not sent twice
        EXPECT_EQ(link(ann, "Budget")->csvSyncTime.value(), janTime);
    } else {
        auto corrupt = sheetWithCells("Budget-Jan", 3, {{1, 1, "a"}, {1, 2, "b"}});
        corrupt.cellRecords.insert(corrupt.cellRecords.begin() + 1, std::vector<uint8_t>{0x01});
        box.putInBackup(ann, corrupt);
        box.putInBackup(ann, sheetWithCells("Budget-Mar", 3, {{1, 1, "mar"}}));
        box.writeLinks(linkSection("Ann", linkLine("Budget", 0, -1, sheets + "/Budget.csv")));
        load();
        rc = toCsv(ann, "Budget", sheets + "/Budget.csv", time);
        EXPECT_EQ(textOf(sheets + "/Budget-Mar.csv"), "\"mar\"");
        EXPECT_EQ(time, *platform::lastWriteTime(sheets + "/Budget-Mar.csv"));
        EXPECT_EQ(textOf(target), "what was there");
        box.putInBackup(ann, sheetWithCells("Budget-Jan", 4, {{1, 1, "a"}, {1, 2, "b"}}));
        EXPECT_EQ(toCsv(ann, "Budget", sheets + "/Budget.csv", time), 1);
        EXPECT_EQ(textOf(target), "\"a\",\"b\"");
    }
    EXPECT_EQ(rc, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    CsvConversion, SourceNotReadWhole,
    ::testing::Values(Broken{"CsvCannotBeOpened", true, platform::faults::Op::Open, EACCES, 0, BF_ERR_OPEN},
                      Broken{"CsvCannotBeRead", true, platform::faults::Op::Read, EIO, 0, BF_ERR_OPEN},
                      Broken{"CsvReadFailsMidFile", true, platform::faults::Op::Read, EIO, 1, BF_ERR_OPEN},
                      Broken{"DatabaseNotWritten", true, platform::faults::Op::Write, ENOSPC, 0,
                             BF_ERR_WRITE},
                      Broken{"SheetFailsPartway", false, platform::faults::Op::Count, 0, 0, BF_ERR_CORRUPT}),
    [](const ::testing::TestParamInfo<Broken>& info) { return std::string(info.param.what); });
