// The text library's link registry: QLRegistry.dat lines and sections, the
// load that merges each user's Palm Doc databases from Backup, the search of
// Backup itself, and sync.dat, which this variant creates when missing.
#include <cerrno>
#include <filesystem>

#include "foundation/sync_lock.h"
#include "platform/faults.h"
#include "support/sandbox.h"
#include "text/doc_registry.h"
#include "textlink_testing.h"

using testsupport::writeFile;
using text::DocLinkEntry;
using text::ParsedDocLine;
using textlinktest::crlf;
using textlinktest::textOf;

namespace fs = std::filesystem;

namespace {

ParsedDocLine parse(const std::string& line, bool expectEntry = true) {
    ParsedDocLine p;
    EXPECT_EQ(text::parseDocLinkLine(line, p), expectEntry) << line;
    return p;
}

std::vector<int32_t> numbersOf(const DocLinkEntry& e) {
    return {e.syncRule, e.category, e.lastSyncedCounter, e.syncTimeLow, e.syncTimeHigh};
}

std::vector<std::string> namesOf(const std::vector<DocLinkEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.emplace_back(e.name());
    return out;
}

std::vector<std::string> namesOf(const std::vector<text::DocFileEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.emplace_back(e.fileName());
    return out;
}

void putDoc(const std::string& path, const char* type = "TEXt", const char* creator = "REAd") {
    textlinktest::DocDbSpec spec{"doc", {"text"}};
    spec.type = type;
    spec.creator = creator;
    writeFile(path, textlinktest::makeDocDatabase(spec));
}

}  // namespace

TEST(DocLinkLine, FiveNumbersAndAPathRoundTrip) {
    ParsedDocLine p = parse("Notes.pdb=1,2,3,4,5,C:\\Docs\\Notes.txt");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.entry.name(), "Notes.pdb");
    EXPECT_EQ(numbersOf(p.entry), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(p.entry.pcPath, "C:\\Docs\\Notes.txt");
    EXPECT_EQ(text::formatDocLinkLine(p.entry), "Notes.pdb=1,2,3,4,5,C:\\Docs\\Notes.txt\n");

    // The third number is stored as it is (no counter scrambling), negative
    // numbers keep their sign, and the path may hold "=" and "?".
    p = parse("A=-1,-2,5,-2147483648,2147483647,/x=y?z");
    EXPECT_EQ(numbersOf(p.entry), (std::vector<int32_t>{-1, -2, 5, INT32_MIN, INT32_MAX}));
    EXPECT_EQ(p.entry.pcPath, "/x=y?z");
    EXPECT_EQ(text::formatDocLinkLine(p.entry), "A=-1,-2,5,-2147483648,2147483647,/x=y?z\n");
}

TEST(DocLinkLine, PathEndsAtTheNextComma) {
    ParsedDocLine p = parse("Memo=1,2,3,4,5,C:\\My,Docs\\Memo.txt");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.entry.pcPath, "C:\\My");
    EXPECT_EQ(text::formatDocLinkLine(p.entry), "Memo=1,2,3,4,5,C:\\My\n");
}

TEST(DocLinkLine, LineLackingAFieldKeepsTheNumbersBeforeTheGap) {
    struct Case {
        const char* line;
        std::vector<int32_t> numbers;
    };
    for (const Case& c : {Case{"A=7,8", {7, 8, 0, 0, 0}}, Case{"A=1,2,3,4,5", {1, 2, 3, 4, 5}},
                          Case{"A=1,2,3,4,5,", {1, 2, 3, 4, 5}}, Case{"A=1,x,3,4,5,/p", {1, 0, 0, 0, 0}},
                          Case{"A=", {0, 0, 0, 0, 0}}, Case{"A=9,,3,4,5,/p", {9, 0, 0, 0, 0}}}) {
        ParsedDocLine p = parse(c.line);
        EXPECT_FALSE(p.complete) << c.line;
        EXPECT_EQ(p.entry.pcPath, "") << c.line;
        EXPECT_EQ(numbersOf(p.entry), c.numbers) << c.line;
    }
}

TEST(DocLinkLine, LinesWithoutANameAreNoEntries) {
    parse("no equals sign here", false);
    parse("=1,2,3,4,5,/p", false);
    parse("", false);
    parse(std::string("\0A=1,2,3,4,5,/p", 15), false);
    // A NUL ends the line.
    ParsedDocLine p = parse(std::string("A=1,2,3,4,5,/p\0ath", 18));
    EXPECT_EQ(p.entry.pcPath, "/p");
    p = parse(std::string("A\0B=1,2,3,4,5,/p", 16), false);
}

TEST(DocLinkLine, SecondNumberIsHeldInSixteenBitsAndNamesInSixtyThreeCharacters) {
    ParsedDocLine p = parse("A=1,70000,3,4,5,/p");
    EXPECT_EQ(p.entry.category, int16_t(70000 - 65536));
    EXPECT_EQ(text::formatDocLinkLine(p.entry), "A=1,4464,3,4,5,/p\n");

    std::string longName(70, 'n');
    p = parse(longName + "=1,2,3,4,5,/p");
    EXPECT_EQ(p.entry.name(), std::string(63, 'n'));
}

TEST(QLRegistryText, SectionsAreFoundByExactNameAndKeepEqualNamesInFileOrder) {
    foundation::LinkFileText file(
        crlf("[ann]\nx.pdb=0,0,0,0,0,/lower\n[Ann]\n\nb.pdb=1,0,0,0,0,/b\nA.pdb=2,0,0,0,0,/A1\n"
             "no line\na.pdb=3,0,0,0,0,/a2\n[Bob]\nz.pdb=0,0,0,0,0,/z\n"));
    std::vector<DocLinkEntry> ann = text::readDocSection(file, "Ann");
    EXPECT_EQ(namesOf(ann), (std::vector<std::string>{"A.pdb", "a.pdb", "b.pdb"}));
    EXPECT_EQ(ann[0].pcPath, "/A1");
    EXPECT_EQ(ann[1].pcPath, "/a2");
    EXPECT_TRUE(text::readDocSection(file, "ANN").empty());
    EXPECT_TRUE(text::readDocSection(foundation::LinkFileText(), "Ann").empty());
}

// ---- findDocDatabases ------------------------------------------------------

TEST(FindDocDatabases, ListsTextDatabasesSortedWithoutCase) {
    testsupport::Sandbox box("Quillo");
    int jo = box.addUser("Jo", "1");
    putDoc(box.backup(jo) + "/a.pdb");
    putDoc(box.backup(jo) + "/B.PDB");
    putDoc(box.backup(jo) + "/c.pdb", "Data", "PiTB");   // another type
    putDoc(box.backup(jo) + "/d.pdb", "TEXt", "other");  // another creator
    putDoc(box.backup(jo) + "/.hidden.pdb");
    putDoc(box.backup(jo) + "/notes.txt");  // not a .pdb name
    writeFile(box.backup(jo) + "/short.pdb", std::string(40, 'x'));
    fs::create_directories(box.backup(jo) + "/folder.pdb");
    putDoc(box.backup(jo) + "/" + std::string(61, 'L') + ".pdb");  // 65 characters: does not fit
    std::vector<text::DocFileEntry> found;
    EXPECT_EQ(text::findDocDatabases(box.userFolder(jo), "Backup", found), 2);
    EXPECT_EQ(namesOf(found), (std::vector<std::string>{"a.pdb", "B.PDB"}));
    EXPECT_NE(found[0].newestTime.value(), 0u);
}

TEST(FindDocDatabases, WithoutBackupTheUserFolderIsSearched) {
    testsupport::Sandbox box("Quillo");
    int jo = box.addUser("Jo", "1");
    fs::remove_all(box.backup(jo));
    putDoc(box.userFolder(jo) + "/Here.pdb");
    std::vector<text::DocFileEntry> found;
    EXPECT_EQ(text::findDocDatabases(box.userFolder(jo), "Backup", found), 1);
    EXPECT_EQ(namesOf(found), (std::vector<std::string>{"Here.pdb"}));

    // A Backup folder name of several parts falls back to its parent.
    fs::create_directories(box.userFolder(jo) + "/sub");
    putDoc(box.userFolder(jo) + "/sub/Sub.pdb");
    EXPECT_EQ(text::findDocDatabases(box.userFolder(jo), "sub/missing", found), 1);
    EXPECT_EQ(namesOf(found), (std::vector<std::string>{"Sub.pdb"}));
}

TEST(FindDocDatabases, FoldersThatCannotBeSearchedGiveMinus15AndAnEmptyList) {
    testsupport::Sandbox box("Quillo");
    int jo = box.addUser("Jo", "1");
    putDoc(box.backup(jo) + "/a.pdb");
    std::vector<text::DocFileEntry> found(3);
    EXPECT_EQ(text::findDocDatabases("", "Backup", found), BF_ERR_PATH);
    EXPECT_TRUE(found.empty());
    // A network path names no drive; a relative path names no root.
    EXPECT_EQ(text::findDocDatabases("\\\\server\\share\\Jo", "Backup", found), BF_ERR_PATH);
    EXPECT_EQ(text::findDocDatabases("palm/Jo", "Backup", found), BF_ERR_PATH);
    EXPECT_EQ(text::findDocDatabases(box.dir.file("nobody"), "Backup", found), BF_ERR_PATH);
    EXPECT_TRUE(found.empty());
    platform::faults::arm(platform::faults::Op::ListDir, EACCES);
    EXPECT_EQ(text::findDocDatabases(box.userFolder(jo), "Backup", found), BF_ERR_PATH);
    platform::faults::disarmAll();
    EXPECT_EQ(text::findDocDatabases(box.userFolder(jo), "Backup", found), 1);
}

TEST(FindDocDatabases, ANameMetInTwoCasesIsListedOnceWithTheNewestTime) {
    testsupport::Sandbox box("Quillo");
    int jo = box.addUser("Jo", "1");
    putDoc(box.backup(jo) + "/Notes.pdb");
    putDoc(box.backup(jo) + "/NOTES.pdb");
    auto older = fs::last_write_time(box.backup(jo) + "/Notes.pdb") - std::chrono::hours(24);
    fs::last_write_time(box.backup(jo) + "/NOTES.pdb", older);
    auto newest = *platform::lastWriteTime(box.backup(jo) + "/Notes.pdb");
    std::vector<text::DocFileEntry> found;
    ASSERT_EQ(text::findDocDatabases(box.userFolder(jo), "Backup", found), 1);
    EXPECT_TRUE(found[0].fileName() == "Notes.pdb" || found[0].fileName() == "NOTES.pdb");
    EXPECT_EQ(found[0].newestTime.value(), newest);
}

// ---- loading and saving ------------------------------------------------------

namespace {

class DocRegistryLoad : public ::testing::Test {
protected:
    testsupport::Sandbox box{"Quillo"};
    text::DocRegistry registry;

    void writeRegistry(const std::string& lfText) { writeFile(box.registryFile(), crlf(lfText)); }
    std::string onDisk() { return textOf(box.registryFile()); }
    int load() {
        return ok(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No));
    }
    int save() {
        return ok(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::Yes));
    }
    static int ok(int rc) { return rc < 0 ? rc : 0; }
    const std::vector<DocLinkEntry>& entries(int user) { return registry.userList.at(size_t(user)).entries; }
};

}  // namespace

TEST_F(DocRegistryLoad, NotesLineMatchedInBackupIsWrittenBackWithSecondNumberZero) {
    int jo = box.addUser("Jo", "7");
    putDoc(box.backup(jo) + "/Notes.pdb");
    writeRegistry("[Jo]\nNotes.pdb=1,2,3,4,5,C:\\Docs\\Notes.txt\n");
    ASSERT_EQ(load(), 0);
    ASSERT_EQ(save(), 0);
    EXPECT_EQ(onDisk(), "[Jo]\r\nNotes.pdb=1,0,3,4,5,C:\\Docs\\Notes.txt\r\n");
}

TEST_F(DocRegistryLoad, MemoLineIsWrittenBackWithThePathCutAtTheComma) {
    box.addUser("Jo", "7");
    writeRegistry("[Jo]\nMemo=1,2,3,4,5,C:\\My,Docs\\Memo.txt\n");
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(entries(0).at(0).pcPath, "C:\\My");
    ASSERT_EQ(save(), 0);
    EXPECT_EQ(onDisk(), "[Jo]\r\nMemo=1,2,3,4,5,C:\\My\r\n");
}

TEST_F(DocRegistryLoad, MatchedEntryTakesTheFoundNameAndTimeAndKeepsItsPath) {
    int jo = box.addUser("Jo", "7");
    int al = box.addUser("Al", "8");
    putDoc(box.backup(jo) + "/Notes.pdb");
    putDoc(box.backup(jo) + "/Found.pdb");
    putDoc(box.backup(al) + "/Other.pdb");
    writeRegistry("[Jo]\nnotes.PDB=4,2,3,4,5,/d/n.txt\nOld.pdb=1,2,3,4,5,/d/old.txt\nHalf=6,7\n");
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(namesOf(entries(jo)), (std::vector<std::string>{"Found.pdb", "Half", "Notes.pdb", "Old.pdb"}));
    const DocLinkEntry* notes = registry.findEntry(jo, "NOTES.PDB");
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->name(), "Notes.pdb");
    EXPECT_EQ(notes->file.newestTime.value(), *platform::lastWriteTime(box.backup(jo) + "/Notes.pdb"));
    EXPECT_EQ(numbersOf(*notes), (std::vector<int32_t>{4, 0, 3, 4, 5}));
    EXPECT_EQ(notes->pcPath, "/d/n.txt");
    // An entry that stands only in the file is listed like a found one, with
    // its numbers; a found database without a line has no path.
    EXPECT_EQ(registry.findEntry(jo, "Old.pdb")->category, 2);
    EXPECT_EQ(registry.findEntry(jo, "Old.pdb")->file.newestTime.value(), 0u);
    EXPECT_EQ(registry.findEntry(jo, "Found.pdb")->pcPath, "");
    EXPECT_EQ(numbersOf(*registry.findEntry(jo, "Half")), (std::vector<int32_t>{6, 7, 0, 0, 0}));
    EXPECT_EQ(namesOf(entries(al)), (std::vector<std::string>{"Other.pdb"}));

    ASSERT_EQ(save(), 0);
    EXPECT_EQ(onDisk(), "[Jo]\r\nNotes.pdb=4,0,3,4,5,/d/n.txt\r\nOld.pdb=1,2,3,4,5,/d/old.txt\r\n");
}

TEST_F(DocRegistryLoad, NoFileGivesTheDatabasesAndSavingCreatesAnEmptyFile) {
    int jo = box.addUser("Jo", "7");
    putDoc(box.backup(jo) + "/b.pdb");
    putDoc(box.backup(jo) + "/A.pdb");
    ASSERT_FALSE(fs::exists(box.registryFile()));
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(namesOf(entries(jo)), (std::vector<std::string>{"A.pdb", "b.pdb"}));
    ASSERT_EQ(save(), 0);
    ASSERT_TRUE(fs::exists(box.registryFile()));
    EXPECT_EQ(onDisk(), "");
}

TEST_F(DocRegistryLoad, FileHasNoFirstLineAndNoEnabledLine) {
    box.addUser("Jo", "7");
    writeRegistry("1\n[Jo]\nenabled=13\nA.pdb=0,1,0,0,0,/a\n");
    ASSERT_EQ(load(), 0);
    // "enabled=13" is an entry named "enabled" without a path here.
    EXPECT_EQ(namesOf(entries(0)), (std::vector<std::string>{"A.pdb", "enabled"}));
    ASSERT_EQ(save(), 0);
    EXPECT_EQ(onDisk(), "[Jo]\r\nA.pdb=0,1,0,0,0,/a\r\n");
}

TEST_F(DocRegistryLoad, UnsafeNamesFromTheFileGiveNoDatabasePath) {
    int jo = box.addUser("Jo", "7");
    writeRegistry("[Jo]\n../../x.pdb=0,0,0,0,0,/a\nok.pdb=0,0,0,0,0,/b\n");
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(registry.backupDatabasePath(jo, "../../x.pdb"), "");
    EXPECT_EQ(registry.backupDatabasePath(jo, "AUX.pdb"), "");
    EXPECT_EQ(registry.backupDatabasePath(jo, "ok.pdb"), box.backup(jo) + "/ok.pdb");
    EXPECT_EQ(registry.backupDatabasePath(-1, "ok.pdb"), "");
}

TEST_F(DocRegistryLoad, UnreadableFileIsNeitherLoadedNorSavedAsEmpty) {
    namespace faults = platform::faults;
    int jo = box.addUser("Jo", "7");
    writeRegistry("[Jo]\nNotes.pdb=1,2,3,4,5,/d/n.txt\n");
    const std::string before = onDisk();
    ASSERT_EQ(load(), 0);
    // A refresh reads sync.dat's lock mode first, then the file. Without
    // saving, the lists are gone before the load: nothing is left to write.
    faults::arm(faults::Op::Read, EIO, 1, 1);
    EXPECT_EQ(load(), BF_ERR_OPEN);
    faults::disarmAll();
    EXPECT_FALSE(registry.loaded());
    EXPECT_EQ(save(), 0);
    EXPECT_EQ(onDisk(), before);
    // A load over loaded lists writes them, then keeps them when the file
    // cannot be read back.
    faults::arm(faults::Op::Read, EIO, 0, 1);
    EXPECT_EQ(registry.LoadLinkRegistry(), BF_ERR_OPEN);
    faults::disarmAll();
    EXPECT_EQ(onDisk(), before);
    ASSERT_NE(registry.findEntry(jo, "Notes.pdb"), nullptr);
    EXPECT_EQ(registry.findEntry(jo, "Notes.pdb")->pcPath, "/d/n.txt");
}

TEST(DocRegistrySync, MissingSyncDatIsCreatedHoldingMode2) {
    testsupport::Sandbox box("Quillo", /*withSyncFile=*/false);
    box.addUser("Jo", "7");
    text::DocRegistry registry;
    ASSERT_GE(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
    EXPECT_TRUE(testsupport::sameBytes({2, 0, 0, 0}, testsupport::readFile(box.productFolder + "/sync.dat")));
    EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeCommandLine, foundation::SaveFirst::No), 2);
    EXPECT_TRUE(testsupport::sameBytes({0, 0, 0, 0}, testsupport::readFile(box.productFolder + "/sync.dat")));
}

TEST(DocRegistrySync, OpenFailureShowsTheMessageABoundedNumberOfTimes) {
    testsupport::Sandbox box("Quillo", /*withSyncFile=*/false);
    box.addUser("Jo", "7");
    text::DocRegistry registry;
    {
        textlinktest::ScopedRecorder recorder;
        platform::faults::arm(platform::faults::Op::Open, EACCES);
        EXPECT_EQ(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), -1);
        platform::faults::disarmAll();
        ASSERT_EQ(recorder.boxes().size(), size_t(foundation::kSyncOpenAttempts));
        for (const auto& box : recorder.details()) {
            EXPECT_EQ(box.caption, "Export");
            EXPECT_EQ(box.text, "CreateFile failed, 13, 8007000d\n");
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_EQ(box.icon, platform::ui::Icon::Error);
        }
    }
    // The open that succeeds on a later try ends the messages.
    textlinktest::ScopedRecorder recorder;
    platform::faults::arm(platform::faults::Op::Open, ENOSPC, 0, 2);
    EXPECT_GE(registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
    platform::faults::disarmAll();
    EXPECT_EQ(recorder.boxes(), (std::vector<std::string>(2, "Export: CreateFile failed, 28, 8007001c\n")));
}
