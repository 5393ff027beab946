#include "text/textlink_state.h"

#include <cstdio>
#include <new>
#include <vector>

#include "foundation/file_names.h"
#include "foundation/message_text.h"
#include "foundation/registry_access.h"
#include "platform/bstr.h"
#include "platform/dialog.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "text/doc_format.h"

namespace text {

namespace {

int16_t setStatus(DocTransferRecord* record, int16_t status) {
    record->status = status;
    return status;
}

std::string installFolderName(const TextlinkState& state) {
    if (!state.registry.settings.installFolderName.empty()) return state.registry.settings.installFolderName;
    return foundation::readProductSettings(state.registry.product()).installFolderName;
}

// Reads up to size bytes, retrying short reads; the count, or -1 on error.
long long readPiece(platform::File& file, uint8_t* buffer, size_t size) {
    size_t have = 0;
    while (have < size) {
        long long got = file.read(buffer + have, size - have);
        if (got < 0) return -1;
        if (got == 0) break;
        have += size_t(got);
    }
    return (long long)have;
}

}  // namespace

namespace {

TextlinkState* g_state = nullptr;

}  // namespace

TextlinkState& textlinkState() {
    if (!g_state) g_state = new TextlinkState;
    return *g_state;
}

void releaseTextlinkState() {
    delete g_state;
    g_state = nullptr;
}

std::string notInstalledText() { return foundation::fillMessage(kNotInstalledFormat, kProductName); }

bool attachTextlink(TextlinkState& state) {
    state.dbVersion = foundation::parseVersionText(kVersionText);
    if (state.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No) < 0) {
        state.attachFailed = true;
        platform::ui::messageBox(platform::ui::focusWindow(), notInstalledText(), "Error",
                                 platform::ui::Buttons::Ok, platform::ui::Icon::Error);
        return false;
    }
    state.attachFailed = false;
    return true;
}

void detachTextlink(TextlinkState& state) {
    closeDoc(state.doc);
    // After a refused attach nothing is loaded and nothing is locked again
    // (sync.dat may be the very file that could not be opened).
    if (!state.registry.loaded()) return;
    foundation::SyncLockGuard lock = state.registry.holdSyncLock(foundation::kLockModeDesktop);
    state.registry.UnloadTBMData(foundation::SaveFirst::No);
}

int16_t flushDocument(TextlinkState& state, DocTransferRecord* record) {
    const foundation::Product& product = state.registry.product();
    return flushDoc(state.doc, record, [&product](int16_t user) {
        // A negative index names no user key; nothing to raise.
        if (user >= 0) foundation::MarkPendingInstall(product, user);
    });
}

int16_t exportToUser(TextlinkState& state, DocTransferRecord* record, const std::string* source) {
    if (!record) return BF_ERR_PARAMETER;
    record->status = 0;
    if (record->user < 0) return 0;
    // Without a user folder the path would start at the root of the disk.
    std::string folder = foundation::GetUserFolder(state.registry.product(), record->user);
    if (folder.empty()) return setStatus(record, BF_ERR_PATH);
    std::string output = platform::joinPath(platform::joinPath(folder, installFolderName(state)), "");
    if (source) {
        std::string_view name = platform::fileNamePart(*source);
        if (!foundation::isSafeFileNamePart(name)) return setStatus(record, BF_ERR_PATH);
        output += name;
    }
    if (!platform::replaceByteString(record->path, output)) return setStatus(record, BF_ERR_MEMORY);
    if (!source) return 0;
    return setStatus(record, convertTextFileToDoc(state, *source, record));
}

int16_t convertTextFileToDoc(TextlinkState& state, const std::string& source, DocTransferRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    const platform::ui::WaitCursor busy;
    if (!record->path) return setStatus(record, BF_ERR_PATH);
    // Another document open (the caller's, in either direction) is left as it
    // is: writing into it would mix the two texts.
    if (state.doc.open != DocDirection::None) return setStatus(record, BF_ERR_PROGRAM);
    auto file = platform::File::open(source, platform::File::Mode::Read);
    if (!file) return setStatus(record, BF_ERR_OPEN);

    std::vector<uint8_t> piece(kSourcePieceSize);
    record->status = 0;
    for (;;) {
        long long got = readPiece(*file, piece.data(), piece.size());
        if (got < 0) {
            // A read error is no end of file: a shortened database must not
            // be written as if the conversion had succeeded.
            closeDoc(state.doc);
            record->status = BF_ERR_OPEN;
            break;
        }
        if (got == 0) {
            if (record->status == 0) flushDocument(state, record);
            break;
        }
        record->data = reinterpret_cast<BSTR>(piece.data());
        record->length = int32_t(got);
        writeDoc(state.doc, record);
        if (record->status != 0) {
            closeDoc(state.doc);
            break;
        }
    }
    record->data = nullptr;
    record->length = 0;
    return record->status;
}

int16_t convertDocToTextFile(TextlinkState& state, const std::string& databasePath,
                             const std::string& textPath) {
    if (state.doc.open != DocDirection::None) return BF_ERR_PROGRAM;
    if (platform::fileExists(textPath)) {
        platform::ui::Answer answer = platform::ui::messageBox(
            platform::ui::focusWindow(), foundation::fillMessage(kReplaceQuestionFormat, textPath),
            kReplaceCaption, platform::ui::Buttons::YesNo, platform::ui::Icon::Warning);
        if (answer != platform::ui::IdYes) return BF_ERR_CANCELLED;
    }

    DocTransferRecord record{};
    record.path = platform::allocByteString(databasePath);
    if (!record.path) return BF_ERR_MEMORY;
    // The database is opened (and its first record decoded) before the text
    // file is touched, and the text goes to a temporary file that replaces
    // the old one only once all of it was written: a database that cannot be
    // read whole, a full disk or a failed write leave the file as it was.
    readDoc(state.doc, &record);
    int16_t status = record.status;
    if (status == 0 || status == BF_EOF) {
        auto file = platform::FileReplacement::begin(textPath);
        if (!file) status = BF_ERR_WRITE;
        while (status == 0) {
            if (record.length > 0 && !file->write(record.data, size_t(record.length))) {
                status = BF_ERR_WRITE;
                break;
            }
            readDoc(state.doc, &record);
            status = record.status;
        }
        if (status == BF_EOF && !file->commit()) status = BF_ERR_WRITE;
        // Any other outcome abandons the temporary file (file's destructor)
        // and ends the reading document, so that the next ReadDoc starts over.
        if (status != BF_EOF) closeDoc(state.doc);
    }
    platform::clearByteString(record.path);
    platform::clearByteString(record.data);
    return status == BF_EOF ? 0 : status;
}

int16_t exportFromCommandLine(TextlinkState& state, const CommandLineExportRecord* record) {
    if (!record || !record->userName || !record->filePath) return BF_ERR_PARAMETER;
    if (state.attachFailed) return BF_ERR_PARAMETER;

    DocRegistry& registry = state.registry;
    int loaded;
    {
        // Held for the reload only; released also when the reload throws.
        foundation::SyncLockGuard lock = registry.holdSyncLock(foundation::kLockModeCommandLine);
        if (lock.previousMode() < 0) return BF_ERR_PARAMETER;
        // Writes the registry in memory back first. When that write fails, or
        // QLRegistry.dat cannot be read back, the lists in memory are kept
        // (and used); with no product folder or no user there is no one to
        // export to.
        loaded = registry.LoadLinkRegistry();
    }
    if (loaded == BF_ERR_OPEN && !registry.loaded()) return BF_ERR_OPEN;
    if (loaded == -1 || !registry.loaded()) return BF_ERR_USER;

    const std::string_view wanted(record->userName);
    for (size_t i = 0; i < registry.userList.size(); ++i) {
        if (registry.userList[i].name != wanted) continue;
        DocTransferRecord own{};
        own.user = int16_t(i);
        const std::string source(record->filePath);
        int16_t status = exportToUser(state, &own, &source);
        platform::clearByteString(own.path);
        return status;
    }
    return BF_ERR_USER;
}

}  // namespace text
