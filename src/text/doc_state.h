// text/doc_state.h - the open document of textlink and the algorithms of
// WriteDoc, FlushDoc and ReadDoc on it.
//
// One document is open at a time, for writing or for reading:
//   writing  WriteDoc (first call names the output file) ... FlushDoc
//   reading  ReadDoc (first call names the database) ... until status -6
// Every call leaves its status in record->status; the return values are those
// of the exports (docs/palm-doc.md lists the decisions taken where the
// caller misbehaves: calls in the wrong direction, oversized documents, long
// paths).
//
// DocState fields:
//   open           which direction is open (None: closed)
//   image          writing: the 78-byte database header, then the whole file
//                  at FlushDoc; reading: the loaded database
//   header         the DocHeader in use (writing: compression 2, record size
//                  8192, running text length; reading: record 0's values)
//   outputPath     writing: the output file, extension replaced by ".pdb"
//   pieceBuffer    8192 bytes of text not yet encoded; pieceFill of them held
//   encoded        every encoded text record back to back (grown in 512 KiB
//                  steps); encodedUsed bytes used; recordOffsets[k] where
//                  text record k+1 starts in it
//   lastLength     uncompressed length of the last text record appended
//   decodeBuffer   reading: room for one decoded record (record size bytes)
//   nextRecord     reading: text records handed out so far
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/pdb.h"
#include "text/doc_format.h"
#include "textlink.h"

namespace text {

// The longest output path kept (the same 1023 characters as every path
// buffer of the library).
constexpr size_t kMaxPathLength = 1023;
// The encoded buffer grows in steps of this size.
constexpr size_t kEncodedGrowStep = 0x80000;

enum class DocDirection { None, Writing, Reading };

struct DocState {
    DocDirection open = DocDirection::None;
    foundation::PdbImage image;
    DocHeader header;
    std::string outputPath;
    std::vector<uint8_t> pieceBuffer;
    size_t pieceFill = 0;
    std::vector<uint8_t> encoded;
    size_t encodedUsed = 0;
    std::vector<uint32_t> recordOffsets;
    uint16_t lastLength = 0;
    std::vector<uint8_t> decodeBuffer;
    uint32_t nextRecord = 0;
};

// The output file WriteDoc writes for a path: when the path is longer than 4
// characters and its fourth character from the end is "." (with no folder
// separator after it), it is cut there; then ".pdb" is appended.
std::string docOutputPath(std::string_view path);
// The database name for an output path: its base name (after the last '/' or
// '\') without the final ".pdb", cut to 31 characters.
std::string docDatabaseName(std::string_view outputPath);

// WriteDoc: adds record->length bytes from record->data to the document,
// opening it for record->path first when none is open. Text beyond 65,534
// records is refused with -9 and ends the document.
int16_t writeDoc(DocState& state, DocTransferRecord* record);

// FlushDoc: encodes the last piece, writes the database, ends the document
// and, once the write was attempted, calls markPendingInstall(record->user)
// whatever the write gave.
int16_t flushDoc(DocState& state, DocTransferRecord* record,
                 const std::function<void(int16_t user)>& markPendingInstall);

// ReadDoc: the first call loads the database named by record->path; every
// call hands out the next text record in record->data / record->length (a
// record with a token that cannot be decoded sets status -5 instead and
// hands out nothing); the call after the last one sets status -6, returns 0
// and closes the document.
int16_t readDoc(DocState& state, DocTransferRecord* record);

// The start-up checks of ReadDoc on a database already in memory: record 0
// present and at least 16 bytes, compression 1 or 2 (else -11), a non-zero
// record count and size, and every counted text record present. On success
// the document is open for reading and 0 is returned; otherwise the state is
// closed and the status returned (-4, -11, -3).
int16_t openDocImage(DocState& state, foundation::PdbImage&& image);

// Ends whatever document is open and releases its buffers.
void closeDoc(DocState& state);

}  // namespace text
