// text/textlink_state.h - the module-wide state of the text library and the
// operations the exports run on it.
//
// Each process that loads the library has one TextlinkState, created when
// the library is attached and released when it is detached:
//   doc               the one open document of WriteDoc / FlushDoc / ReadDoc
//   registry          the users and their entry lists (QLRegistry.dat and
//                     the Palm Doc databases in each user's Backup folder)
//   lastExportSource  the last "From:" / "To:" paths of the stand-alone
//   lastImportTarget  dialogs (at most 1023 characters, empty at load)
//   dbVersion         the database version from the version text "7.0" (70)
//   attachFailed      the attach step could not load the registry: a host
//                     that loaded the library without the platform loader
//                     keeps it, and the exports that need the registry
//                     answer -1
//
// Conversions run on the caller's thread and never hold the sync.dat lock;
// only ExportFromCommandLine's reload takes it (mode 0), for its span.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/doc_registry.h"
#include "text/doc_state.h"
#include "textlink.h"

namespace text {

constexpr const char* kNotInstalledFormat = "%s is not installed properly";
constexpr const char* kReplaceQuestionFormat = "%s already exists.\nDo you want to replace it?";
constexpr const char* kReplaceCaption = "Save As";
// Bytes read from a source text file per WriteDoc.
constexpr size_t kSourcePieceSize = 8192;

struct TextlinkState {
    DocState doc;
    DocRegistry registry;
    std::string lastExportSource;
    std::string lastImportTarget;
    uint16_t dbVersion = 0;
    bool attachFailed = false;
};

// The library's one instance, made on first use. Static destruction never
// destroys it, so calls a host makes while its process ends still find it;
// the detach step releases it (releaseTextlinkState) when the library is
// unloaded.
TextlinkState& textlinkState();
void releaseTextlinkState();

// "Quillo is not installed properly".
std::string notInstalledText();

// Attach: read dbVersion, refresh the registry in desktop mode without
// saving; on failure show the "not installed" message (owned by the focus
// window) and refuse (false).
bool attachTextlink(TextlinkState& state);
// Detach: release the registry without writing it, under the lock (mode 2),
// and end any open document.
void detachTextlink(TextlinkState& state);

// FlushDoc with the install flag raised for the record's user under the
// product Quillo.
int16_t flushDocument(TextlinkState& state, DocTransferRecord* record);

// exportToUser: places the output path (the user's Install folder, ending in
// a separator, followed by the source's file name when a source is given) in
// the record's path and, with a source, converts it. Status 0 without
// touching the record's path for a negative user; -15 when the user has no
// folder or the source names no file; -3 when the path string cannot be made.
int16_t exportToUser(TextlinkState& state, DocTransferRecord* record, const std::string* source);

// convertTextFileToDoc: streams the source file into WriteDoc in pieces of
// 8192 bytes and finishes with FlushDoc. -15 without an output path in the
// record, -2 when the source cannot be opened or read, -14 while another
// document is open, else the status of WriteDoc / FlushDoc. A conversion
// that stops on an error ends the document it opened.
int16_t convertTextFileToDoc(TextlinkState& state, const std::string& source, DocTransferRecord* record);

// convertDocToTextFile: asks before replacing an existing text file (any
// answer but Yes gives -16 and nothing is written), then writes the text of
// the database as ReadDoc hands it out. -14 while another document is open;
// ReadDoc's status when the database cannot be read (the text file is then
// left untouched); -9 when the text file cannot be created or written in
// full (the reading document is then ended).
int16_t convertDocToTextFile(TextlinkState& state, const std::string& databasePath,
                             const std::string& textPath);

// ExportFromCommandLine: reloads the registry under the lock in mode 0
// (writing QLRegistry.dat back first), finds the user by exact name and
// exports the file to that user's Install folder. 0, -1 (missing record,
// name or path; registry not loaded at attach; sync.dat not available), -2
// (QLRegistry.dat unreadable and no lists in memory), -10 (no such user) or
// the conversion's status.
int16_t exportFromCommandLine(TextlinkState& state, const CommandLineExportRecord* record);

}  // namespace text
