// The exported functions of libtextlink: thin wrappers that catch every C++
// exception at the boundary (allocation failure becomes -3, left in the
// record's status as well) and call the module's operations.
#include <new>

#include "foundation/status.h"
#include "platform/dialog.h"
#include "platform_os.h"
#include "text/text_dialogs.h"
#include "text/textlink_state.h"
#include "textlink.h"

#define TEXTLINK_EXPORT extern "C" PLATFORM_EXPORT

namespace {

// Runs an operation so that no exception leaves the library; a record-taking
// export also gets the failure's status in the record.
template <typename F>
int16_t guarded(DocTransferRecord* record, F&& operation) {
    int16_t status;
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        status = BF_ERR_MEMORY;
    } catch (...) {
        status = BF_ERR_PROGRAM;
    }
    if (record) record->status = status;
    return status;
}

text::TextlinkState& state() { return text::textlinkState(); }

}  // namespace

TEXTLINK_EXPORT int16_t WINAPI WriteDoc(DocTransferRecord* record) {
    return guarded(record, [&] { return text::writeDoc(state().doc, record); });
}

TEXTLINK_EXPORT int16_t WINAPI FlushDoc(DocTransferRecord* record) {
    return guarded(record, [&] { return text::flushDocument(state(), record); });
}

TEXTLINK_EXPORT int16_t WINAPI ReadDoc(DocTransferRecord* record) {
    return guarded(record, [&] { return text::readDoc(state().doc, record); });
}

TEXTLINK_EXPORT int16_t WINAPI GetErrorText(TextRecord* record) {
    return guarded(nullptr, [&] { return foundation::fillErrorText(record, foundation::ErrorTexts::Text); });
}

// The dialogs run modal, owned by the window that has the focus, and answer
// their end code: 1 (OK) or 2 (Cancel, "Done"). Without the lists (a refused
// attach) the ones that need them answer -1, in the record too.
template <typename Dialog>
int16_t runTransferDialog(DocTransferRecord* record) {
    return guarded(record, [&]() -> int16_t {
        if (state().attachFailed) {
            if (record) record->status = BF_ERR_PARAMETER;
            return BF_ERR_PARAMETER;
        }
        Dialog dialog(state(), record);
        return int16_t(platform::ui::runDialog(platform::ui::focusWindow(), dialog));
    });
}

TEXTLINK_EXPORT int16_t WINAPI ExportFromPCDialog(DocTransferRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    return runTransferDialog<text::ExportDialog>(record);
}

TEXTLINK_EXPORT int16_t WINAPI ExportFromPC(void) { return runTransferDialog<text::ExportDialog>(nullptr); }

// The lists are reloaded first, so that databases a HotSync brought since
// the library was loaded are offered.
TEXTLINK_EXPORT int16_t WINAPI ImportToPCDialog(DocTransferRecord* record) {
    if (!record) return BF_ERR_PARAMETER;
    return guarded(record, [&]() -> int16_t {
        if (!state().attachFailed)
            state().registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No);
        return runTransferDialog<text::ImportDialog>(record);
    });
}

TEXTLINK_EXPORT int16_t WINAPI ImportToPC(void) { return runTransferDialog<text::ImportDialog>(nullptr); }

TEXTLINK_EXPORT int16_t WINAPI AboutDialog(void) {
    return guarded(nullptr, [] {
        text::AboutBox box;
        return int16_t(platform::ui::runDialog(platform::ui::focusWindow(), box));
    });
}

TEXTLINK_EXPORT int16_t WINAPI ExportFromCommandLine(CommandLineExportRecord* record) {
    return guarded(nullptr, [&] { return text::exportFromCommandLine(state(), record); });
}
