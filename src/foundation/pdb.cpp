#include "foundation/pdb.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "foundation/byte_reader.h"
#include "platform/files.h"

namespace foundation {

void reverseBytes(uint8_t* field, size_t n) { std::reverse(field, field + n); }

void swapPdbHeader(PdbImage& image) {
    if (!image.hasHeader()) return;
    uint8_t* b = image.bytes.data();
    reverseBytes(b + pdb::kAttributesOffset, 2);
    reverseBytes(b + pdb::kVersionOffset, 2);
    for (size_t off = pdb::kCreationDateOffset; off <= pdb::kNextRecordListIdOffset; off += 4)
        reverseBytes(b + off, 4);
    reverseBytes(b + pdb::kNumRecordsOffset, 2);
}

void swapRecordOffsets(PdbImage& image) {
    if (!image.hasHeader()) return;
    size_t n = image.numRecords();
    for (size_t i = 0; i < n; ++i) {
        size_t at = pdb::kHeaderSize + pdb::kEntrySize * i;
        if (at + 4 > image.bytes.size()) break;
        reverseBytes(image.bytes.data() + at, 4);
    }
}

bool validPdbLayout(const PdbImage& image) {
    if (!image.hasHeader()) return false;
    size_t n = image.numRecords();
    size_t listEnd = pdb::kHeaderSize + pdb::kEntrySize * n;
    if (listEnd > image.size()) return false;
    size_t previous = listEnd;
    for (size_t i = 0; i < n; ++i) {
        size_t offset = image.recordOffset(i);
        if (offset < previous || offset > image.size()) return false;
        previous = offset;
    }
    return true;
}

namespace {

bool finishLoad(PdbImage& image) {
    swapPdbHeader(image);
    swapRecordOffsets(image);
    if (!validPdbLayout(image)) {
        image.bytes.clear();
        return false;
    }
    return true;
}

}  // namespace

bool loadPdb(PdbImage& image, const std::string& path) {
    image.bytes.clear();
    auto file = platform::File::open(path, platform::File::Mode::Read);
    if (!file) return false;
    long long size = file->size();
    if (size < 0) return false;
    try {
        image.bytes.assign(size_t(size), 0);
    } catch (const std::bad_alloc&) {
        image.bytes.clear();
        return false;
    }
    if (!file->readExact(image.bytes.data(),
                         image.bytes.size())) {  // short read: the file changed or failed under us
        image.bytes.clear();
        return false;
    }
    return finishLoad(image);
}

bool loadPdbFromBytes(PdbImage& image, std::span<const uint8_t> bytes) {
    image.bytes.assign(bytes.begin(), bytes.end());
    return finishLoad(image);
}

namespace {

template <typename Image>
std::optional<std::pair<size_t, size_t>> recordBounds(Image& image, size_t i) {
    if (!image.hasHeader()) return std::nullopt;
    size_t n = image.numRecords();
    if (i >= n || pdb::kHeaderSize + pdb::kEntrySize * n > image.size()) return std::nullopt;
    size_t start = image.recordOffset(i);
    size_t end = i + 1 < n ? image.recordOffset(i + 1) : image.size();
    if (start > end || end > image.size()) return std::nullopt;
    return std::make_pair(start, end);
}

}  // namespace

std::optional<std::span<const uint8_t>> recordAt(const PdbImage& image, size_t i) {
    auto bounds = recordBounds(image, i);
    if (!bounds) return std::nullopt;
    return std::span<const uint8_t>(image.bytes.data() + bounds->first, bounds->second - bounds->first);
}

std::optional<std::span<uint8_t>> recordAt(PdbImage& image, size_t i) {
    auto bounds = recordBounds(image, i);
    if (!bounds) return std::nullopt;
    return std::span<uint8_t>(image.bytes.data() + bounds->first, bounds->second - bounds->first);
}

int writePdb(PdbImage& image, const std::string& path) {
    swapRecordOffsets(image);
    swapPdbHeader(image);
    return platform::writeFileAtomically(path, image.bytes.data(), image.bytes.size()) ? 1 : 0;
}

int writePdbCopy(const PdbImage& image, const std::string& path) {
    try {
        PdbImage copy = image;
        return writePdb(copy, path);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::vector<uint8_t> pdbFileBytes(const PdbImage& image) {
    PdbImage copy = image;
    swapRecordOffsets(copy);
    swapPdbHeader(copy);
    return std::move(copy.bytes);
}

std::vector<uint8_t> buildPdb(const PdbHeader& header, std::span<const PdbRecordData> records) {
    const size_t n = records.size();
    if (n > 0xFFFF) return {};
    size_t total = pdb::firstRecordOffset(n);
    for (const PdbRecordData& r : records) total += r.data.size();
    if (total > 0xFFFFFFFFu) return {};  // offsets are 32-bit
    std::vector<uint8_t> out(total, 0);
    uint8_t* b = out.data();
    std::memcpy(b + pdb::kNameOffset, header.name.data(), std::min(header.name.size(), pdb::kNameSize));
    storeBE16(b + pdb::kAttributesOffset, header.attributes);
    storeBE16(b + pdb::kVersionOffset, header.version);
    storeBE32(b + pdb::kCreationDateOffset, header.creationDate);
    storeBE32(b + pdb::kModificationDateOffset, header.modificationDate);
    storeBE32(b + pdb::kLastBackupDateOffset, header.lastBackupDate);
    storeBE32(b + pdb::kModificationNumberOffset, header.modificationNumber);
    storeBE32(b + pdb::kAppInfoIdOffset, header.appInfoID);
    storeBE32(b + pdb::kSortInfoIdOffset, header.sortInfoID);
    storeBE32(b + pdb::kTypeOffset, header.type);
    storeBE32(b + pdb::kCreatorOffset, header.creator);
    storeBE32(b + pdb::kUniqueIdSeedOffset, header.uniqueIDSeed);
    storeBE32(b + pdb::kNextRecordListIdOffset, header.nextRecordListID);
    storeBE16(b + pdb::kNumRecordsOffset, uint16_t(n));
    size_t offset = pdb::firstRecordOffset(n);
    for (size_t i = 0; i < n; ++i) {
        const PdbRecordData& r = records[i];
        uint8_t* entry = b + pdb::kHeaderSize + pdb::kEntrySize * i;
        storeBE32(entry, uint32_t(offset));
        entry[4] = r.attributes;
        entry[5] = uint8_t(r.uniqueID >> 16);
        entry[6] = uint8_t(r.uniqueID >> 8);
        entry[7] = uint8_t(r.uniqueID);
        if (!r.data.empty()) std::memcpy(b + offset, r.data.data(), r.data.size());
        offset += r.data.size();
    }
    return out;
}

int writePdbBytes(std::span<const uint8_t> bytes, const std::string& path) {
    if (bytes.empty()) return 0;
    return platform::writeFileAtomically(path, bytes.data(), bytes.size()) ? 1 : 0;
}

std::string PdbImage::name() const {
    const char* p = reinterpret_cast<const char*>(bytes.data());
    size_t n = 0;
    while (n < pdb::kMaxNameLength && p[n] != '\0') ++n;
    return std::string(p, n);
}

void PdbImage::setName(std::string_view name) {
    std::fill(bytes.begin(), bytes.begin() + pdb::kNameSize, 0);
    size_t n = std::min(name.size(), pdb::kMaxNameLength);
    std::memcpy(bytes.data(), name.data(), n);
}

bool parsePdbHeader(std::span<const uint8_t> bytes, PdbHeader& header) {
    if (bytes.size() < pdb::kHeaderSize) return false;
    ByteReader r(bytes);
    auto name = r.bytes(pdb::kNameSize);
    size_t n = 0;
    while (n < pdb::kNameSize && name[n] != 0) ++n;
    header.name.assign(reinterpret_cast<const char*>(name.data()), n);
    header.attributes = r.be16();
    header.version = r.be16();
    header.creationDate = r.be32();
    header.modificationDate = r.be32();
    header.lastBackupDate = r.be32();
    header.modificationNumber = r.be32();
    header.appInfoID = r.be32();
    header.sortInfoID = r.be32();
    header.type = r.be32();
    header.creator = r.be32();
    header.uniqueIDSeed = r.be32();
    header.nextRecordListID = r.be32();
    header.numRecords = r.be16();
    return r.ok();
}

bool probePdbHeader(const std::string& path, PdbHeader& header) {
    auto file = platform::File::open(path, platform::File::Mode::Read);
    if (!file) return false;
    uint8_t buffer[pdb::kHeaderSize];
    return file->readExact(buffer, sizeof buffer) && parsePdbHeader(buffer, header);
}

bool headerMatches(const PdbHeader& header, uint32_t type, uint32_t creator, uint16_t minVersion,
                   uint16_t maxVersion) {
    return header.type == type && header.creator == creator && header.version >= minVersion &&
           header.version <= maxVersion;
}

uint16_t parseVersionText(std::string_view text) {
    uint16_t v = 0;
    bool skipped = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            v = uint16_t(v * 10 + (c - '0'));
        } else if (!skipped) {
            skipped = true;
        } else {
            break;
        }
    }
    return v;
}

}  // namespace foundation
