// The text library's own conversions on a state of its own: exportToUser and
// convertTextFileToDoc into a user's Install folder, convertDocToTextFile
// with its replace question, and the one-call export by user name.
#include <cerrno>
#include <filesystem>

#include "platform/bstr.h"
#include "platform/faults.h"
#include "support/sandbox.h"
#include "text/textlink_state.h"
#include "textlink_testing.h"

using testsupport::writeFile;
using textlinktest::textOf;

namespace fs = std::filesystem;

namespace {

class TextlinkState : public ::testing::Test {
protected:
    testsupport::Sandbox box{"Quillo"};
    text::TextlinkState state;
    int jo = -1;

    void SetUp() override {
        jo = box.addUser("Jo", "4242");
        ASSERT_TRUE(text::attachTextlink(state));
    }
    void TearDown() override {
        text::detachTextlink(state);
        platform::faults::disarmAll();
    }
    // A text file in the sandbox.
    std::string source(const std::string& name, const std::string& content) {
        std::string path = box.dir.file(name);
        writeFile(path, content);
        return path;
    }
    // The text of a database as ReadDoc hands it out.
    std::string readBack(const std::string& database) {
        std::string out = box.dir.file("readback.txt");
        fs::remove(out);
        EXPECT_EQ(text::convertDocToTextFile(state, database, out), 0);
        return textOf(out);
    }
};

}  // namespace

TEST_F(TextlinkState, ExportWithoutSourceLeavesTheInstallFolder) {
    DocTransferRecord record{};
    record.user = int16_t(jo);
    record.path = platform::allocByteString("old");
    EXPECT_EQ(text::exportToUser(state, &record, nullptr), 0);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(platform::byteStringView(record.path), box.install(jo) + "/");

    // A negative user leaves the record's path alone.
    record.user = -1;
    EXPECT_EQ(text::exportToUser(state, &record, nullptr), 0);
    EXPECT_EQ(platform::byteStringView(record.path), box.install(jo) + "/");
    platform::clearByteString(record.path);
}

TEST_F(TextlinkState, ExportWritesTheDatabaseIntoTheUsersInstallFolder) {
    std::string notes = source("notes.txt", "Line one\r\nLine two\r\n");
    DocTransferRecord record{};
    record.user = int16_t(jo);
    EXPECT_EQ(text::exportToUser(state, &record, &notes), 0);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.data, nullptr);
    EXPECT_EQ(platform::byteStringView(record.path), box.install(jo) + "/notes.txt");
    platform::clearByteString(record.path);

    std::string database = box.install(jo) + "/notes.pdb";
    ASSERT_TRUE(fs::exists(database));
    auto bytes = testsupport::readFile(database);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), std::string("notes\0", 6));
    EXPECT_EQ(box.installFlag("4242"), 1);
    EXPECT_EQ(readBack(database), "Line one \nLine two \n");
}

TEST_F(TextlinkState, ExportRefusesUsersWithoutAFolderAndSourcesWithoutAName) {
    std::string notes = source("notes.txt", "x");
    DocTransferRecord record{};
    record.user = 5;  // no such user key
    EXPECT_EQ(text::exportToUser(state, &record, &notes), BF_ERR_PATH);
    EXPECT_EQ(record.status, BF_ERR_PATH);
    EXPECT_EQ(record.path, nullptr);
    record.user = int16_t(jo);
    std::string folder = box.dir.path() + "/";
    EXPECT_EQ(text::exportToUser(state, &record, &folder), BF_ERR_PATH);
    for (std::string name : {"con.txt", "what?.txt", "notes.txt."}) {  // no file of that name on Windows
        std::string unsafe = source(name, "x");
        EXPECT_EQ(text::exportToUser(state, &record, &unsafe), BF_ERR_PATH) << name;
    }
    std::string missing = box.dir.file("missing.txt");
    EXPECT_EQ(text::exportToUser(state, &record, &missing), BF_ERR_OPEN);
    EXPECT_EQ(record.status, BF_ERR_OPEN);
    platform::clearByteString(record.path);
    EXPECT_TRUE(fs::is_empty(box.install(jo)));
}

TEST_F(TextlinkState, LongSourceIsStreamedIn8192BytePieces) {
    std::string text;
    for (int i = 0; text.size() < 20000; ++i) text += "word" + std::to_string(i) + ' ';
    text.resize(20000);
    std::string path = source("long.txt", text);
    DocTransferRecord record{};
    record.user = int16_t(jo);
    ASSERT_EQ(text::exportToUser(state, &record, &path), 0);
    platform::clearByteString(record.path);
    auto bytes = testsupport::readFile(box.install(jo) + "/long.pdb");
    ASSERT_GT(bytes.size(), 78u);
    EXPECT_EQ((bytes[76] << 8) | bytes[77], 4);  // record 0 and three text records
    EXPECT_EQ(readBack(box.install(jo) + "/long.pdb"), text);
}

TEST_F(TextlinkState, ReadErrorInTheSourceWritesNoDatabase) {
    std::string path = source("long.txt", std::string(20000, 'a'));
    DocTransferRecord record{};
    record.user = int16_t(jo);
    platform::faults::arm(platform::faults::Op::Read, EIO, 1);
    EXPECT_EQ(text::exportToUser(state, &record, &path), BF_ERR_OPEN);
    platform::faults::disarmAll();
    EXPECT_EQ(record.status, BF_ERR_OPEN);
    EXPECT_FALSE(fs::exists(box.install(jo) + "/long.pdb"));
    // The document was ended: the next conversion starts a new one.
    EXPECT_EQ(state.doc.open, text::DocDirection::None);
    EXPECT_EQ(text::exportToUser(state, &record, &path), 0);
    platform::clearByteString(record.path);
    EXPECT_TRUE(fs::exists(box.install(jo) + "/long.pdb"));
}

TEST_F(TextlinkState, ConversionsLeaveADocumentOfTheCallerAlone) {
    DocTransferRecord caller{};
    caller.path = platform::allocByteString(box.dir.file("callers.txt"));
    caller.data = const_cast<char*>("caller's text");
    caller.length = 13;
    ASSERT_EQ(text::writeDoc(state.doc, &caller), 0);

    std::string notes = source("notes.txt", "other text");
    DocTransferRecord record{};
    record.user = int16_t(jo);
    EXPECT_EQ(text::exportToUser(state, &record, &notes), BF_ERR_PROGRAM);
    EXPECT_EQ(text::convertDocToTextFile(state, box.dir.file("x.pdb"), box.dir.file("x.txt")),
              BF_ERR_PROGRAM);
    platform::clearByteString(record.path);

    caller.data = nullptr;
    caller.length = 0;
    EXPECT_EQ(text::flushDocument(state, &caller), 0);
    platform::clearByteString(caller.path);
    EXPECT_EQ(readBack(box.dir.file("callers.pdb")), "caller's text");
}

// ---- convertDocToTextFile ------------------------------------------------------

namespace {

std::string makeDatabase(const testsupport::Sandbox& box, const std::vector<std::string>& texts) {
    std::string path = box.dir.file("db.pdb");
    writeFile(path, textlinktest::makeDocDatabase({"db", texts}));
    return path;
}

}  // namespace

TEST_F(TextlinkState, AnsweringNoLeavesTheTextFileUntouched) {
    std::string database = makeDatabase(box, {"new"});
    std::string target = source("target.txt", "the old and longer content");
    textlinktest::ScopedRecorder recorder({platform::ui::IdNo});
    EXPECT_EQ(text::convertDocToTextFile(state, database, target), BF_ERR_CANCELLED);
    EXPECT_EQ(textOf(target), "the old and longer content");
    ASSERT_EQ(recorder.details().size(), 1u);
    const platform::ui::MessageBox& box0 = recorder.details()[0];
    EXPECT_EQ(box0.caption, "Save As");
    EXPECT_EQ(box0.text, target + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(box0.buttons, platform::ui::Buttons::YesNo);
    EXPECT_EQ(box0.icon, platform::ui::Icon::Warning);
    EXPECT_EQ(state.doc.open, text::DocDirection::None);
}

TEST_F(TextlinkState, TheHeadlessBackendAnswersNo) {
    std::string database = makeDatabase(box, {"new"});
    std::string target = source("target.txt", "old");
    testsupport::ScopedEnv ui("BRIGHTFOLD_UI", "headless");
    platform::ui::setBackend(nullptr);
    EXPECT_EQ(text::convertDocToTextFile(state, database, target), BF_ERR_CANCELLED);
    EXPECT_EQ(textOf(target), "old");
}

TEST_F(TextlinkState, AnsweringYesReplacesTheWholeContentEvenWhenShorter) {
    std::string database = makeDatabase(box, {"first \n", "second"});
    std::string target = source("target.txt", std::string(500, 'o'));
    textlinktest::ScopedRecorder recorder({platform::ui::IdYes});
    EXPECT_EQ(text::convertDocToTextFile(state, database, target), 0);
    EXPECT_EQ(textOf(target), "first \nsecond");
    EXPECT_EQ(recorder.boxes().size(), 1u);
}

TEST_F(TextlinkState, NewTextFileIsWrittenWithoutAQuestion) {
    std::string database = makeDatabase(box, {"only"});
    textlinktest::ScopedRecorder recorder;
    EXPECT_EQ(text::convertDocToTextFile(state, database, box.dir.file("new.txt")), 0);
    EXPECT_EQ(textOf(box.dir.file("new.txt")), "only");
    EXPECT_TRUE(recorder.boxes().empty());
}

TEST_F(TextlinkState, UnreadableDatabaseLeavesTheReplacedFileAsItWas) {
    std::string target = source("target.txt", "keep me");
    writeFile(box.dir.file("bad.pdb"), std::string(50, 'x'));
    textlinktest::ScopedRecorder recorder({platform::ui::IdYes, platform::ui::IdYes, platform::ui::IdYes});
    EXPECT_EQ(text::convertDocToTextFile(state, box.dir.file("bad.pdb"), target), BF_ERR_OPEN);
    EXPECT_EQ(text::convertDocToTextFile(state, box.dir.file("none.pdb"), target), BF_ERR_OPEN);
    writeFile(box.dir.file("foreign.pdb"), [] {
        auto bytes = textlinktest::makeDocDatabase({"f", {"abc"}});
        bytes[78 + 16 + 2 + 1] = 9;  // record 0's compression byte
        return bytes;
    }());
    EXPECT_EQ(text::convertDocToTextFile(state, box.dir.file("foreign.pdb"), target), BF_ERR_AUTHORIZATION);
    EXPECT_EQ(textOf(target), "keep me");
    EXPECT_EQ(state.doc.open, text::DocDirection::None);
}

TEST_F(TextlinkState, AFailedConversionLeavesTheOldTextFileAndNoTemporaryFile) {
    const std::string good = makeDatabase(box, {"one", "two", "three", "four"});
    // Compressed records, the third ending in half a back-reference.
    const std::string damaged = box.dir.file("damaged.pdb");
    writeFile(damaged, textlinktest::makeDocDatabase(
                           {.name = "d", .texts = {"one", "two", "th\x80", "four"}, .compression = 2}));
    const std::string folder = box.dir.file("out");
    fs::create_directory(folder);
    const std::string target = folder + "/target.txt";
    writeFile(target, std::string("the old text\n"));
    const auto onlyTheTarget = [&] {
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator()) == 1;
    };

    using platform::faults::Op;
    const struct {
        const char* what;
        const std::string& database;
        Op fault;  // Op::Count: none
        int skip;
        int16_t status;
    } cases[] = {
        {"the disk fills at the third record", good, Op::Write, 2, BF_ERR_WRITE},
        {"the new file cannot be renamed into place", good, Op::Rename, 0, BF_ERR_WRITE},
        {"the third record is damaged", damaged, Op::Count, 0, BF_ERR_CORRUPT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        textlinktest::ScopedRecorder recorder({platform::ui::IdYes});
        if (c.fault != Op::Count) platform::faults::arm(c.fault, ENOSPC, c.skip);
        EXPECT_EQ(text::convertDocToTextFile(state, c.database, target), c.status);
        platform::faults::disarmAll();
        EXPECT_EQ(textOf(target), "the old text\n");
        EXPECT_TRUE(onlyTheTarget()) << "temporary file left";
        // The reading document was ended: the next conversion starts over.
        EXPECT_EQ(state.doc.open, text::DocDirection::None);
    }
    EXPECT_EQ(text::convertDocToTextFile(state, good, folder + "/no/such/folder.txt"), BF_ERR_WRITE);
    EXPECT_EQ(state.doc.open, text::DocDirection::None);
    textlinktest::ScopedRecorder recorder({platform::ui::IdYes});
    EXPECT_EQ(text::convertDocToTextFile(state, good, target), 0);
    EXPECT_EQ(textOf(target), "onetwothreefour");
    EXPECT_TRUE(onlyTheTarget());
}

// ---- exportFromCommandLine -----------------------------------------------------

TEST_F(TextlinkState, CommandLineExportKeepsGoingWhenTheRegistryFileCannotBeWritten) {
    std::string notes = source("notes.txt", "hello");
    CommandLineExportRecord record{"Jo", notes.c_str()};
    platform::faults::arm(platform::faults::Op::Rename, EACCES, 0, 1);
    EXPECT_EQ(text::exportFromCommandLine(state, &record), 0);
    platform::faults::disarmAll();
    EXPECT_TRUE(fs::exists(box.install(jo) + "/notes.pdb"));
    EXPECT_FALSE(fs::exists(box.registryFile()));
}

TEST_F(TextlinkState, CommandLineExportWithoutListsAndAnUnreadableRegistryFileGivesMinus2) {
    writeFile(box.registryFile(), std::string("[Jo]\r\nA.pdb=0,0,0,0,0,/a\r\n"));
    state.registry.UnloadTBMData(foundation::SaveFirst::No);
    std::string notes = source("notes.txt", "hello");
    CommandLineExportRecord record{"Jo", notes.c_str()};
    // The reload reads sync.dat's lock mode first, then QLRegistry.dat.
    platform::faults::arm(platform::faults::Op::Read, EIO, 1, 1);
    EXPECT_EQ(text::exportFromCommandLine(state, &record), BF_ERR_OPEN);
    EXPECT_FALSE(fs::exists(box.install(jo) + "/notes.pdb"));
}

TEST_F(TextlinkState, CommandLineExportAfterAFailedAttachIsRefused) {
    state.attachFailed = true;
    std::string notes = source("notes.txt", "hello");
    CommandLineExportRecord record{"Jo", notes.c_str()};
    EXPECT_EQ(text::exportFromCommandLine(state, &record), BF_ERR_PARAMETER);
    EXPECT_FALSE(fs::exists(box.install(jo) + "/notes.pdb"));
}
