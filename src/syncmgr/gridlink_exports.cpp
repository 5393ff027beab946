// The exported functions of libgridlink: thin wrappers that catch every C++
// exception at the boundary (allocation failure becomes -3) and call the
// module's operations on the library's one state.
#include <new>

#include "foundation/status.h"
#include "gridlink.h"
#include "platform_os.h"
#include "syncmgr/export_checks.h"
#include "syncmgr/gridlink_state.h"
#include "syncmgr/hotsync_notify.h"
#include "syncmgr/import_checks.h"
#include "syncmgr/sync_manager_dialog.h"
#include "syncmgr/transfer_dialogs.h"

#define GRIDLINK_EXPORT extern "C" PLATFORM_EXPORT

namespace {

using syncmgr::GridlinkState;

// Runs an operation so that no exception leaves the library.
template <typename F>
int16_t guarded(F&& operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return BF_ERR_MEMORY;
    } catch (...) {
        return BF_ERR_PROGRAM;
    }
}

// Runs an operation that needs the link registry: -1 when the library could
// not load it at attach time.
template <typename F>
int16_t withState(F&& operation) {
    return guarded([&]() -> int16_t {
        GridlinkState& state = syncmgr::gridlinkState();
        if (state.attachFailed) return BF_ERR_PARAMETER;
        return operation(state);
    });
}

}  // namespace

GRIDLINK_EXPORT int16_t WINAPI GetErrorText(TextRecord* record) {
    return guarded([&] { return foundation::fillErrorText(record, foundation::ErrorTexts::Workbook); });
}

GRIDLINK_EXPORT int16_t WINAPI VerifyImport(TextRecord* record) {
    return withState([&](GridlinkState& s) {
        auto context = s.context();
        return syncmgr::VerifyImport(context, record, s.sheetImport.lastListedBook);
    });
}

GRIDLINK_EXPORT int16_t WINAPI GetSheetName(SheetRecord* sheet, TextRecord* list) {
    return withState([&](GridlinkState& s) {
        auto context = s.context();
        return s.sheetImport.GetSheetName(context, sheet, list);
    });
}

GRIDLINK_EXPORT int16_t WINAPI GetCellInfo(CellRecord* cell) {
    return withState([&](GridlinkState& s) {
        auto context = s.context();
        return s.sheetImport.GetCellInfo(context, cell);
    });
}

GRIDLINK_EXPORT int16_t WINAPI CheckPasswd(TextRecord* record) {
    return withState([&](GridlinkState& s) { return s.sheetImport.CheckPasswd(record); });
}

GRIDLINK_EXPORT int16_t WINAPI VerifyExport(SheetRecord* record) {
    return withState([&](GridlinkState& s) {
        auto context = s.context();
        return syncmgr::VerifyExport(context, record);
    });
}

GRIDLINK_EXPORT int16_t WINAPI VerifyAllFileExport(TextRecord* record) {
    return withState([&](GridlinkState& s) { return syncmgr::VerifyAllFileExport(s.exportList, record); });
}

GRIDLINK_EXPORT int16_t WINAPI SetSheetName(SheetRecord* record) {
    return withState([&](GridlinkState& s) {
        auto context = s.context();
        // A new sheet to export ends whatever sheet was open for reading.
        s.sheetImport.release();
        return s.sheetExport.SetSheetName(context, record);
    });
}

GRIDLINK_EXPORT int16_t WINAPI SetCellInfo(CellRecord* cell) {
    return withState([&](GridlinkState& s) {
        auto context = s.context();
        return s.sheetExport.SetCellInfo(context, cell);
    });
}

// The Sync Manager, modal, owned by the focus window: the dialog's result
// (1 after Done).
GRIDLINK_EXPORT int16_t WINAPI ShowTBManDialog(void) {
    return withState([&](GridlinkState& s) {
        syncmgr::SyncManagerDialog dialog({s.registry, s.options, s.exportList, s.categoryCache});
        return int16_t(platform::ui::runDialog(platform::ui::focusWindow(), dialog));
    });
}

// The one-off transfers' dialogs, modal, owned by the focus window
// (syncmgr/transfer_dialogs.h).
GRIDLINK_EXPORT int16_t WINAPI ExportWorkbook(SheetRecord* record) {
    return withState([&](GridlinkState& s) { return syncmgr::ExportWorkbook(s, record); });
}

GRIDLINK_EXPORT int16_t WINAPI ImportWorkbook(TextRecord* record) {
    return withState([&](GridlinkState& s) { return syncmgr::ImportWorkbook(s, record); });
}

GRIDLINK_EXPORT int16_t WINAPI GetPassword(TextRecord* record) {
    return withState([&](GridlinkState& s) { return syncmgr::GetPassword(s, record); });
}

GRIDLINK_EXPORT int16_t WINAPI GetSize(SheetRecord* record) {
    return withState([&](GridlinkState& s) { return syncmgr::GetSize(s, record); });
}

// Called by the HotSync Manager; 1 in every case. Does nothing when the
// attach step could not load the link registry.
GRIDLINK_EXPORT int32_t BF_CDECL HS_Notify(int32_t event, int32_t userId) {
    try {
        return syncmgr::notifyHotSync(syncmgr::gridlinkState(), event, userId);
    } catch (...) {
        return 1;
    }
}
