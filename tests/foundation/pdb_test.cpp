// The Palm database container: layout, byte order, loading, writing, and
// refusal of malformed images.
#include "foundation/pdb.h"

#include <random>

#include "platform/faults.h"
#include "support/test_support.h"

using foundation::PdbHeader;
using foundation::PdbImage;
using testsupport::sameBytes;
namespace pdb = foundation::pdb;

namespace {

// A database file in file order: header, list, two zero bytes, records.
std::vector<uint8_t> makeFile(const std::string& name, uint16_t version, const char* type,
                              const char* creator, const std::vector<std::vector<uint8_t>>& records,
                              const std::vector<uint8_t>& attributes = {}) {
    PdbHeader h = testsupport::databaseHeader(name, version, type, creator);
    h.attributes = 0x0008;
    h.creationDate = h.modificationDate = pdb::kFixedDate;
    h.modificationNumber = 7;
    h.uniqueIDSeed = 0x11223344;
    std::vector<foundation::PdbRecordData> list;
    for (size_t i = 0; i < records.size(); ++i) {
        list.push_back({records[i]});
        if (i < attributes.size())
            list.back() = {records[i], attributes[i], uint32_t((i + 1) << 16 | 0xAB << 8 | (0x10 + i))};
    }
    return foundation::buildPdb(h, list);
}

std::vector<uint8_t> filled(size_t n, uint8_t v) { return std::vector<uint8_t>(n, v); }

}  // namespace

TEST(PdbContainer, FirstRecordFollowsListAndGap) {
    EXPECT_EQ(pdb::firstRecordOffset(0), 80u);
    EXPECT_EQ(pdb::firstRecordOffset(3), 104u);
    // Records of 66, 4 and 4 bytes make a file of 78 + 24 + 2 + 74 = 178 bytes.
    auto file = makeFile("Budget-Jan", 71, "Data", "PiTB", {filled(66, 1), filled(4, 2), filled(4, 3)});
    ASSERT_EQ(file.size(), 178u);
    PdbImage image;
    ASSERT_TRUE(foundation::loadPdbFromBytes(image, file));
    EXPECT_EQ(image.numRecords(), 3);
    EXPECT_EQ(image.recordOffset(0), 104u);
    auto r0 = foundation::recordAt(image, 0), r1 = foundation::recordAt(image, 1),
         r2 = foundation::recordAt(image, 2);
    ASSERT_TRUE(r0 && r1 && r2);
    EXPECT_EQ(r0->size(), 66u);
    EXPECT_EQ(r1->size(), 4u);
    // The last record runs to the end of the file and is read whole.
    EXPECT_EQ(r2->size(), 4u);
    EXPECT_EQ((*r2)[3], 3);
    EXPECT_FALSE(foundation::recordAt(image, 3));
    EXPECT_EQ(image.name(), "Budget-Jan");
    EXPECT_EQ(image.version(), 71);
    EXPECT_EQ(image.type(), foundation::fourCC("Data"));
    EXPECT_EQ(image.creator(), foundation::fourCC("PiTB"));
    EXPECT_EQ(image.field32(pdb::kCreationDateOffset), pdb::kFixedDate);
}

// The builder against bytes written out by hand: every header field distinct,
// two records with attributes and unique IDs, then the 65,536-record refusal.
TEST(PdbContainer, BuilderLaysOutHeaderListAndRecords) {
    PdbHeader h;
    h.name = "Ab";
    h.attributes = 0x0108;
    h.version = 0x0203;
    h.creationDate = 0x04050607;
    h.modificationDate = 0x08090A0B;
    h.lastBackupDate = 0x0C0D0E0F;
    h.modificationNumber = 0x10111213;
    h.appInfoID = 0x14151617;
    h.sortInfoID = 0x18191A1B;
    h.type = foundation::fourCC("Data");
    h.creator = foundation::fourCC("PiTB");
    h.uniqueIDSeed = 0x1C1D1E1F;
    h.numRecords = 9;  // ignored: the count comes from the records
    const uint8_t one[] = {0xA1, 0xA2, 0xA3}, two[] = {0xB1};
    const foundation::PdbRecordData records[] = {{one, 0x40, 0x00ABCDEF}, {two, 0x00, 0x7F000001}};
    auto expected = testsupport::hexBytes(
        "41 62 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
        "01 08 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B"
        "44 61 74 61 50 69 54 42 1C 1D 1E 1F 00 00 00 00 00 02"
        "00 00 00 60 40 AB CD EF 00 00 00 63 00 00 00 01 00 00"
        "A1 A2 A3 B1");
    EXPECT_TRUE(sameBytes(expected, foundation::buildPdb(h, records)));
    h.name = "0123456789012345678901234567890123456789";  // only the 32 bytes of the field
    EXPECT_EQ(foundation::buildPdb(h, {}).size(), pdb::firstRecordOffset(0));
    std::vector<foundation::PdbRecordData> tooMany(65536);
    EXPECT_TRUE(foundation::buildPdb(h, tooMany).empty());
    tooMany.pop_back();
    EXPECT_EQ(foundation::buildPdb(h, tooMany).size(), pdb::firstRecordOffset(65535));
}

TEST(PdbContainer, UnchangedImageWritesBackByteForByte) {
    testsupport::TempDir dir;
    std::mt19937 rng(7);
    std::vector<std::vector<uint8_t>> records;
    std::vector<uint8_t> attributes;
    for (int i = 0; i < 9; ++i) {
        std::vector<uint8_t> r(size_t(rng() % 300));
        for (auto& b : r) b = uint8_t(rng());
        records.push_back(r);
        attributes.push_back(uint8_t(rng()));
    }
    auto file = makeFile("Accounts", 60, "Data", "PiTB", records, attributes);
    testsupport::writeFile(dir.file("a.pdb"), file);

    PdbImage image;
    ASSERT_TRUE(foundation::loadPdb(image, dir.file("a.pdb")));
    EXPECT_TRUE(sameBytes(file, foundation::pdbFileBytes(image)));
    ASSERT_EQ(foundation::writePdbCopy(image, dir.file("b.pdb")), 1);
    EXPECT_TRUE(sameBytes(file, testsupport::readFile(dir.file("b.pdb"))));
    // The copy left the image in host order; writing it in place converts it.
    ASSERT_EQ(foundation::writePdb(image, dir.file("c.pdb")), 1);
    EXPECT_TRUE(sameBytes(file, testsupport::readFile(dir.file("c.pdb"))));
    EXPECT_TRUE(sameBytes(file, image.bytes));
}

TEST(PdbContainer, LongNamesAreCutTo31Characters) {
    PdbImage image;
    image.bytes.assign(pdb::firstRecordOffset(0), 0xEE);
    image.setName("0123456789012345678901234567890123456789");
    EXPECT_EQ(image.name(), "0123456789012345678901234567890");
    for (size_t i = 31; i < 32; ++i) EXPECT_EQ(image.bytes[i], 0);
    EXPECT_EQ(image.bytes[32], 0xEE);  // the attributes after the name are untouched
    // A name field without any NUL still reads as at most 31 characters.
    std::fill(image.bytes.begin(), image.bytes.begin() + 32, 'x');
    EXPECT_EQ(image.name().size(), 31u);
}

TEST(PdbContainer, VersionWindowOfTheProbe) {
    testsupport::TempDir dir;
    for (uint16_t version : {49, 50, 71, 72}) {
        std::string path = dir.file("v" + std::to_string(version) + ".pdb");
        testsupport::writeFile(path, makeFile("Budget-Jan", version, "Data", "PiTB", {filled(66, 0)}));
        PdbHeader h;
        ASSERT_TRUE(foundation::probePdbHeader(path, h));
        EXPECT_EQ(h.version, version);
        bool accepted =
            foundation::headerMatches(h, foundation::fourCC("Data"), foundation::fourCC("PiTB"), 50, 71);
        EXPECT_EQ(accepted, version == 50 || version == 71) << version;
    }
    PdbHeader h;
    std::string doc = dir.file("doc.pdb");
    testsupport::writeFile(doc, makeFile("notes", 70, "TEXt", "REAd", {filled(16, 0)}));
    ASSERT_TRUE(foundation::probePdbHeader(doc, h));
    EXPECT_FALSE(
        foundation::headerMatches(h, foundation::fourCC("Data"), foundation::fourCC("PiTB"), 50, 71));
    EXPECT_TRUE(
        foundation::headerMatches(h, foundation::fourCC("TEXt"), foundation::fourCC("REAd"), 0, 0xFFFF));
    EXPECT_EQ(h.name, "notes");
    EXPECT_EQ(h.numRecords, 1);
    EXPECT_EQ(h.uniqueIDSeed, 0x11223344u);
    // Shorter than a header: refused by the probe.
    std::string shortFile = dir.file("short.pdb");
    testsupport::writeFile(shortFile, std::string(77, 'x'));
    EXPECT_FALSE(foundation::probePdbHeader(shortFile, h));
    EXPECT_FALSE(foundation::probePdbHeader(dir.file("missing.pdb"), h));
}

TEST(PdbContainer, MalformedImagesAreRefusedLikeUnreadableFiles) {
    auto good = makeFile("Budget-Jan", 71, "Data", "PiTB", {filled(66, 1), filled(4, 2), filled(4, 3)});
    PdbImage image;
    ASSERT_TRUE(foundation::loadPdbFromBytes(image, good));

    // Truncated header.
    EXPECT_FALSE(foundation::loadPdbFromBytes(image, std::span(good.data(), 77)));
    EXPECT_TRUE(image.bytes.empty());
    // Record count whose list runs past the end of the file.
    auto bad = good;
    foundation::storeBE16(&bad[76], 30);
    EXPECT_FALSE(foundation::loadPdbFromBytes(image, bad));
    // An offset past the end of the file.
    bad = good;
    foundation::storeBE32(&bad[78 + 8], 179);
    EXPECT_FALSE(foundation::loadPdbFromBytes(image, bad));
    // Offsets decreasing.
    bad = good;
    foundation::storeBE32(&bad[78 + 16], 150);
    EXPECT_FALSE(foundation::loadPdbFromBytes(image, bad));
    // An offset pointing back into the record list.
    bad = good;
    foundation::storeBE32(&bad[78], 90);
    EXPECT_FALSE(foundation::loadPdbFromBytes(image, bad));
    // A list that ends exactly at the end of the file, without the gap, is
    // still a valid (if unusual) layout: zero-length records.
    std::vector<uint8_t> bare(78 + 8, 0);
    foundation::storeBE16(&bare[76], 1);
    foundation::storeBE32(&bare[78], 86);
    ASSERT_TRUE(foundation::loadPdbFromBytes(image, bare));
    auto r = foundation::recordAt(image, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 0u);
}

TEST(PdbContainer, RecordAtNeverLeavesTheImage) {
    // An image edited after loading (as builders do) is checked on every access.
    auto file = makeFile("x", 71, "Data", "PiTB", {filled(10, 1), filled(10, 2)});
    PdbImage image;
    ASSERT_TRUE(foundation::loadPdbFromBytes(image, file));
    image.setRecordOffset(1, uint32_t(image.size() + 5));
    EXPECT_FALSE(foundation::recordAt(image, 1));
    EXPECT_FALSE(foundation::recordAt(image, 0));  // would end past the image
    image.setNumRecords(500);
    EXPECT_FALSE(foundation::recordAt(image, 0));
    PdbImage empty;
    EXPECT_FALSE(foundation::recordAt(empty, 0));
}

TEST(PdbContainer, UnreadableFilesGiveNoImage) {
    testsupport::TempDir dir;
    PdbImage image;
    image.bytes.assign(10, 1);
    EXPECT_FALSE(foundation::loadPdb(image, dir.file("none.pdb")));
    EXPECT_TRUE(image.bytes.empty());

    std::string path = dir.file("a.pdb");
    testsupport::writeFile(path, makeFile("a", 71, "Data", "PiTB", {filled(66, 1)}));
    platform::faults::arm(platform::faults::Op::Read, 5 /* EIO */);
    EXPECT_FALSE(foundation::loadPdb(image, path));
    platform::faults::disarmAll();
    EXPECT_TRUE(foundation::loadPdb(image, path));
}

TEST(PdbContainer, FailedWriteKeepsTheOldFile) {
    testsupport::TempDir dir;
    auto file = makeFile("a", 71, "Data", "PiTB", {filled(66, 1)});
    std::string path = dir.file("a.pdb");
    testsupport::writeFile(path, "old contents");
    PdbImage image;
    ASSERT_TRUE(foundation::loadPdbFromBytes(image, file));
    platform::faults::arm(platform::faults::Op::Write, 28 /* ENOSPC */);
    EXPECT_EQ(foundation::writePdbCopy(image, path), 0);
    platform::faults::disarmAll();
    EXPECT_TRUE(sameBytes(testsupport::bytesOf("old contents"), testsupport::readFile(path)));
    EXPECT_EQ(foundation::writePdbCopy(image, dir.file("no-such-folder/a.pdb")), 0);
}

TEST(PdbContainer, ByteOrderConversionIsItsOwnInverse) {
    auto file = makeFile("Budget", 71, "Data", "PiTB", {filled(66, 1), filled(4, 2)});
    PdbImage image;
    image.bytes = file;
    foundation::swapPdbHeader(image);
    EXPECT_EQ(image.version(), 71);
    EXPECT_EQ(image.numRecords(), 2);
    foundation::swapPdbHeader(image);
    EXPECT_TRUE(sameBytes(file, image.bytes));

    uint8_t d[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    foundation::reverseBytes(d, 8);
    EXPECT_EQ(d[0], 8);
    EXPECT_EQ(d[7], 1);
}

TEST(PdbContainer, VersionTextGivesDbVersion) {
    EXPECT_EQ(foundation::parseVersionText("7.1"), 71);
    EXPECT_EQ(foundation::parseVersionText("7.0"), 70);
    EXPECT_EQ(foundation::parseVersionText("7.1.5"), 71);  // the second non-digit stops
    EXPECT_EQ(foundation::parseVersionText("10.25"), 1025);
    EXPECT_EQ(foundation::parseVersionText(""), 0);
}
