#include "text/doc_state.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/bstr.h"
#include "platform/files.h"
#include "text/doc_codec.h"

namespace text {

namespace {

int16_t fail(DocTransferRecord* record, int16_t status) {
    record->status = status;
    return status;
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Opens a document for writing to outputPath: empty piece and encoded
// buffers; the database header is laid out when the document is written.
void startWriting(DocState& state, std::string outputPath) {
    DocState fresh;
    fresh.outputPath = std::move(outputPath);
    fresh.header.compression = kCompressionDoc;
    fresh.header.spare = dochdr::kSpareValue;
    fresh.header.recordSize = uint16_t(kTextRecordSize);

    fresh.pieceBuffer.assign(kTextRecordSize, 0);
    fresh.encoded.assign(kEncodedGrowStep, 0);
    fresh.open = DocDirection::Writing;
    state = std::move(fresh);
}

// Encodes the held piece as the next text record. Returns 0; a failed
// allocation throws std::bad_alloc before anything changes (the callers
// answer -3), so the piece can be appended again later.
int16_t appendPiece(DocState& state) {
    const size_t length = state.pieceFill;
    const size_t need = state.encodedUsed + encodeBound(length);
    if (state.encoded.size() < need) {
        size_t grown = state.encoded.size();
        while (grown < need) grown += kEncodedGrowStep;
        state.encoded.resize(grown, 0);
    }
    if (state.recordOffsets.size() == state.recordOffsets.capacity())
        state.recordOffsets.reserve(std::max<size_t>(64, 2 * state.recordOffsets.capacity()));
    auto piece = std::span<uint8_t>(state.pieceBuffer.data(), length);
    auto room = std::span<uint8_t>(state.encoded.data() + state.encodedUsed,
                                   state.encoded.size() - state.encodedUsed);
    auto size = encodeDocRecord(piece, kCompressionDoc, room);
    if (!size) return BF_ERR_PROGRAM;  // cannot happen: the piece and the room are within bounds
    state.recordOffsets.push_back(uint32_t(state.encodedUsed));
    state.encodedUsed += *size;
    state.header.textLength += uint32_t(length);
    state.lastLength = uint16_t(length);
    state.pieceFill = 0;
    return 0;
}

// The file bytes of the whole database: the header of a text database,
// record 0 and the encoded records after it.
std::vector<uint8_t> buildDocFile(const DocState& state) {
    const size_t n = state.recordOffsets.size();
    std::vector<uint8_t> record0(docHeaderSize(n), 0);
    buildDocHeader(state.header.textLength, uint16_t(n), state.lastLength, record0);

    foundation::PdbHeader header;
    header.name = docDatabaseName(state.outputPath);
    header.version = docDbVersion();
    header.creationDate = foundation::pdb::kFixedDate;
    header.modificationDate = foundation::pdb::kFixedDate;
    header.type = kDocType;
    header.creator = kDocCreator;
    std::vector<foundation::PdbRecordData> records(n + 1);
    records[0].data = record0;
    for (size_t k = 0; k < n; ++k) {
        const size_t end = k + 1 < n ? state.recordOffsets[k + 1] : state.encodedUsed;
        records[k + 1].data = std::span<const uint8_t>(state.encoded.data() + state.recordOffsets[k],
                                                       end - state.recordOffsets[k]);
    }
    return foundation::buildPdb(header, records);
}

}  // namespace

std::string docOutputPath(std::string_view path) {
    std::string out(path);
    const size_t n = out.size();
    if (n > 4 && out[n - 4] == '.' && !isSeparator(out[n - 3]) && !isSeparator(out[n - 2]) &&
        !isSeparator(out[n - 1]))
        out.resize(n - 4);
    out += ".pdb";
    return out;
}

std::string docDatabaseName(std::string_view outputPath) {
    std::string_view name = platform::fileNamePart(outputPath);
    constexpr std::string_view kExt = ".pdb";
    if (name.size() >= kExt.size() && name.substr(name.size() - kExt.size()) == kExt)
        name.remove_suffix(kExt.size());
    return std::string(name.substr(0, foundation::pdb::kMaxNameLength));
}

void closeDoc(DocState& state) { state = DocState(); }

int16_t writeDoc(DocState& state, DocTransferRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    if (state.open == DocDirection::Reading) return fail(record, BF_ERR_PROGRAM);
    try {
        if (state.open == DocDirection::None) {
            record->status = BF_ERR_PATH;
            if (!record->path) return BF_ERR_PATH;
            std::string_view path = platform::byteStringText(record->path);
            std::string outputPath = docOutputPath(path);
            if (path.empty() || outputPath.size() > kMaxPathLength || docDatabaseName(outputPath).empty())
                return BF_ERR_PATH;
            record->status = BF_ERR_MEMORY;
            startWriting(state, std::move(outputPath));
        }
        record->status = 0;
        if (record->length <= 0) return 0;
        if (!record->data) return fail(record, BF_ERR_PARAMETER);

        // n + 1 records must fit the container: text beyond 65,534 full
        // records is refused and the document ended, so that no shortened
        // database is written and the next WriteDoc starts a new document.
        const uint64_t held = uint64_t(state.recordOffsets.size()) * kTextRecordSize + state.pieceFill;
        if (held + uint64_t(record->length) > uint64_t(kMaxTextRecords) * kTextRecordSize) {
            closeDoc(state);
            return fail(record, BF_ERR_WRITE);
        }

        const auto* from = reinterpret_cast<const uint8_t*>(record->data);
        size_t left = size_t(record->length);
        while (left > 0) {
            // A piece left full by an earlier failed append goes first.
            if (state.pieceFill == kTextRecordSize) {
                if (int16_t s = appendPiece(state)) return fail(record, s);
            }
            size_t take = std::min(left, kTextRecordSize - state.pieceFill);
            std::memcpy(state.pieceBuffer.data() + state.pieceFill, from, take);
            state.pieceFill += take;
            from += take;
            left -= take;
            if (state.pieceFill == kTextRecordSize) {
                if (int16_t s = appendPiece(state)) return fail(record, s);
            }
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return fail(record, BF_ERR_MEMORY);
    }
}

int16_t flushDoc(DocState& state, DocTransferRecord* record,
                 const std::function<void(int16_t user)>& markPendingInstall) {
    if (!record) return BF_ERR_PARAMETER;
    record->status = BF_ERR_PROGRAM;
    if (state.open != DocDirection::Writing) return BF_ERR_PROGRAM;
    try {
        // Every outcome below ends the document, so the next WriteDoc starts
        // a new one for its own path.
        if (state.pieceFill > 0) {
            if (int16_t s = appendPiece(state)) {
                closeDoc(state);
                return fail(record, s);
            }
        }
        record->status = BF_ERR_SHEET_NAME;
        if (state.recordOffsets.empty()) {
            closeDoc(state);
            return BF_ERR_SHEET_NAME;
        }
        record->status = BF_ERR_MEMORY;
        const std::vector<uint8_t> file = buildDocFile(state);
        record->status = 0;
        if (!foundation::writePdbBytes(file, state.outputPath)) record->status = BF_ERR_WRITE;
    } catch (const std::bad_alloc&) {
        closeDoc(state);
        return fail(record, BF_ERR_MEMORY);
    }
    closeDoc(state);
    const int16_t status = record->status;
    if (markPendingInstall) {
        try {
            markPendingInstall(record->user);
        } catch (...) {
            // Raising the install flag is best effort; the status is the write's.
        }
    }
    return status;
}

int16_t openDocImage(DocState& state, foundation::PdbImage&& image) {
    closeDoc(state);
    try {
        auto record0 = foundation::recordAt(image, 0);
        if (!record0) return BF_ERR_SHEET_NAME;
        auto header = parseDocHeader(*record0);
        if (!header) return BF_ERR_SHEET_NAME;
        if (header->compression != kCompressionPlain && header->compression != kCompressionDoc)
            return BF_ERR_AUTHORIZATION;
        if (header->recordCount == 0 || header->recordSize == 0) return BF_ERR_SHEET_NAME;
        // Every counted text record must be in the database.
        if (size_t(header->recordCount) + 1 > image.numRecords()) return BF_ERR_SHEET_NAME;
        for (size_t k = 1; k <= header->recordCount; ++k)
            if (!foundation::recordAt(image, k)) return BF_ERR_SHEET_NAME;
        DocState fresh;
        fresh.decodeBuffer.assign(header->recordSize, 0);
        fresh.header = *header;
        fresh.image = std::move(image);
        fresh.nextRecord = 0;
        fresh.open = DocDirection::Reading;
        state = std::move(fresh);
        return 0;
    } catch (const std::bad_alloc&) {
        return BF_ERR_MEMORY;
    }
}

int16_t readDoc(DocState& state, DocTransferRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    if (state.open == DocDirection::Writing) return fail(record, BF_ERR_PROGRAM);
    try {
        if (state.open == DocDirection::None) {
            record->status = BF_ERR_PATH;
            if (!record->path) return BF_ERR_PATH;
            record->status = BF_ERR_OPEN;
            foundation::PdbImage image;
            if (!foundation::loadPdb(image, std::string(platform::byteStringText(record->path))))
                return BF_ERR_OPEN;
            if (int16_t s = openDocImage(state, std::move(image))) return fail(record, s);
        }
        record->status = 0;
        platform::clearByteString(record->data);
        record->length = 0;

        ++state.nextRecord;
        if (state.nextRecord > state.header.recordCount) {
            record->status = BF_EOF;
            closeDoc(state);
            return 0;
        }
        // Present: openDocImage checked every counted record.
        auto encoded = foundation::recordAt(state.image, state.nextRecord);
        bool intact = true;
        size_t n =
            encoded ? decodeDocRecord(*encoded, state.header.compression, state.decodeBuffer, &intact) : 0;
        if (!intact) {
            // A damaged record is reported rather than handed out cut short;
            // the document stays open at the next record.
            record->status = BF_ERR_CORRUPT;
            return 0;
        }
        auto text = std::string_view(reinterpret_cast<const char*>(state.decodeBuffer.data()), n);
        record->data = platform::allocByteString(text);
        if (!record->data) {
            record->status = BF_ERR_MEMORY;
            return 0;
        }
        record->length = int32_t(n);
        return 0;
    } catch (const std::bad_alloc&) {
        return fail(record, BF_ERR_MEMORY);
    }
}

}  // namespace text
