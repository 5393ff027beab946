// Listing the files of a book, and reading the book list back.
#include "workbook/book_lister.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/bstr.h"
#include "support/sandbox.h"

using namespace workbook;
using testsupport::makeSheetDatabase;
using testsupport::SheetDbSpec;
using testsupport::writeFile;

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

platform::FileTime fileTimeOfSeconds(int64_t seconds) {
    return uint64_t(seconds) * 10000000ull + kUnixEpochAsFileTime;
}

void setModified(const std::string& path, int64_t seconds) {
    timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

struct ListRecord {
    TextRecord record{};
    ListRecord(int16_t kind, std::string_view path) {
        record.number = kind;
        record.text = platform::allocByteString(path);
    }
    ~ListRecord() { platform::clearByteString(record.text); }
    std::string text() const { return std::string(platform::byteStringView(record.text)); }
};

class BookLister : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string folder = dir.makeDir("Folder");
    std::string lastListed = "unchanged";

    void putSheet(const std::string& fileName, SheetDbSpec spec) {
        writeFile(folder + "/" + fileName, makeSheetDatabase(spec));
    }
    int16_t list(ListRecord& r, platform::FileTime* time = nullptr) {
        return ListBookFiles(&r.record, time, lastListed);
    }
};

}  // namespace

TEST(BookMembership, BookNameThenEndOrHyphen) {
    EXPECT_TRUE(belongsToBook("Budget", "Budget"));
    EXPECT_TRUE(belongsToBook("BUDGET-jan", "Budget"));
    EXPECT_TRUE(belongsToBook("budget-", "Budget"));
    EXPECT_TRUE(belongsToBook("Budget-A-B", "Budget"));
    EXPECT_FALSE(belongsToBook("Budgets-Jan", "Budget"));
    EXPECT_FALSE(belongsToBook("Budge", "Budget"));
    EXPECT_FALSE(belongsToBook("Budget.old", "Budget"));
    EXPECT_TRUE(belongsToBook("-Jan", ""));
    EXPECT_FALSE(belongsToBook("Jan", ""));
}

TEST_F(BookLister, SheetDatabasesOfTheBook) {
    // Database names decide, not file names.
    putSheet("a.pdb", SheetDbSpec{"Budget"});
    putSheet("b.PDB", SheetDbSpec{"BUDGET-jan"});
    putSheet("c.pdb", SheetDbSpec{"Budgets-Jan"});
    putSheet("d.pdb", SheetDbSpec{"Budget-New", 72});  // newer than the library
    putSheet("e.pdb", SheetDbSpec{"Budget-Old", 49});
    SheetDbSpec foreign{"Budget-Doc"};
    foreign.creator = "REAd";
    putSheet("f.pdb", foreign);
    putSheet("PiTBPref.pdb", SheetDbSpec{"Budget-Pref"});
    putSheet("pitbdata.PDB", SheetDbSpec{"Budget-Data"});
    putSheet(".hidden.pdb", SheetDbSpec{"Budget-Hidden"});
    putSheet("g.csv", SheetDbSpec{"Budget-Csv"});
    dir.makeDir("Folder/h.pdb");
    writeFile(folder + "/short.pdb", std::string("too short"));

    ListRecord r(kListSheetDatabases, folder + "/Budget");
    ASSERT_EQ(list(r), 2);
    EXPECT_EQ(r.record.number, 2);
    EXPECT_EQ(r.text(), folder + "/Budget" + std::string("\0a.pdb\0b.PDB\0", 13));
    EXPECT_EQ(SysStringByteLen(r.record.text), folder.size() + 7 + 13);
    EXPECT_EQ(lastListed, "BUDGET-jan");  // the last file in name order
}

TEST_F(BookLister, BookNameFromThePath) {
    putSheet("Budget-Jan.pdb", SheetDbSpec{"Budget-Jan"});
    putSheet("Budget-Feb.pdb", SheetDbSpec{"Budget-Feb"});
    // A path naming one sheet's file: ".pdb" removed, cut at the last hyphen.
    ListRecord one(kListSheetDatabases, folder + "/Budget-Jan.PDB");
    ASSERT_EQ(list(one), 2);
    EXPECT_EQ(one.text(), folder + "/Budget" + std::string("\0Budget-Feb.pdb\0Budget-Jan.pdb\0", 31));
    // A path that is itself a folder is scanned, its last part the book name.
    std::string inner = dir.makeDir("Folder/Budget");
    writeFile(inner + "/x.pdb", makeSheetDatabase(SheetDbSpec{"Budget-Mar"}));
    ListRecord folderPath(kListSheetDatabases, inner);
    ASSERT_EQ(list(folderPath), 1);
    EXPECT_EQ(folderPath.text(), inner + "/Budget" + std::string("\0x.pdb\0", 7));
    EXPECT_EQ(lastListed, "Budget-Mar");
    // A backslash separates components too; the list joins with the
    // platform's separator.
    ListRecord backslash(kListSheetDatabases, folder + "\\Budget");
    ASSERT_EQ(list(backslash), 2);
    EXPECT_EQ(backslash.text(), folder + "/Budget" + std::string("\0Budget-Feb.pdb\0Budget-Jan.pdb\0", 31));
}

TEST_F(BookLister, NothingListedLeavesTheTextAndNoSheetToAskFor) {
    // Sheet databases of another book, then none at all, then no folder: the
    // number is 0, so no caller asks for a first sheet.
    putSheet("Other.pdb", SheetDbSpec{"Other"});
    struct Case {
        std::string path;
        int16_t result;
    } cases[] = {{folder + "/Budget", 0},
                 {dir.makeDir("Empty") + "/Budget", 0},
                 {dir.path() + "/NoSuchFolder/Budget", BF_ERR_PATH}};
    for (const Case& c : cases) {
        ListRecord r(kListSheetDatabases, c.path);
        EXPECT_EQ(list(r), c.result) << c.path;
        EXPECT_EQ(r.record.number, 0) << c.path;
        EXPECT_EQ(r.text(), c.path);
    }
    EXPECT_EQ(lastListed, "unchanged");
}

TEST_F(BookLister, Failures) {
    EXPECT_EQ(ListBookFiles(nullptr, nullptr, lastListed), BF_ERR_PARAMETER);
    ListRecord missing(kListSheetDatabases, dir.path() + "/NoSuchFolder/Budget");
    EXPECT_EQ(list(missing), BF_ERR_PATH);
    EXPECT_EQ(missing.text(), dir.path() + "/NoSuchFolder/Budget");
    ListRecord bare(kListSheetDatabases, "Budget");  // no folder at all: the current one is never used
    EXPECT_EQ(list(bare), BF_ERR_PATH);
    ListRecord empty(kListSheetDatabases, "");
    EXPECT_EQ(list(empty), BF_ERR_PATH);
    TextRecord noText{};
    noText.number = kListSheetDatabases;
    EXPECT_EQ(ListBookFiles(&noText, nullptr, lastListed), BF_ERR_PATH);
}

TEST_F(BookLister, CsvFilesWithAndWithoutATime) {
    const std::string names[] = {"Budget.csv",  "Budget-Jan.csv", "budget-feb.CSV",
                                 "Budgets.csv", "Budget-Mar.pdb", "Budget.txt"};
    int64_t seconds = 1000000000;
    for (const std::string& name : names) {
        writeFile(folder + "/" + name, std::string("\"1\",\"2\""));
        setModified(folder + "/" + name, seconds += 100);
    }
    // Without a time: every CSV file of the book, the one-sheet book's file
    // Budget.csv included.
    ListRecord all(2, folder + "/Budget.csv");
    ASSERT_EQ(list(all), 3);
    EXPECT_EQ(all.text(),
              folder + "/Budget" + std::string("\0budget-feb.CSV\0Budget-Jan.csv\0Budget.csv\0", 42));
    EXPECT_EQ(lastListed, "unchanged");  // only sheet databases set it

    // With a time: only files written after it; the time rises to the newest.
    platform::FileTime time = fileTimeOfSeconds(1000000000 + 200);  // Budget-Jan.csv's own time
    ListRecord newer(0, folder + "/Budget-Jan.csv");
    ASSERT_EQ(list(newer, &time), 1);
    EXPECT_EQ(newer.text(), folder + "/Budget" + std::string("\0budget-feb.CSV\0", 16));
    EXPECT_EQ(time, fileTimeOfSeconds(1000000000 + 300));

    // Nothing newer: nothing listed, the time stays.
    ListRecord none(0, folder + "/Budget.csv");
    EXPECT_EQ(list(none, &time), 0);
    EXPECT_EQ(time, fileTimeOfSeconds(1000000000 + 300));
    EXPECT_EQ(none.record.number, 0);
    EXPECT_EQ(none.text(), folder + "/Budget.csv");
}

TEST(BookList, FilesOfTheList) {
    std::string list("/f/Budget\0a.pdb\0b.pdb\0", 22);
    auto first = bookListFile(list, 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bookPath, "/f/Budget");
    EXPECT_EQ(first->fileName, "a.pdb");
    EXPECT_EQ(bookListFile(list, 2)->fileName, "b.pdb");
    EXPECT_FALSE(bookListFile(list, 3));
    EXPECT_FALSE(bookListFile(list, 0));
    EXPECT_FALSE(bookListFile(list, -1));
    // The last name may lack its NUL; an empty string ends the list.
    EXPECT_EQ(bookListFile(std::string("/f/B\0a\0b", 8), 2)->fileName, "b");
    EXPECT_FALSE(bookListFile(std::string("/f/B\0\0b\0", 8), 2));
    EXPECT_FALSE(bookListFile(std::string("\0a\0", 3), 1));
    EXPECT_FALSE(bookListFile("", 1));
    EXPECT_FALSE(bookListFile(std::string("/f/B", 4), 1));
    // Names that would lead out of the folder are not file names of a list.
    for (const char* bad : {"../x.pdb", "sub/x.pdb", "sub\\x.pdb", "..", "."}) {
        std::string l = std::string("/f/B", 4) + '\0' + bad + '\0';
        EXPECT_FALSE(bookListFile(l, 1)) << bad;
    }
}

TEST(BookList, FilePathReplacesTheBookName) {
    EXPECT_EQ(bookFilePath("/f/Budget", "Budget-Jan.pdb"), "/f/Budget-Jan.pdb");
    EXPECT_EQ(bookFilePath("C:\\f\\Budget", "x.pdb"), "C:\\f\\x.pdb");
    EXPECT_EQ(bookFilePath("/Budget", "x.pdb"), "/x.pdb");
    EXPECT_EQ(bookFilePath("Budget", "x.pdb"), "x.pdb");
}
