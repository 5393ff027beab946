// foundation/pdb.h - the Palm database container (PDB file layout).
//
// Header (78 bytes at offset 0, big-endian in the file):
//   off width field
//    0  32   name, NUL-terminated ASCII (at most 31 characters)
//   32   2   attributes
//   34   2   version
//   36   4   creationDate (seconds since 1904-01-01)
//   40   4   modificationDate
//   44   4   lastBackupDate
//   48   4   modificationNumber
//   52   4   appInfoID
//   56   4   sortInfoID
//   60   4   type, four ASCII bytes
//   64   4   creator, four ASCII bytes
//   68   4   uniqueIDSeed
//   72   4   nextRecordListID
//   76   2   numRecords (n)
// Record list at 78: n entries of 8 bytes
//    0   4   offset of the record's data from the start of the file
//    4   1   record attributes
//    5   3   unique ID
// then two zero bytes; records follow back to back in list order. Record i
// runs to the offset of record i+1, the last one to the end of the file.
//
// A PdbImage holds a whole file in one buffer. Between loadPdb and writePdb
// the header's numeric fields and the record offsets are in host order
// (little-endian, the order of the Windows hosts the format was made on);
// record contents stay as in the file and their readers decode them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/byteorder.h"

namespace foundation {

namespace pdb {
constexpr size_t kNameOffset = 0;
constexpr size_t kNameSize = 32;
constexpr size_t kMaxNameLength = 31;
constexpr size_t kAttributesOffset = 32;
constexpr size_t kVersionOffset = 34;
constexpr size_t kCreationDateOffset = 36;
constexpr size_t kModificationDateOffset = 40;
constexpr size_t kLastBackupDateOffset = 44;
constexpr size_t kModificationNumberOffset = 48;
constexpr size_t kAppInfoIdOffset = 52;
constexpr size_t kSortInfoIdOffset = 56;
constexpr size_t kTypeOffset = 60;
constexpr size_t kCreatorOffset = 64;
constexpr size_t kUniqueIdSeedOffset = 68;
constexpr size_t kNextRecordListIdOffset = 72;
constexpr size_t kNumRecordsOffset = 76;
constexpr size_t kHeaderSize = 78;
constexpr size_t kEntrySize = 8;
constexpr size_t kGapSize = 2;  // the two zero bytes after the record list

// The fixed date written into every database (1966-05-17 22:46:14 on the
// 1904 epoch); the libraries never write the current time.
constexpr uint32_t kFixedDate = 0x75541D36;

// Offset of the first record of a database with n records.
constexpr size_t firstRecordOffset(size_t n) { return kHeaderSize + kEntrySize * n + kGapSize; }
}  // namespace pdb

// reverseBytes: reverses n bytes in place (n = 2, 4 or 8).
void reverseBytes(uint8_t* field, size_t n);

struct PdbImage {
    std::vector<uint8_t> bytes;  // the whole file; header and offsets in host order

    size_t size() const { return bytes.size(); }
    bool hasHeader() const { return bytes.size() >= pdb::kHeaderSize; }

    // Header fields, host order (the image must hold a header).
    std::string name() const;             // up to the first NUL, at most 31 characters
    void setName(std::string_view name);  // cut to 31 characters, rest zero
    uint16_t attributes() const { return loadLE16(&bytes[pdb::kAttributesOffset]); }
    uint16_t version() const { return loadLE16(&bytes[pdb::kVersionOffset]); }
    void setVersion(uint16_t v) { storeLE16(&bytes[pdb::kVersionOffset], v); }
    uint32_t field32(size_t offset) const { return loadLE32(&bytes[offset]); }
    void setField32(size_t offset, uint32_t v) { storeLE32(&bytes[offset], v); }
    uint32_t type() const { return field32(pdb::kTypeOffset); }
    uint32_t creator() const { return field32(pdb::kCreatorOffset); }
    uint16_t numRecords() const { return loadLE16(&bytes[pdb::kNumRecordsOffset]); }
    void setNumRecords(uint16_t n) { storeLE16(&bytes[pdb::kNumRecordsOffset], n); }

    // Record list entries, host order (the entry must lie inside the image).
    uint32_t recordOffset(size_t i) const { return loadLE32(&bytes[pdb::kHeaderSize + pdb::kEntrySize * i]); }
    void setRecordOffset(size_t i, uint32_t offset) {
        storeLE32(&bytes[pdb::kHeaderSize + pdb::kEntrySize * i], offset);
    }
};

// The header fields as read by the header-only probe (host values).
struct PdbHeader {
    std::string name;  // up to the first NUL; 32 characters when the field holds none
    uint16_t attributes = 0;
    uint16_t version = 0;
    uint32_t creationDate = 0, modificationDate = 0, lastBackupDate = 0;
    uint32_t modificationNumber = 0, appInfoID = 0, sortInfoID = 0;
    uint32_t type = 0, creator = 0, uniqueIDSeed = 0, nextRecordListID = 0;
    uint16_t numRecords = 0;
};

// One record handed to the builder: its bytes, attributes and unique ID (the
// low 24 bits are written).
struct PdbRecordData {
    std::span<const uint8_t> data;
    uint8_t attributes = 0;
    uint32_t uniqueID = 0;
};

// buildPdb: the file bytes of a database with these header fields and
// records: header, record list, two zero bytes, the records back to back in
// order. The name is written as given, at most 32 bytes, the rest of the
// field zero (writers pass at most 31 characters so the field keeps a NUL);
// numRecords comes from the records, every other field from the header.
// Empty when there are more than 65,535 records. Throws std::bad_alloc when
// the bytes cannot be allocated.
std::vector<uint8_t> buildPdb(const PdbHeader& header, std::span<const PdbRecordData> records);
// writePdbBytes: writes built bytes as the file through the atomic
// replacement (a failed write leaves the old file). Returns 1 or 0; 0 also
// for an empty buffer.
int writePdbBytes(std::span<const uint8_t> bytes, const std::string& path);

// swapPdbHeader: reverses attributes, version, the ten 4-byte fields from
// creationDate to nextRecordListID and numRecords. Its own inverse.
void swapPdbHeader(PdbImage& image);
// swapRecordOffsets: reverses the offset of each of the numRecords entries,
// reading numRecords in host order: after swapPdbHeader when loading, before
// it when writing. Entries beyond the image are left alone.
void swapRecordOffsets(PdbImage& image);

// Checks that the image (header and offsets in host order) is a well-formed
// container: a whole header, the record list inside the file, every offset
// at or after the end of the list, not past the end of the file, and never
// decreasing. Everything recordAt hands out then lies inside the image.
bool validPdbLayout(const PdbImage& image);

// loadPdb: reads a whole file into the image (reusing its buffer), converts
// the header and record offsets to host order. Returns false - the image is
// then empty - when the file cannot be opened or read completely, or when
// its layout is malformed (validPdbLayout), so a malformed file is refused
// like an unreadable one.
bool loadPdb(PdbImage& image, const std::string& path);
// Same, from bytes already in memory (fuzzing, tests, images in buffers).
bool loadPdbFromBytes(PdbImage& image, std::span<const uint8_t> bytes);

// recordAt: record i's bytes, or nothing when i >= numRecords or the record
// does not lie inside the image.
std::optional<std::span<const uint8_t>> recordAt(const PdbImage& image, size_t i);
std::optional<std::span<uint8_t>> recordAt(PdbImage& image, size_t i);

// writePdb: converts the record offsets and then the header to file order in
// place and writes the whole buffer as the file (created or replaced; the
// replacement is atomic, so a failed write leaves the old file). Returns 1 or
// 0. The image is left in file order: a caller that still needs it in host
// order passes a copy (writePdbCopy).
int writePdb(PdbImage& image, const std::string& path);
int writePdbCopy(const PdbImage& image, const std::string& path);
// The bytes writePdb would write, without touching the file system.
std::vector<uint8_t> pdbFileBytes(const PdbImage& image);

// Header-only probe: reads the first 78 bytes of a file into a PdbHeader.
// False when the file cannot be read or is shorter than a header.
bool probePdbHeader(const std::string& path, PdbHeader& header);
bool parsePdbHeader(std::span<const uint8_t> bytes, PdbHeader& header);

// dbVersion from a version text: digits accumulate left to right (v = 10v +
// digit), the first non-digit is skipped, the second non-digit or the end
// stops. "7.1" gives 71, "7.0" gives 70.
uint16_t parseVersionText(std::string_view text);

}  // namespace foundation

namespace foundation {

// The acceptance test of the header-only probe: type and creator match and
// minVersion <= version <= maxVersion.
bool headerMatches(const PdbHeader& header, uint32_t type, uint32_t creator, uint16_t minVersion,
                   uint16_t maxVersion);

}  // namespace foundation
