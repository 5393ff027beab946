// libtextlink as the word-processor add-in sees it: loaded by path through
// the platform loader, every call through an exported function.
#include "textlink.h"

#include <filesystem>

#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/library.h"
#include "support/sandbox.h"
#include "textlink_testing.h"

using testsupport::writeFile;
using textlinktest::textOf;

namespace fs = std::filesystem;

namespace {

using RecordCall = int16_t(WINAPI*)(DocTransferRecord*);
using PlainCall = int16_t(WINAPI*)(void);

class TextlinkExports : public ::testing::Test {
protected:
    testsupport::Sandbox box{"Quillo"};
    int jo = -1;
    std::optional<platform::Library> lib;
    RecordCall writeDoc = nullptr, flushDoc = nullptr, readDoc = nullptr;
    int16_t(WINAPI* getErrorText)(TextRecord*) = nullptr;
    int16_t(WINAPI* exportFromCommandLine)(CommandLineExportRecord*) = nullptr;

    void SetUp() override {
        jo = box.addUser("Jo", "4242");
        load();
    }
    void load() {
        std::string error;
        lib = platform::Library::load(textlinkPath(), &error);
        ASSERT_TRUE(lib) << error;
        writeDoc = lib->function<RecordCall>("WriteDoc");
        flushDoc = lib->function<RecordCall>("FlushDoc");
        readDoc = lib->function<RecordCall>("ReadDoc");
        getErrorText = lib->function<decltype(getErrorText)>("GetErrorText");
        exportFromCommandLine = lib->function<decltype(exportFromCommandLine)>("ExportFromCommandLine");
        ASSERT_TRUE(writeDoc && flushDoc && readDoc && getErrorText && exportFromCommandLine);
    }
    static std::string textlinkPath() { return textlinktest::textlinkPath(); }
    std::string errorText(int16_t code) {
        TextRecord record{};
        record.number = code;
        EXPECT_EQ(getErrorText(&record), 0);
        std::string out = record.text ? std::string(platform::byteStringView(record.text)) : "(null)";
        platform::clearByteString(record.text);
        return out;
    }
};

}  // namespace

TEST_F(TextlinkExports, ErrorTextsSpellMaximumRightAndEndAtMinus16) {
    EXPECT_EQ(errorText(-12), "Number of cells exceeds maximum 32K.");
    EXPECT_EQ(errorText(-16), "Operation cancelled.");
    EXPECT_EQ(errorText(-11), "Can not open input file, authorizaton error.");
    EXPECT_EQ(errorText(-1), "Program error, required parameter missing.");
    for (int16_t code : {int16_t(0), int16_t(1), int16_t(-17), int16_t(-32768)})
        EXPECT_EQ(errorText(code), "(null)");
    EXPECT_EQ(getErrorText(nullptr), 0);
    // A second call frees the first text before storing its own.
    TextRecord record{};
    record.number = -6;
    getErrorText(&record);
    record.number = -17;
    getErrorText(&record);
    EXPECT_EQ(record.text, nullptr);
}

TEST_F(TextlinkExports, FlushDocWithNothingWrittenGivesMinus4AndNoFile) {
    DocTransferRecord record{};
    record.path = platform::allocByteString(box.dir.file("Empty.txt"));
    EXPECT_EQ(writeDoc(&record), 0);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(flushDoc(&record), BF_ERR_SHEET_NAME);
    EXPECT_EQ(record.status, BF_ERR_SHEET_NAME);
    EXPECT_FALSE(fs::exists(box.dir.file("Empty.pdb")));
    platform::clearByteString(record.path);
}

TEST_F(TextlinkExports, FlushDocWithNoDocumentGivesMinus14) {
    DocTransferRecord record{};
    EXPECT_EQ(flushDoc(&record), BF_ERR_PROGRAM);
    EXPECT_EQ(record.status, BF_ERR_PROGRAM);
    EXPECT_EQ(flushDoc(nullptr), BF_ERR_PARAMETER);
    EXPECT_EQ(writeDoc(nullptr), BF_ERR_PARAMETER);
    EXPECT_EQ(readDoc(nullptr), BF_ERR_PARAMETER);
}

TEST_F(TextlinkExports, WrittenInPiecesAndFlushedForTheUser) {
    std::string text(20000, 'x');
    for (size_t i = 0; i < text.size(); i += 97) text[i] = char('a' + i % 26);
    DocTransferRecord record{};
    record.user = int16_t(jo);
    record.path = platform::allocByteString(box.install(jo) + "/Notes.txt");
    for (size_t at = 0, step = 1; at < text.size(); at += step, step = step * 3 % 5001 + 1) {
        record.data = text.data() + at;
        record.length = int32_t(std::min(step, text.size() - at));
        ASSERT_EQ(writeDoc(&record), 0);
    }
    record.data = nullptr;
    EXPECT_EQ(flushDoc(&record), 0);
    EXPECT_EQ(record.status, 0);
    platform::clearByteString(record.path);
    EXPECT_EQ(box.installFlag("4242"), 1);

    auto bytes = testsupport::readFile(box.install(jo) + "/Notes.pdb");
    ASSERT_GT(bytes.size(), 120u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "Notes");
    // Record 0: 22 bytes whose length array reads 8192, 8192, 3616.
    size_t r0 = 80 + 8 * 4;
    EXPECT_TRUE(testsupport::sameBytes(
        testsupport::hexBytes("20 00 20 00 0E 20"),
        std::vector<uint8_t>(bytes.begin() + long(r0 + 16), bytes.begin() + long(r0 + 22))));

    DocTransferRecord reading{};
    reading.path = platform::allocByteString(box.install(jo) + "/Notes.pdb");
    std::string back;
    while (readDoc(&reading) == 0 && reading.status == 0) back.append(reading.data, size_t(reading.length));
    EXPECT_EQ(reading.status, BF_EOF);
    EXPECT_EQ(back, text);
    platform::clearByteString(reading.path);
}

TEST_F(TextlinkExports, ReadDocsFourthCallOnThreeRecordsReportsTheEnd) {
    std::string database = box.dir.file("three.pdb");
    writeFile(database, textlinktest::makeDocDatabase({"three", {"one ", "two ", "three"}}));
    DocTransferRecord record{};
    record.path = platform::allocByteString(database);
    for (const char* piece : {"one ", "two ", "three"}) {
        EXPECT_EQ(readDoc(&record), 0);
        EXPECT_EQ(record.status, 0);
        ASSERT_NE(record.data, nullptr);
        EXPECT_EQ(std::string(record.data, size_t(record.length)), piece);
    }
    EXPECT_EQ(readDoc(&record), 0);
    EXPECT_EQ(record.status, BF_EOF);
    EXPECT_EQ(record.data, nullptr);
    // The next call starts over and needs a path.
    platform::clearByteString(record.path);
    EXPECT_EQ(readDoc(&record), BF_ERR_PATH);
    EXPECT_EQ(record.status, BF_ERR_PATH);
}

// Without a display the dialogs are closed at once: cancelled, and a record
// says so.
TEST_F(TextlinkExports, DialogEntriesWithoutADisplayAnswerCancel) {
    for (const char* name : {"ExportFromPCDialog", "ImportToPCDialog"}) {
        DocTransferRecord record{};
        EXPECT_EQ(lib->function<RecordCall>(name)(&record), 2) << name;
        EXPECT_EQ(record.status, BF_ERR_CANCELLED) << name;
        EXPECT_EQ(lib->function<RecordCall>(name)(nullptr), BF_ERR_PARAMETER) << name;
    }
    for (const char* name : {"ExportFromPC", "ImportToPC", "AboutDialog"})
        EXPECT_EQ(lib->function<PlainCall>(name)(), 2) << name;
}

// ---- ExportFromCommandLine end to end ------------------------------------------

TEST_F(TextlinkExports, CommandLineExportMatchesTheUserWithCase) {
    int al = box.addUser("Al", "77");
    lib.reset();
    load();
    std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("Hello\r\n"));
    CommandLineExportRecord record{"al", notes.c_str()};
    EXPECT_EQ(exportFromCommandLine(&record), BF_ERR_USER);
    EXPECT_FALSE(fs::exists(box.install(al) + "/notes.pdb"));
    EXPECT_EQ(box.installFlag("77"), -1);

    record.userName = "Al";
    EXPECT_EQ(exportFromCommandLine(&record), 0);
    EXPECT_TRUE(fs::exists(box.install(al) + "/notes.pdb"));
    EXPECT_FALSE(fs::exists(box.install(jo) + "/notes.pdb"));
    EXPECT_EQ(box.installFlag("77"), 1);
    EXPECT_EQ(box.installFlag("4242"), -1);
    EXPECT_EQ(exportFromCommandLine(nullptr), BF_ERR_PARAMETER);
}

TEST_F(TextlinkExports, CommandLineExportReplacesTheInstallDatabaseWithoutAsking) {
    std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("new text"));
    writeFile(box.install(jo) + "/notes.pdb", std::string("an older database"));
    CommandLineExportRecord record{"Jo", notes.c_str()};
    EXPECT_EQ(exportFromCommandLine(&record), 0);
    DocTransferRecord reading{};
    reading.path = platform::allocByteString(box.install(jo) + "/notes.pdb");
    ASSERT_EQ(readDoc(&reading), 0);
    EXPECT_EQ(std::string(reading.data, size_t(reading.length)), "new text");
    platform::clearByteString(reading.data);
    platform::clearByteString(reading.path);
}

TEST_F(TextlinkExports, CommandLineExportRewritesQLRegistryFromMemoryBeforeReloading) {
    // Loaded at attach: a linked entry and one without a path.
    lib.reset();
    writeFile(box.registryFile(),
              textlinktest::crlf("[Jo]\nNotes.pdb=1,2,3,4,5,C:\\Docs\\Notes.txt\nHalf=1\n"));
    load();
    // Changed on disk since: the export writes the memory's version back.
    writeFile(box.registryFile(), std::string("[Jo]\r\nOther.pdb=0,0,0,0,0,/o\r\n"));
    std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("text"));
    CommandLineExportRecord record{"Jo", notes.c_str()};
    EXPECT_EQ(exportFromCommandLine(&record), 0);
    EXPECT_EQ(textOf(box.registryFile()), "[Jo]\r\nNotes.pdb=1,2,3,4,5,C:\\Docs\\Notes.txt\r\n");
}

TEST_F(TextlinkExports, CommandLineExportCreatesAnEmptyQLRegistryWhenNoEntryHasAPath) {
    ASSERT_FALSE(fs::exists(box.registryFile()));
    std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("text"));
    CommandLineExportRecord record{"Jo", notes.c_str()};
    EXPECT_EQ(exportFromCommandLine(&record), 0);
    ASSERT_TRUE(fs::exists(box.registryFile()));
    EXPECT_EQ(textOf(box.registryFile()), "");
    // The database just written lies in Install, not Backup: still no entry.
    EXPECT_EQ(exportFromCommandLine(&record), 0);
    EXPECT_EQ(textOf(box.registryFile()), "");
}

TEST_F(TextlinkExports, CommandLineExportReportsTheConversionsStatus) {
    CommandLineExportRecord record{"Jo", "/no/such/file.txt"};
    EXPECT_EQ(exportFromCommandLine(&record), BF_ERR_OPEN);
    std::string empty = box.dir.file("empty.txt");
    writeFile(empty, std::string());
    record.filePath = empty.c_str();
    EXPECT_EQ(exportFromCommandLine(&record), BF_ERR_PROGRAM);  // FlushDoc without a document
    EXPECT_FALSE(fs::exists(box.install(jo) + "/empty.pdb"));
}

TEST_F(TextlinkExports, CommandLineExportOutOfMemoryAnswersMinus3AndReleasesTheLock) {
    // An entry whose path is so long that writing the lists back before the
    // reload needs a block of more than a megabyte.
    lib.reset();
    writeFile(box.registryFile(), "[Jo]\r\nBig.pdb=0,0,0,0,0,/" + std::string(2 << 20, 'x') + "\r\n");
    load();
    std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("text"));
    CommandLineExportRecord record{"Jo", notes.c_str()};
    {
        textlinktest::ScopedLargeAllocationFailure outOfMemory(1 << 20);
        EXPECT_EQ(exportFromCommandLine(&record), BF_ERR_MEMORY);
    }
    // The library is still loaded, and sync.dat is free for another open.
    auto other = platform::File::open(box.productFolder + "/sync.dat", platform::File::Mode::ReadWrite);
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->tryLockRange(0, 1));
    other.reset();
    EXPECT_EQ(exportFromCommandLine(&record), 0);
}
