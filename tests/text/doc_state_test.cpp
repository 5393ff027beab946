// WriteDoc, FlushDoc and ReadDoc on a DocState: the database they write byte
// for byte, record cutting and line ends across records, the statuses of
// every refusal, and reading databases of other writers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc_samples.h"
#include "foundation/byteorder.h"
#include "foundation/pdb.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "support/test_support.h"
#include "text/doc_codec.h"
#include "text/doc_state.h"

using testsupport::bytesOf;
using testsupport::hexBytes;
using testsupport::readFile;
using testsupport::sameBytes;
using testsupport::TempDir;

namespace {

// A DocTransferRecord that owns its strings.
struct Record {
    DocTransferRecord r{};
    std::vector<uint8_t> bytes;  // what data points at for WriteDoc
    Record() = default;
    explicit Record(const std::string& path) { setPath(path); }
    ~Record() {
        platform::clearByteString(r.path);
        if (ownsData) platform::clearByteString(r.data);
    }
    void setPath(const std::string& path) { platform::replaceByteString(r.path, path); }
    void clearPath() { platform::clearByteString(r.path); }
    // Points data at the given bytes for WriteDoc.
    void give(const std::vector<uint8_t>& b) {
        bytes = b;
        r.data = reinterpret_cast<BSTR>(bytes.data());
        r.length = int32_t(bytes.size());
        ownsData = false;
    }
    // ReadDoc places library strings in data.
    void forReading() {
        r.data = nullptr;
        ownsData = true;
    }
    std::vector<uint8_t> text() const {
        auto v = platform::byteStringView(r.data);
        return std::vector<uint8_t>(v.begin(), v.end());
    }
    bool ownsData = true;
};

std::vector<uint8_t> fileBytes(const std::string& path) { return readFile(path); }

int16_t write(text::DocState& st, Record& rec, const std::vector<uint8_t>& b) {
    rec.give(b);
    return text::writeDoc(st, &rec.r);
}

int16_t flush(text::DocState& st, Record& rec, std::vector<int16_t>* flagged = nullptr) {
    return text::flushDoc(st, &rec.r, [flagged](int16_t user) {
        if (flagged) flagged->push_back(user);
    });
}

// Writes a whole document in pieces of the given sizes (cycled) and flushes it.
int16_t writeDocument(const std::string& path, const std::vector<uint8_t>& textBytes,
                      std::vector<size_t> pieces) {
    text::DocState st;
    Record rec(path);
    size_t at = 0, i = 0;
    while (at < textBytes.size()) {
        size_t n = std::min(pieces[i++ % pieces.size()], textBytes.size() - at);
        std::vector<uint8_t> piece(textBytes.begin() + ptrdiff_t(at), textBytes.begin() + ptrdiff_t(at + n));
        EXPECT_EQ(write(st, rec, piece), 0);
        at += n;
    }
    if (textBytes.empty()) {
        EXPECT_EQ(write(st, rec, {}), 0);
    }
    rec.r.data = nullptr;
    return flush(st, rec);
}

// Reads a whole database with ReadDoc; returns the pieces.
std::vector<std::vector<uint8_t>> readDocument(const std::string& path, int16_t* firstStatus = nullptr) {
    text::DocState st;
    Record rec(path);
    rec.forReading();
    std::vector<std::vector<uint8_t>> pieces;
    for (int guard = 0; guard < 100000; ++guard) {
        int16_t ret = text::readDoc(st, &rec.r);
        if (guard == 0 && firstStatus) *firstStatus = ret;
        if (ret != 0 || rec.r.status != 0) break;
        EXPECT_EQ(rec.r.length, int32_t(rec.text().size()));
        pieces.push_back(rec.text());
    }
    return pieces;
}

std::vector<uint8_t> joined(const std::vector<std::vector<uint8_t>>& pieces) {
    std::vector<uint8_t> all;
    for (const auto& p : pieces) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A Doc database as another writer might lay it out: record 0 as given,
// then the records, each already encoded.
std::vector<uint8_t> buildDatabase(const std::vector<uint8_t>& record0,
                                   const std::vector<std::vector<uint8_t>>& records) {
    foundation::PdbHeader header = testsupport::databaseHeader("other", 1);
    header.type = text::kDocType;
    header.creator = text::kDocCreator;
    std::vector<std::vector<uint8_t>> all{record0};
    all.insert(all.end(), records.begin(), records.end());
    return testsupport::databaseFile(header, all);
}

std::vector<uint8_t> record0(uint8_t compression, uint16_t count, uint16_t recordSize, size_t size = 16) {
    std::vector<uint8_t> r(size, 0);
    if (size >= 16) {
        r[1] = compression;
        foundation::storeBE16(&r[8], count);
        foundation::storeBE16(&r[10], recordSize);
    }
    return r;
}

std::vector<uint8_t> encoded(std::vector<uint8_t> t) {
    std::vector<uint8_t> out(text::encodeBound(t.size()));
    out.resize(*text::encodeDocRecord(t, text::kCompressionDoc, out));
    return out;
}

}  // namespace

TEST(DocWrite, NineBytesMakeThe120ByteDatabase) {
    TempDir dir;
    std::vector<int16_t> flagged;
    text::DocState st;
    Record rec(dir.file("t.txt"));
    rec.r.user = 3;
    ASSERT_EQ(write(st, rec, bytesOf("abcabcabc")), 0);
    EXPECT_EQ(rec.r.status, 0);
    rec.r.data = nullptr;
    ASSERT_EQ(flush(st, rec, &flagged), 0);
    EXPECT_EQ(rec.r.status, 0);
    EXPECT_EQ(flagged, std::vector<int16_t>{3});

    std::string expected =
        "74 00000000 00000000 00000000 00000000 00000000 00000000 00000000 000000"  // name "t"
        "0000 0046 75541D36 75541D36 00000000 00000000 00000000 00000000"
        "54455874 52454164 00000000 00000000 0002"  // TEXt REAd, 2 records
        "00000060 00 000000 00000072 00 000000 0000"
        "00 02 00 03 00 00 00 09 00 01 20 00 00 00 00 00 00 09"
        "61 62 63 80 1A 63";
    auto bytes = fileBytes(dir.file("t.pdb"));
    EXPECT_EQ(bytes.size(), 120u);
    EXPECT_TRUE(sameBytes(hexBytes(expected), bytes));
    EXPECT_FALSE(testsupport::readFile(dir.file("t.txt")).size());  // nothing written under the given name
}

TEST(DocWrite, OutputPathAndDatabaseName) {
    EXPECT_EQ(text::docOutputPath("C:/Docs/Notes.txt"), "C:/Docs/Notes.pdb");
    EXPECT_EQ(text::docOutputPath("/d/Report.html"), "/d/Report.html.pdb");
    EXPECT_EQ(text::docOutputPath("/d/README"), "/d/README.pdb");
    EXPECT_EQ(text::docOutputPath("a.txt"), "a.pdb");
    EXPECT_EQ(text::docOutputPath(".txt"), ".txt.pdb");  // not longer than 4 characters
    EXPECT_EQ(text::docOutputPath("/d/x.pdb"), "/d/x.pdb");
    // A dot in a folder name three places from the end is not an extension.
    EXPECT_EQ(text::docOutputPath("/d/v.1/ab"), "/d/v.1/ab.pdb");
    EXPECT_EQ(text::docOutputPath("C:\\v.1\\ab"), "C:\\v.1\\ab.pdb");

    EXPECT_EQ(text::docDatabaseName("/d/Notes.pdb"), "Notes");
    EXPECT_EQ(text::docDatabaseName("C:\\Docs\\Report.html.pdb"), "Report.html");
    EXPECT_EQ(text::docDatabaseName(std::string(40, 'n') + ".pdb"), std::string(31, 'n'));

    TempDir dir;
    ASSERT_EQ(writeDocument(dir.file("Notes.txt"), bytesOf("hello"), {5}), 0);
    foundation::PdbImage image;
    ASSERT_TRUE(foundation::loadPdb(image, dir.file("Notes.pdb")));
    EXPECT_EQ(image.name(), "Notes");
    ASSERT_EQ(writeDocument(dir.file("Report.html"), bytesOf("hello"), {5}), 0);
    ASSERT_TRUE(foundation::loadPdb(image, dir.file("Report.html.pdb")));
    EXPECT_EQ(image.name(), "Report.html");
    std::string longName(40, 'L');
    ASSERT_EQ(writeDocument(dir.file(longName + ".txt"), bytesOf("hello"), {5}), 0);
    auto bytes = fileBytes(dir.file(longName + ".pdb"));
    ASSERT_GE(bytes.size(), 32u);
    EXPECT_TRUE(sameBytes(bytesOf(std::string(31, 'L') + std::string(1, '\0')),
                          std::vector<uint8_t>(bytes.begin(), bytes.begin() + 32)));
}

TEST(DocWrite, RefusedPathsLeaveNoDocumentOpen) {
    TempDir dir;
    text::DocState st;
    Record rec;
    EXPECT_EQ(text::writeDoc(st, nullptr), BF_ERR_PARAMETER);
    EXPECT_EQ(write(st, rec, bytesOf("x")), BF_ERR_PATH);  // no path
    EXPECT_EQ(rec.r.status, BF_ERR_PATH);
    for (const std::string& bad :
         {std::string(), dir.path() + "/", dir.file(".txt"), dir.file(std::string(1020, 'p'))}) {
        rec.setPath(bad);
        rec.r.status = 1;
        EXPECT_EQ(write(st, rec, bytesOf("x")), BF_ERR_PATH) << bad.size();
        EXPECT_EQ(rec.r.status, BF_ERR_PATH);
        EXPECT_EQ(st.open, text::DocDirection::None);
    }
    // 1023 characters with ".pdb" is the longest output path accepted.
    std::string longest = dir.path() + "/" + std::string(1019 - dir.path().size() - 1, 'q');
    ASSERT_EQ(text::docOutputPath(longest).size(), 1023u);
    rec.setPath(longest);
    EXPECT_EQ(write(st, rec, bytesOf("x")), 0);
    EXPECT_EQ(st.open, text::DocDirection::Writing);
}

TEST(DocWrite, TwentyThousandBytesInAnyPiecesMakeThreeRecords) {
    TempDir dir;
    auto textBytes = docref::englishText(20000, 77);
    const std::vector<std::vector<size_t>> piecings = {{20000}, {1},       {7, 8191},
                                                       {8192},  {8193, 3}, {0, 4096, 0}};
    std::vector<uint8_t> first;
    for (const auto& pieces : piecings) {
        std::string path = dir.file("doc.txt");
        ASSERT_EQ(writeDocument(path, textBytes, pieces), 0);
        auto bytes = fileBytes(dir.file("doc.pdb"));
        if (first.empty()) first = bytes;
        EXPECT_TRUE(sameBytes(first, bytes)) << "pieces of " << pieces[0];
    }
    foundation::PdbImage image;
    ASSERT_TRUE(foundation::loadPdbFromBytes(image, first));
    ASSERT_EQ(image.numRecords(), 4);
    auto r0 = foundation::recordAt(image, 0);
    ASSERT_TRUE(r0);
    EXPECT_TRUE(sameBytes(hexBytes("00 02 00 03 00 00 4E 20 00 03 20 00 00 00 00 00 20 00 20 00 0E 20"),
                          std::vector<uint8_t>(r0->begin(), r0->end())));
    // The records decode to 8192, 8192 and 3616 bytes of the text.
    std::vector<uint8_t> out(8192);
    size_t at = 0;
    for (size_t k = 1; k <= 3; ++k) {
        auto rec = foundation::recordAt(image, k);
        ASSERT_TRUE(rec);
        size_t n = text::decodeDocRecord(*rec, text::kCompressionDoc, out);
        EXPECT_EQ(n, k < 3 ? 8192u : 3616u);
        auto expect = docref::convertedCopy(
            std::vector<uint8_t>(textBytes.begin() + ptrdiff_t(at), textBytes.begin() + ptrdiff_t(at + n)));
        EXPECT_TRUE(sameBytes(expect, std::vector<uint8_t>(out.begin(), out.begin() + ptrdiff_t(n))));
        at += n;
    }
}

TEST(DocWrite, ExactMultipleOf8192KeepsFullLastLength) {
    TempDir dir;
    ASSERT_EQ(writeDocument(dir.file("even.txt"), docref::randomBytes(16384, 5), {1000}), 0);
    foundation::PdbImage image;
    ASSERT_TRUE(foundation::loadPdb(image, dir.file("even.pdb")));
    ASSERT_EQ(image.numRecords(), 3);
    auto r0 = foundation::recordAt(image, 0);
    ASSERT_TRUE(r0);
    EXPECT_TRUE(sameBytes(hexBytes("00 02 00 03 00 00 40 00 00 02 20 00 00 00 00 00 20 00 20 00"),
                          std::vector<uint8_t>(r0->begin(), r0->end())));
}

TEST(DocWrite, RecordThatGrowsIsStoredWhole) {
    TempDir dir;
    auto rec = docref::noRepeats(8192, 0x80, 32);
    ASSERT_EQ(writeDocument(dir.file("grow.txt"), rec, {8192}), 0);
    foundation::PdbImage image;
    ASSERT_TRUE(foundation::loadPdb(image, dir.file("grow.pdb")));
    auto r1 = foundation::recordAt(image, 1);
    ASSERT_TRUE(r1);
    EXPECT_GT(r1->size(), 8192u);
    EXPECT_TRUE(sameBytes(rec, joined(readDocument(dir.file("grow.pdb")))));
}

TEST(DocWrite, CrAtARecordEndAndLfAtTheNextStartGiveTwoLineFeeds) {
    TempDir dir;
    std::vector<uint8_t> t(8191, 'a');
    t.push_back('\r');
    t.push_back('\n');
    t.push_back('b');
    ASSERT_EQ(writeDocument(dir.file("crlf.txt"), t, {3000}), 0);
    auto back = joined(readDocument(dir.file("crlf.pdb")));
    ASSERT_EQ(back.size(), t.size());
    EXPECT_EQ(back[8191], '\n');
    EXPECT_EQ(back[8192], '\n');
    // Within a record CR LF comes back as space LF.
    ASSERT_EQ(writeDocument(dir.file("crlf2.txt"), bytesOf("a\r\nb"), {4}), 0);
    EXPECT_TRUE(sameBytes(bytesOf("a \nb"), joined(readDocument(dir.file("crlf2.pdb")))));
}

TEST(DocFlush, NothingWrittenNoDocumentAndNullRecord) {
    TempDir dir;
    std::vector<int16_t> flagged;
    text::DocState st;
    Record rec(dir.file("empty.txt"));
    ASSERT_EQ(write(st, rec, {}), 0);
    EXPECT_EQ(flush(st, rec, &flagged), BF_ERR_SHEET_NAME);
    EXPECT_EQ(rec.r.status, BF_ERR_SHEET_NAME);
    EXPECT_FALSE(platform::fileExists(dir.file("empty.pdb")));
    EXPECT_TRUE(flagged.empty());
    // The failed flush ended the document: the next WriteDoc starts a new one
    // for its own path.
    rec.setPath(dir.file("next.txt"));
    ASSERT_EQ(write(st, rec, bytesOf("next")), 0);
    ASSERT_EQ(flush(st, rec), 0);
    EXPECT_TRUE(platform::fileExists(dir.file("next.pdb")));
    EXPECT_FALSE(platform::fileExists(dir.file("empty.pdb")));

    rec.r.status = 0;
    EXPECT_EQ(flush(st, rec, &flagged), BF_ERR_PROGRAM);
    EXPECT_EQ(rec.r.status, BF_ERR_PROGRAM);
    EXPECT_TRUE(flagged.empty());
    EXPECT_EQ(text::flushDoc(st, nullptr, {}), BF_ERR_PARAMETER);
}

TEST(DocFlush, FailedWriteStillRaisesTheInstallFlagAndCloses) {
    TempDir dir;
    std::vector<int16_t> flagged;
    text::DocState st;
    Record rec(dir.file("missing-folder/doc.txt"));
    rec.r.user = 2;
    ASSERT_EQ(write(st, rec, bytesOf("some text")), 0);
    EXPECT_EQ(flush(st, rec, &flagged), BF_ERR_WRITE);
    EXPECT_EQ(rec.r.status, BF_ERR_WRITE);
    EXPECT_EQ(flagged, std::vector<int16_t>{2});
    EXPECT_EQ(st.open, text::DocDirection::None);
}

TEST(DocWrite, NullDataWithALengthIsRefused) {
    TempDir dir;
    text::DocState st;
    Record rec(dir.file("d.txt"));
    rec.r.data = nullptr;
    rec.r.length = 10;
    rec.ownsData = false;
    EXPECT_EQ(text::writeDoc(st, &rec.r), BF_ERR_PARAMETER);
    EXPECT_EQ(rec.r.status, BF_ERR_PARAMETER);
    rec.r.length = -5;  // negative lengths add nothing
    EXPECT_EQ(text::writeDoc(st, &rec.r), 0);
}

TEST(DocDirection, WritingAndReadingExcludeEachOther) {
    TempDir dir;
    ASSERT_EQ(writeDocument(dir.file("r.txt"), bytesOf("read me"), {7}), 0);

    text::DocState st;
    Record w(dir.file("w.txt"));
    ASSERT_EQ(write(st, w, bytesOf("written")), 0);
    Record r(dir.file("r.pdb"));
    r.forReading();
    EXPECT_EQ(text::readDoc(st, &r.r), BF_ERR_PROGRAM);
    EXPECT_EQ(r.r.status, BF_ERR_PROGRAM);
    w.r.data = nullptr;
    ASSERT_EQ(flush(st, w), 0);  // the written document was not disturbed
    EXPECT_TRUE(sameBytes(bytesOf("written"), joined(readDocument(dir.file("w.pdb")))));

    ASSERT_EQ(text::readDoc(st, &r.r), 0);
    EXPECT_TRUE(sameBytes(bytesOf("read me"), r.text()));
    Record w2(dir.file("w2.txt"));
    EXPECT_EQ(write(st, w2, bytesOf("x")), BF_ERR_PROGRAM);
    EXPECT_EQ(w2.r.status, BF_ERR_PROGRAM);
    EXPECT_EQ(flush(st, w2), BF_ERR_PROGRAM);
    ASSERT_EQ(text::readDoc(st, &r.r), 0);  // reading goes on to its end
    EXPECT_EQ(r.r.status, BF_EOF);
}

TEST(DocRead, ThreeRecordsThenEndThenStartOver) {
    TempDir dir;
    auto t = docref::englishText(20000, 3);
    ASSERT_EQ(writeDocument(dir.file("three.txt"), t, {20000}), 0);
    text::DocState st;
    Record rec(dir.file("three.pdb"));
    rec.forReading();
    rec.r.data = platform::allocByteString("left by the caller");  // released by the call
    std::vector<uint8_t> all;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(text::readDoc(st, &rec.r), 0);
        ASSERT_EQ(rec.r.status, 0);
        EXPECT_EQ(rec.r.length, i < 2 ? 8192 : 3616);
        auto piece = rec.text();
        all.insert(all.end(), piece.begin(), piece.end());
    }
    EXPECT_TRUE(sameBytes(docref::convertedCopy(t), all));
    EXPECT_EQ(text::readDoc(st, &rec.r), 0);
    EXPECT_EQ(rec.r.status, BF_EOF);
    EXPECT_EQ(rec.r.data, nullptr);
    EXPECT_EQ(rec.r.length, 0);
    EXPECT_EQ(st.open, text::DocDirection::None);
    rec.clearPath();
    EXPECT_EQ(text::readDoc(st, &rec.r), BF_ERR_PATH);
    EXPECT_EQ(rec.r.status, BF_ERR_PATH);
    EXPECT_EQ(text::readDoc(st, nullptr), BF_ERR_PARAMETER);
}

TEST(DocRead, OtherWritersRecordSize4096AndPlainText) {
    TempDir dir;
    // Record size 4096, no length array, a record whose tokens produce more
    // than 4096 bytes, and a bookmark record after the text.
    std::vector<uint8_t> big;
    for (int i = 0; i < 500; ++i) big.insert(big.end(), {0x61, 0x80, 0x0F});  // 5500 bytes of a
    auto db = buildDatabase(record0(2, 2, 4096), {encoded(bytesOf("first piece")), big, bytesOf("bookmark")});
    testsupport::writeFile(dir.file("other.pdb"), db);
    auto pieces = readDocument(dir.file("other.pdb"));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(sameBytes(bytesOf("first piece"), pieces[0]));
    EXPECT_EQ(pieces[1], std::vector<uint8_t>(4096, 'a'));

    // Compression 1: records are the text as it stands (CR kept).
    auto plain = buildDatabase(record0(1, 2, 4096), {bytesOf("plain\r\ntext "), bytesOf("\x80 and more")});
    testsupport::writeFile(dir.file("plain.pdb"), plain);
    EXPECT_TRUE(
        sameBytes(bytesOf("plain\r\ntext \x80 and more"), joined(readDocument(dir.file("plain.pdb")))));
}

TEST(DocRead, RecordZeroVariantsAreRefused) {
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        int16_t status;
    };
    auto one = encoded(bytesOf("x"));
    const std::vector<Case> cases = {
        {"compression 0", buildDatabase(record0(0, 1, 8192), {one}), BF_ERR_AUTHORIZATION},
        {"compression 3", buildDatabase(record0(3, 1, 8192), {one}), BF_ERR_AUTHORIZATION},
        {"no text records", buildDatabase(record0(2, 0, 8192), {one}), BF_ERR_SHEET_NAME},
        {"record size 0", buildDatabase(record0(2, 1, 0), {one}), BF_ERR_SHEET_NAME},
        {"record 0 of 15 bytes", buildDatabase(record0(2, 1, 8192, 15), {one}), BF_ERR_SHEET_NAME},
        {"more text records counted than held", buildDatabase(record0(2, 3, 8192), {one, one}),
         BF_ERR_SHEET_NAME},
        {"record 0 empty", buildDatabase({}, {}), BF_ERR_SHEET_NAME},
        {"no records at all", std::vector<uint8_t>(foundation::pdb::firstRecordOffset(0), 0),
         BF_ERR_SHEET_NAME},
        {"not a database", bytesOf("short"), BF_ERR_OPEN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(dir.file("bad.pdb"), c.file);
        text::DocState st;
        Record rec(dir.file("bad.pdb"));
        rec.forReading();
        EXPECT_EQ(text::readDoc(st, &rec.r), c.status);
        EXPECT_EQ(rec.r.status, c.status);
        EXPECT_EQ(st.open, text::DocDirection::None);
    }
    // A missing file.
    text::DocState st;
    Record rec(dir.file("none.pdb"));
    rec.forReading();
    EXPECT_EQ(text::readDoc(st, &rec.r), BF_ERR_OPEN);
    EXPECT_EQ(rec.r.status, BF_ERR_OPEN);
    // Record offsets outside the file, or a record list longer than the file:
    // the database is not read at all.
    auto good = buildDatabase(record0(2, 2, 8192), {one, one});
    auto farOffset = good;
    foundation::storeBE32(&farOffset[78 + 8 * 2], uint32_t(good.size() + 100));
    auto cutList = std::vector<uint8_t>(good.begin(), good.begin() + 90);
    for (const auto* f : {&farOffset, &cutList}) {
        testsupport::writeFile(dir.file("outside.pdb"), *f);
        text::DocState s2;
        Record r2(dir.file("outside.pdb"));
        r2.forReading();
        EXPECT_EQ(text::readDoc(s2, &r2.r), BF_ERR_OPEN);
        EXPECT_EQ(s2.open, text::DocDirection::None);
    }
    // Extra bytes after the 16 header bytes are ignored; a good database reads.
    auto ok = buildDatabase(record0(2, 1, 8192, 40), {one});
    testsupport::writeFile(dir.file("ok.pdb"), ok);
    EXPECT_TRUE(sameBytes(bytesOf("x"), joined(readDocument(dir.file("ok.pdb")))));
}

TEST(DocRead, ADamagedRecordIsReportedNotHandedOutCutShort) {
    TempDir dir;
    // The middle record ends in half a back-reference.
    testsupport::writeFile(dir.file("damaged.pdb"),
                           buildDatabase(record0(2, 3, 8192), {encoded(bytesOf("one")), hexBytes("74 77 80"),
                                                               encoded(bytesOf("three"))}));
    text::DocState st;
    Record rec(dir.file("damaged.pdb"));
    rec.forReading();
    const std::pair<int16_t, std::string> calls[] = {
        {0, "one"}, {BF_ERR_CORRUPT, ""}, {0, "three"}, {BF_EOF, ""}};
    for (const auto& [status, piece] : calls) {
        EXPECT_EQ(text::readDoc(st, &rec.r), 0);
        EXPECT_EQ(rec.r.status, status);
        EXPECT_TRUE(sameBytes(bytesOf(piece), rec.text()));
        EXPECT_EQ(rec.r.length, int32_t(piece.size()));
    }
}

TEST(DocRoundTrip, LongDocumentsComeBackAfterLineEndConversion) {
    TempDir dir;
    for (uint32_t seed : {1u, 2u}) {
        auto t = seed == 1 ? docref::englishText(300000, seed) : docref::randomBytes(100000, seed);
        ASSERT_EQ(writeDocument(dir.file("long.txt"), t, {4000, 123, 9000}), 0);
        // Line ends convert per 8192-byte record.
        std::vector<uint8_t> expect;
        for (size_t at = 0; at < t.size(); at += 8192) {
            auto piece = docref::convertedCopy(std::vector<uint8_t>(
                t.begin() + ptrdiff_t(at), t.begin() + ptrdiff_t(std::min(t.size(), at + 8192))));
            expect.insert(expect.end(), piece.begin(), piece.end());
        }
        EXPECT_TRUE(sameBytes(expect, joined(readDocument(dir.file("long.pdb")))));
    }
}

TEST(DocWrite, DocumentsBeyond65534RecordsAreRefusedNotCut) {
    TempDir dir;
    text::DocState st;
    Record rec(dir.file("huge.txt"));
    const std::vector<uint8_t> block(8192 * 64, 'a');
    for (size_t i = 0; i < text::kMaxTextRecords / 64; ++i) ASSERT_EQ(write(st, rec, block), 0);
    const std::vector<uint8_t> rest(8192 * (text::kMaxTextRecords % 64), 'a');
    ASSERT_EQ(write(st, rec, rest), 0);
    EXPECT_EQ(st.recordOffsets.size(), text::kMaxTextRecords);
    EXPECT_EQ(write(st, rec, bytesOf("one byte too many")), BF_ERR_WRITE);
    EXPECT_EQ(rec.r.status, BF_ERR_WRITE);
    // The refusal ends the document: no shortened database is ever written,
    // and the next WriteDoc starts a new document for its own path.
    EXPECT_EQ(st.open, text::DocDirection::None);
    rec.setPath(dir.file("other.txt"));
    EXPECT_EQ(write(st, rec, bytesOf("fits")), 0);
    rec.r.data = nullptr;
    EXPECT_EQ(flush(st, rec), 0);
    EXPECT_FALSE(platform::fileExists(dir.file("huge.pdb")));
    EXPECT_TRUE(sameBytes(bytesOf("fits"), joined(readDocument(dir.file("other.pdb")))));
}
