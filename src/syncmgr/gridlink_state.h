// syncmgr/gridlink_state.h - the module-wide state of the workbook library.
//
// Each process that loads the library has one GridlinkState, created when
// the library is attached and released when it is detached: the link
// registry, the choices the dialogs and checks leave for the sheet and cell
// calls, the sheet being exported or imported, and the export list. The
// processes meet only through the files of the link registry (TBRegistry.dat
// under the lock on sync.dat) and the users' Backup and Install folders.
#pragma once

#include "foundation/link_registry.h"
#include "syncmgr/categories.h"
#include "syncmgr/export_checks.h"
#include "syncmgr/hotsync_notify.h"
#include "workbook/csv_format.h"
#include "workbook/sheet_export.h"
#include "workbook/sheet_import.h"
#include "workbook/transfer_context.h"

namespace syncmgr {

constexpr const char* kProductName = "Tabulo";
constexpr const char* kRegistryFileName = "TBRegistry.dat";
constexpr const char* kNotInstalledMessage = "Tabulo is not installed properly";

// The Change Size check boxes, remembered while the library is loaded.
struct SizeChoices {
    bool fontSize = true;
    bool cellSize = false;
};

// The state owns the registry and the sheet export and import, and is their
// owner in the other sense too: unloading the registry releases the sheet
// buffers, the end of an imported book and a written sheet save the registry.
struct GridlinkState final : private foundation::ModuleStateOwner,
                             private workbook::SheetImportOwner,
                             private workbook::SheetExportOwner {
    GridlinkState();
    GridlinkState(const GridlinkState&) = delete;
    GridlinkState& operator=(const GridlinkState&) = delete;

    foundation::LinkRegistry registry;
    workbook::TransferOptions options;
    workbook::SheetExport sheetExport;
    workbook::SheetImport sheetImport;
    ExportList exportList;
    // The last PiTBPref.PDB read for the category lists, freed with the registry.
    CategoryCache categoryCache;
    // listSeparator and decimalSeparator of the CSV conversion, read from the
    // regional settings at the start of each conversion.
    workbook::CsvSeparators csvSeparators;
    // Set when the attach step could not load the link registry: the library
    // then answers -1 to every record call but GetErrorText, and HS_Notify
    // does nothing (a host that loads it without the platform loader keeps
    // it in that state).
    bool attachFailed = false;
    // While a HotSync notification runs, neither the end of an imported book
    // nor an exported sheet saves the link registry: the notification holds
    // links of the loaded registry and commits them itself at its end.
    bool inHotSync = false;
    // The links as the last HS_SYNC_STARTED loaded them (its commit applies
    // only what changed since).
    HotSyncBaseline hotSyncBaseline;
    SizeChoices sizeChoices;

    workbook::TransferContext context() { return {registry, options}; }

private:
    // Freeing the registry frees the sheet buffers that depend on it.
    void releaseSheetBuffers() override;
    // The end of an imported book saves what the import check recorded.
    void atBookEnd() override;
    // A closed sheet goes to every user linking the book (or the one
    // chosen), through the sheet distribution.
    int16_t writeToUsers(workbook::TransferContext& context, std::string_view bookName,
                         const foundation::PdbImage& image, size_t& usersWritten) override;
    // A sheet that reached users saves their links' counters at once.
    int16_t afterWrite() override;
};

// The library's one instance, made on first use. Static destruction never
// destroys it, so calls a host makes while its process ends still find it;
// the detach step releases it (releaseGridlinkState) when the library is
// unloaded.
GridlinkState& gridlinkState();
void releaseGridlinkState();

// Attach: refresh the link registry in desktop mode without saving; on
// failure show "Tabulo is not installed properly" and refuse (false).
bool attachGridlink(GridlinkState& state);
// Detach: release the registry without writing it, under the lock.
void detachGridlink(GridlinkState& state);

}  // namespace syncmgr
