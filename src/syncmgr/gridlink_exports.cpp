// The exported functions of libgridlink: thin wrappers that check nothing
// themselves, catch every C++ exception at the boundary (allocation failure
// becomes -3) and call the module's operations.
#include <new>

#include "foundation/status.h"
#include "gridlink.h"

#define GRIDLINK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

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

}  // namespace

GRIDLINK_EXPORT int16_t WINAPI GetErrorText(TextRecord* record) {
    return guarded([&] { return foundation::fillErrorText(record, foundation::ErrorTexts::Workbook); });
}

GRIDLINK_EXPORT int16_t WINAPI ShowTBManDialog(void) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI ExportWorkbook(SheetRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI ImportWorkbook(TextRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI VerifyImport(TextRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI GetSheetName(SheetRecord*, TextRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI GetCellInfo(CellRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI CheckPasswd(TextRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI VerifyExport(SheetRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI VerifyAllFileExport(TextRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI SetSheetName(SheetRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI SetCellInfo(CellRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI GetPassword(TextRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int16_t WINAPI GetSize(SheetRecord*) { return BF_ERR_PROGRAM; }
GRIDLINK_EXPORT int32_t BF_CDECL HS_Notify(int32_t, int32_t) { return 1; }
