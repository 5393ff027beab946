// TBRegistry.dat reading and writing, and the in-memory registry it loads.
#include "foundation/link_registry.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>
#include <new>

#include "platform/faults.h"
#include "platform/registry.h"
#include "support/sandbox.h"

using foundation::HandheldBook;
using foundation::LinkEntry;
using foundation::LinkRegistry;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

HandheldBook book(const std::string& name, int16_t sign, int16_t category = 0, uint32_t counter = 0) {
    HandheldBook b;
    b.setBookName(name);
    b.versionSign = sign;
    b.category = category;
    b.changeCounter = counter;
    return b;
}

class LinkRegistryFile : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    LinkRegistry registry = box.linkRegistry();
    // What each user's Backup folder "holds", by user index.
    std::map<int, std::vector<HandheldBook>> backups;

    void SetUp() override {
        registry.findHandheldBooks = [this](int user, std::vector<HandheldBook>& out) {
            out = backups[user];
            return int(out.size());
        };
    }
    std::string file() { return box.registryFile(); }
    void writeRegistry(const std::string& lfText) {
        std::string crlf;
        for (char c : lfText) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        writeFile(file(), crlf);
    }
    std::string onDisk() {
        auto bytes = readFile(file());
        return std::string(bytes.begin(), bytes.end());
    }
    // Refreshes without / with saving; 0 or the negative error (the previous
    // lock mode a refresh returns is of no interest here).
    int load() {
        return ok(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No));
    }
    int save() {
        return ok(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::Yes));
    }
    static int ok(int rc) { return rc < 0 ? rc : 0; }
};

}  // namespace

TEST_F(LinkRegistryFile, BudgetLinkIsWrittenAsOneLine) {
    box.addUser("Ann", "101");
    ASSERT_EQ(load(), 0);
    LinkEntry link;
    link.book = book("Budget", foundation::kVersionSignDesktopOnly, 1);
    link.syncRule = foundation::kSyncSynchronize;
    link.lastSyncedCounter = foundation::kCounterImportNext;
    link.fontMapping = -1;
    link.pcPath = "C:\\Sheets\\Budget.xls";
    registry.insertLink(registry.userList[0], link);
    ASSERT_GE(save(), 0);
    EXPECT_EQ(onDisk(), "0\r\n[Ann]\r\nenabled=10\r\nBudget=0,1,-1,0,0,-1?C:\\Sheets\\Budget.xls\r\n");

    // And it reads back as it was written.
    ASSERT_EQ(load(), 0);
    LinkEntry* back = registry.findLink(0, "budget");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->pcPath, "C:\\Sheets\\Budget.xls");
    EXPECT_EQ(back->lastSyncedCounter, -1);
    EXPECT_EQ(back->fontMapping, -1);
    EXPECT_EQ(back->book.category, 1);
    EXPECT_EQ(back->book.versionSign, foundation::kVersionSignDesktopOnly);
}

TEST_F(LinkRegistryFile, OlderLinesWithoutFontMapping) {
    box.addUser("Ann", "101");
    writeRegistry("0\n[Ann]\nBudget=0,1,-1,0,0,C:\\Sheets\\Budget.xls\n");
    ASSERT_EQ(load(), 0);
    LinkEntry* link = registry.findLink(0, "Budget");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->fontMapping, 0);
    EXPECT_EQ(link->pcPath, "C:\\Sheets\\Budget.xls");
    EXPECT_EQ(registry.userList[0].enabled, 1);  // no "enabled=" line: enabled
    ASSERT_GE(save(), 0);                        // written back in the current form
    EXPECT_EQ(onDisk(), "0\r\n[Ann]\r\nenabled=10\r\nBudget=0,1,-1,0,0,0?C:\\Sheets\\Budget.xls\r\n");
}

TEST_F(LinkRegistryFile, CountersAreScrambledExceptZeroAndTheMarks) {
    box.addUser("Ann", "101");
    ASSERT_EQ(load(), 0);
    int32_t counters[] = {0, -1, -2, 5};
    const char* names[] = {"A", "B", "C", "D"};
    for (int i = 0; i < 4; ++i) {
        LinkEntry link;
        link.book = book(names[i], 1);
        link.lastSyncedCounter = counters[i];
        link.pcPath = std::string("/x/") + names[i] + ".xls";
        registry.insertLink(registry.userList[0], link);
    }
    ASSERT_GE(save(), 0);
    std::string text = onDisk();
    EXPECT_NE(text.find("A=0,0,0,0,0,0?/x/A.xls"), std::string::npos);
    EXPECT_NE(text.find("B=0,0,-1,0,0,0?/x/B.xls"), std::string::npos);
    EXPECT_NE(text.find("C=0,0,-2,0,0,0?/x/C.xls"), std::string::npos);
    // 5 XOR 0x5C3E9A71 = 0x5C3E9A74.
    EXPECT_NE(text.find("D=0,0,1547606644,0,0,0?/x/D.xls"), std::string::npos);
    ASSERT_EQ(load(), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(registry.findLink(0, names[i])->lastSyncedCounter, counters[i]);
    // A counter whose scrambled form has the top bit set is written as a negative number.
    EXPECT_EQ(foundation::formatLinkLine([] {
                  LinkEntry l;
                  l.book.setBookName("E");
                  l.lastSyncedCounter = int32_t(0xFFFFFFF0);
                  l.pcPath = "p";
                  return l;
              }()),
              "E=0,0,-1547606655,0,0,0?p\n");
}

TEST_F(LinkRegistryFile, UserWithoutLinkedPathsLeavesTheFileAndComesBackEnabled) {
    box.addUser("Ann", "101");
    box.addUser("Bo", "202");
    writeRegistry(
        "1\n[Ann]\nenabled=02\nBudget=0,1,-1,0,0,-1?/s/Budget.xls\n[Bo]\nenabled=11\nX=2,0,7,0,0,0?/s/"
        "X.csv\n");
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(registry.highResolution, 1);
    EXPECT_EQ(registry.userList[0].enabled, 0);
    EXPECT_EQ(registry.userList[0].deviceClass, 2);
    EXPECT_EQ(registry.userList[1].deviceClass, 1);
    registry.findLink(0, "Budget")->pcPath.clear();
    ASSERT_GE(save(), 0);
    EXPECT_EQ(onDisk(), "1\r\n[Bo]\r\nenabled=11\r\nX=2,0,7,0,0,0?/s/X.csv\r\n");
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(registry.userList[0].enabled, 1);
    EXPECT_EQ(registry.userList[0].deviceClass, 0);
}

TEST_F(LinkRegistryFile, BackupBooksMergeWithTheLinks) {
    box.addUser("Ann", "101");
    writeRegistry("0\n[Ann]\nBudget=0,3,-1,0,0,-1?/s/Budget.xls\nGone=0,0,4,0,0,0?/s/Gone.xls\n");
    backups[0] = {book("Accounts", -71, 2, 9), book("BUDGET", 71, 4, 12)};
    ASSERT_EQ(load(), 0);
    auto& links = registry.userList[0].links;
    ASSERT_EQ(links.size(), 3u);
    // A book that no line mentions is listed without a PC path.
    EXPECT_EQ(links[0].name(), "Accounts");
    EXPECT_TRUE(links[0].pcPath.empty());
    EXPECT_EQ(links[0].book.versionSign, -71);
    // A linked book found in Backup takes the whole HandheldBook, its name included.
    EXPECT_EQ(links[1].name(), "BUDGET");
    EXPECT_EQ(links[1].book.versionSign, 71);
    EXPECT_EQ(links[1].book.category, 4);
    EXPECT_EQ(links[1].book.changeCounter, 12u);
    EXPECT_EQ(links[1].pcPath, "/s/Budget.xls");
    // A line for a book that is not in Backup keeps versionSign 1.
    EXPECT_EQ(links[2].name(), "Gone");
    EXPECT_EQ(links[2].book.versionSign, 1);
    EXPECT_EQ(links[2].lastSyncedCounter, foundation::ScrambleCounter(4));  // stored scrambled
    // The book index counts the links with a path.
    ASSERT_EQ(registry.bookIndex.size(), 2u);
    EXPECT_EQ(registry.findBook("budget")->refCount, 1);
}

TEST_F(LinkRegistryFile, BookIndexCountsEveryUsersLinks) {
    box.addUser("Ann", "101");
    box.addUser("Bo", "202");
    box.addUser("Cy", "303");
    writeRegistry(
        "0\n[Ann]\nBudget=0,0,0,0,0,0?/s/Budget.xls\n[Cy]\nBudget=1,0,0,0,0,0?/s/Budget.xls\n"
        "[Bo]\nBudget=0,0,0\n");
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(registry.findBook("Budget")->refCount, 2);  // Bo's line has no path
    ASSERT_NE(registry.findLink(1, "Budget"), nullptr);
    EXPECT_TRUE(registry.findLink(1, "Budget")->pcPath.empty());
}

TEST_F(LinkRegistryFile, ReadingRules) {
    box.addUser("Ann", "101");
    box.addUser("ann", "102");
    std::string longName(40, 'L');
    writeRegistry(
        "x\n"
        "[ann]\nenabled=1\nLower=0,0,0,0,0,0?/s/lower.xls\n"
        "[Ann] trailing text\n"
        "\n"
        "Short=0,1,2\n" +
        longName +
        "=2,3,5,6,7,4?/s/long.csv\n"
        "no equals sign here\n"
        "=0,0,0,0,0,0?/s/nameless.xls\n"
        "Bad=0,x,0,0,0,0?/s/bad.xls\n"
        "Huge=0,0,4294967295,4294967296,-1,2?/s/huge.xls\n"
        "[Other]\nNot=0,0,0,0,0,0?/s/not.xls\n");
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(registry.highResolution, 0);  // a first line that is not "1" changes nothing
    auto& ann = registry.userList[0].links;
    auto& lower = registry.userList[1].links;
    ASSERT_EQ(lower.size(), 1u);  // sections are found with case
    EXPECT_EQ(lower[0].name(), "Lower");
    EXPECT_EQ(registry.userList[1].deviceClass, 0);  // "enabled=1" without a device class digit

    ASSERT_EQ(ann.size(), 4u) << "Bad, Huge, LLL..., Short";
    EXPECT_EQ(ann[0].name(), "Bad");
    EXPECT_TRUE(ann[0].pcPath.empty());  // a field that is not a number: no path
    EXPECT_EQ(ann[1].name(), "Huge");
    EXPECT_EQ(ann[1].lastSyncedCounter, -1);  // 4294967295 keeps its low 32 bits
    EXPECT_EQ(ann[1].csvSyncTime.low, 0u);
    EXPECT_EQ(ann[1].csvSyncTime.high, 0xFFFFFFFFu);
    EXPECT_EQ(ann[2].name(), std::string(31, 'L'));  // names are cut to 31 characters
    EXPECT_EQ(ann[2].syncRule, 2);
    EXPECT_EQ(ann[2].book.category, 3);
    EXPECT_EQ(ann[2].lastSyncedCounter, foundation::ScrambleCounter(5));
    EXPECT_EQ(ann[2].csvSyncTime.value(), (uint64_t(7) << 32) | 6);
    EXPECT_EQ(ann[2].fontMapping, 4);
    EXPECT_EQ(ann[3].name(), "Short");
    EXPECT_TRUE(ann[3].pcPath.empty());
    EXPECT_EQ(ann[3].book.category, 1);
}

TEST_F(LinkRegistryFile, LineFeedOnlyFilesAreRead) {
    box.addUser("Ann", "101");
    writeFile(file(), std::string("1\n[Ann]\nenabled=13\nBudget=0,1,-1,0,0,-1?/s/Budget.xls\n"));
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(registry.highResolution, 1);
    EXPECT_EQ(registry.userList[0].deviceClass, 3);
    EXPECT_EQ(registry.findLink(0, "Budget")->pcPath, "/s/Budget.xls");
}

TEST_F(LinkRegistryFile, MissingPiecesFailTheLoad) {
    // No user.
    EXPECT_EQ(load(), -1);
    EXPECT_TRUE(registry.userList.empty());
    box.addUser("Ann", "101");
    EXPECT_EQ(load(), 0);
    // No sync.dat: the lock fails and so does every refresh.
    std::remove((box.productFolder + "/sync.dat").c_str());
    EXPECT_EQ(load(), -1);
    // No product folder.
    testsupport::writeFile(box.productFolder + "/sync.dat", std::string(4, '\0'));
    EXPECT_EQ(load(), 0);
    platform::registry::deleteValue(platform::registry::Root::CurrentUser,
                                    {"Software", "Brightfold", "Tabulo"}, "Path");
    EXPECT_EQ(load(), -1);
    EXPECT_EQ(registry.LoadLinkRegistry(), -1);
}

TEST_F(LinkRegistryFile, LockModeIsRecordedInSyncDat) {
    box.addUser("Ann", "101");
    EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeHotSync, foundation::SaveFirst::No), 0);
    EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 1);
    EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 2);
    auto bytes = readFile(box.productFolder + "/sync.dat");
    ASSERT_EQ(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 2);
    // A sync.dat shorter than four bytes reads as mode 0.
    writeFile(box.productFolder + "/sync.dat", std::string("\x01", 1));
    EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
}

TEST_F(LinkRegistryFile, OnlyAnotherHolderMakesTheLockWait) {
    namespace faults = platform::faults;
    box.addUser("Ann", "101");
    // Each fault twice: a lock that waited would be taken at the third try.
    for (int error : {ENOLCK, EINVAL, EBADF}) {
        faults::arm(faults::Op::Lock, error, 0, 2);
        EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeHotSync, foundation::SaveFirst::No), -1)
            << error;
        faults::disarmAll();
        EXPECT_FALSE(registry.syncFile.isOpen()) << error;
    }
    // Held by another: one wait, then the lock; the failed tries wrote no mode.
    faults::arm(faults::Op::Lock, EAGAIN, 0, 1);
    EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeHotSync, foundation::SaveFirst::No), 0);
    faults::disarmAll();
}

TEST_F(LinkRegistryFile, ExceptionInTheLoadReleasesTheLock) {
    box.addUser("Ann", "101");
    registry.findHandheldBooks = [](int, std::vector<HandheldBook>&) -> int { throw std::bad_alloc(); };
    EXPECT_THROW(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No),
                 std::bad_alloc);
    auto other = platform::File::open(box.productFolder + "/sync.dat", platform::File::Mode::ReadWrite);
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->tryLockRange(0, 1));
}

TEST_F(LinkRegistryFile, DeviceClassIsOneCharacterAndValuesThatDoNotFitStayOut) {
    box.addUser("Ann", "101");
    writeRegistry("0\n[Ann]\nenabled=1A\nBudget=0,1,-1,0,0,-1?/s/Budget.xls\n");
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(registry.userList[0].deviceClass, 'A' - '0');  // a non-digit is read as its distance from '0'
    struct Case {
        int32_t value;
        char written;  // and read back as its digit
    };
    const Case cases[] = {{'A' - '0', '0'}, {0, '0'},  {7, '7'},  {9, '9'},
                          {10, '0'},        {12, '0'}, {-1, '0'}, {INT32_MIN, '0'}};
    for (const Case& c : cases) {
        registry.userList[0].deviceClass = c.value;
        ASSERT_EQ(save(), 0);  // writes, then loads what it wrote
        EXPECT_EQ(onDisk(), std::string("0\r\n[Ann]\r\nenabled=1") + c.written +
                                "\r\nBudget=0,1,-1,0,0,-1?/s/Budget.xls\r\n")
            << c.value;
        EXPECT_EQ(registry.userList[0].deviceClass, c.written - '0') << c.value;
    }
}

TEST_F(LinkRegistryFile, FailedSaveKeepsTheFileAndTheMemory) {
    box.addUser("Ann", "101");
    writeRegistry("0\n[Ann]\nBudget=0,1,-1,0,0,-1?/s/Budget.xls\n");
    std::string before = onDisk();
    ASSERT_EQ(load(), 0);
    registry.findLink(0, "Budget")->syncRule = 2;
    LinkEntry added;
    added.book = book("New", 1);
    added.pcPath = "/s/New.xls";
    registry.insertLink(registry.userList[0], added);

    platform::faults::arm(platform::faults::Op::Write, 28 /* ENOSPC */);
    EXPECT_EQ(save(), BF_ERR_WRITE);
    platform::faults::disarmAll();
    EXPECT_EQ(onDisk(), before);
    // Nothing was loaded over the unsaved registry: no user or link twice.
    ASSERT_EQ(registry.userList.size(), 1u);
    ASSERT_EQ(registry.userList[0].links.size(), 2u);
    EXPECT_EQ(registry.findLink(0, "Budget")->syncRule, 2);
    EXPECT_EQ(registry.findBook("Budget")->refCount, 1);

    // The next save that works writes the kept changes.
    ASSERT_GE(save(), 0);
    EXPECT_EQ(
        onDisk(),
        "0\r\n[Ann]\r\nenabled=10\r\nBudget=2,1,-1,0,0,-1?/s/Budget.xls\r\nNew=0,0,0,0,0,0?/s/New.xls\r\n");
    ASSERT_EQ(registry.userList[0].links.size(), 2u);
}

TEST_F(LinkRegistryFile, DroppingWithoutSaveForgetsChanges) {
    box.addUser("Ann", "101");
    writeRegistry("0\n[Ann]\nBudget=0,1,-1,0,0,-1?/s/Budget.xls\n");
    ASSERT_EQ(load(), 0);
    registry.findLink(0, "Budget")->pcPath = "/elsewhere.xls";
    registry.highResolution = 1;
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(registry.findLink(0, "Budget")->pcPath, "/s/Budget.xls");
    EXPECT_EQ(registry.highResolution, 1);  // the flag lives on between loads
    registry.UnloadTBMData(foundation::SaveFirst::No);
    EXPECT_FALSE(registry.loaded());
    EXPECT_TRUE(registry.userList.empty());
}

TEST(LinkLines, ParseAndFormat) {
    foundation::ParsedLinkLine p;
    EXPECT_FALSE(foundation::parseLinkLine("no equals", p));
    EXPECT_FALSE(foundation::parseLinkLine("=1,2,3,4,5,6?x", p));
    ASSERT_TRUE(foundation::parseLinkLine("B=1,2,3,4,5,", p));
    EXPECT_FALSE(p.complete);  // the path is missing
    ASSERT_TRUE(foundation::parseLinkLine("B=1,2,3,4,5,?/p?q", p));
    EXPECT_TRUE(p.complete);  // empty font mapping reads as 0; the path runs past a second "?"
    EXPECT_EQ(p.link.fontMapping, 0);
    EXPECT_EQ(p.link.pcPath, "/p?q");
    ASSERT_TRUE(foundation::parseLinkLine("B=1,2,3,4,5,-1?/a,b.csv", p));
    EXPECT_EQ(p.link.pcPath, "/a,b.csv");
    EXPECT_EQ(foundation::formatLinkLine(p.link), "B=1,2,3,4,5,-1?/a,b.csv\n");
}

TEST_F(LinkRegistryFile, LinesOfOneNameKeepTheirOrder) {
    box.addUser("Ann", "101");
    writeRegistry("0\n[Ann]\nOld=0,2,1,0,0,-1?/first.xls\nold=0,2,3,4,5,/second.xls\n");
    ASSERT_EQ(load(), 0);
    ASSERT_EQ(registry.userList[0].links.size(), 2u);
    EXPECT_EQ(registry.findLink(0, "OLD")->pcPath, "/first.xls");
    ASSERT_GE(save(), 0);
    std::string once = onDisk();
    ASSERT_EQ(load(), 0);
    ASSERT_GE(save(), 0);
    EXPECT_EQ(onDisk(), once);
    EXPECT_LT(once.find("/first.xls"), once.find("/second.xls"));
}

TEST(LinkFileText, SurvivesMovesAndCopiesOfShortTexts) {
    // A text this short lives inside the string object: lines must not point
    // at the object the text was moved out of.
    foundation::LinkFileText text("[A]\nx=1\n");
    foundation::LinkFileText moved = std::move(text);
    foundation::LinkFileText copied = moved;
    moved = foundation::LinkFileText("1\n");
    auto lines = copied.section("A");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "x=1");
    EXPECT_EQ(moved.firstLine(), "1");
}
