/*
 * gridlink.h - the workbook library's records and exported functions.
 *
 * The spreadsheet add-in exports a workbook sheet by sheet (SetSheetName, then
 * SetCellInfo per piece of data, then a SetCellInfo whose column is above 256)
 * and imports one (GetSheetName, then GetCellInfo until BF_EOF). The HotSync
 * Manager calls HS_Notify at the stages of every HotSync.
 *
 * All exports but HS_Notify and ShowTBManDialog take one record pointer
 * (GetSheetName two) and return a signed 16-bit status: zero or positive is a
 * result, negative an error code of brightfold.h.
 */
#ifndef GRIDLINK_H
#define GRIDLINK_H

#include "brightfold.h"

#ifdef __cplusplus
extern "C" {
#endif

/* SheetRecord (84 bytes on 32-bit targets), the add-in's sheet record.
 *
 *  off width  sheet operations (Set/GetSheetName)    other uses
 *   0   2     -                                      -
 *   2   2     sheet number, 1-based (import)         VerifyExport: out, user index
 *   4   4     sheet format flags                     GetSize: first row
 *   8   4     default size                           GetSize: first column (1 = A)
 *  12   4     default size                           GetSize: number of rows
 *  16   4     sheet setting  <-> header 24           GetSize: number of columns
 *  20   4     sheet setting  <-> header 22           GetSize: out, sizeAnswer: int16
 *                                                    percentage at 20, int16 Font Size
 *                                                    box at 22 (1 checked, 0 not)
 *  24   4     sheet setting  <-> header 30           GetSize: out, int16 cellSizeFlag
 *                                                    (Cell Size box) at 24; 26-27 kept
 *  28   4     sheet setting  <-> header 32
 *  32   4     sheet setting  <-> header 26
 *  36   4     sheet setting  <-> header 28
 *  40   4     sheet options  <-> header 38
 *  44   1     reserved
 *  45   1     book flags byte (import)
 *  48   BSTR  sheet name                             ExportWorkbook/VerifyExport:
 *                                                    workbook path (in), target path (out)
 *  52   8     reserved
 *  60   4     colour (COLORREF)
 *  64   4     colour (COLORREF)
 *  68   4     reserved
 *  72   BSTR  currency format text (import)
 *  76   2     device class of the HotSync user
 *  78   2     sheet font size, points
 *  80   2     Excel default font size, points
 *  82   2     reserved                                                      */
/* What GetSize writes at SheetRecord offset 20 (over setting20). */
typedef struct SheetSizeAnswer {
    int16_t percentage; /* 10 to 500 */
    int16_t fontSize;   /* Font Size box: 1 checked, 0 not */
} SheetSizeAnswer;

typedef struct SheetRecord {
    int16_t reserved0;
    int16_t sheetNumber;
    int32_t formatFlags;
    int32_t defaultSize8;
    int32_t defaultSize12;
    int32_t setting16;
    union {
        int32_t setting20;
        SheetSizeAnswer sizeAnswer; /* GetSize */
    };
    union {
        int32_t setting24;
        int16_t cellSizeFlag; /* GetSize: Cell Size box, 1 checked, 0 not */
    };
    int32_t setting28;
    int32_t setting32;
    int32_t setting36;
    int32_t options;
    uint8_t reserved44;
    uint8_t bookFlags;
    uint8_t reserved46[2];
    BSTR sheetName;
    uint8_t reserved52[8];
    uint32_t color1;
    uint32_t color2;
    uint32_t reserved68;
    BSTR currencyText;
    int16_t deviceClass;
    int16_t fontSize;
    int16_t defaultFontSize;
    int16_t reserved82;
} SheetRecord;

/* CellRecord (56 bytes on 32-bit targets), the add-in's cell record.
 *
 *  off width
 *   0   2     result slot, set to 0 by GetCellInfo
 *   2   2     not used
 *   4   4     walk state of GetCellInfo: 0 to start, 2 while column entries are
 *             handed out, then the number of the record last read
 *   8   2     column width; on cell (0,0) the default width; on a chart cell
 *             the number of charts to expect
 *  10   2     row height; on cell (0,0) the default height; on a chart cell the
 *             number of strings in the text
 *  12   4     row: 1-9999 a cell, 0 a column entry or the sheet defaults,
 *             0xFFFE a chart definition, 0xFFFF a chart item
 *  16   4     column: 1-256 a cell, 0 a row entry; on export above 256 ends
 *             the sheet
 *  20   4     format flags
 *  24   1     chart byte A
 *  25   1     chart byte B
 *  28   BSTR  text (on chart cells several NUL-separated strings)
 *  32   4     text colour (COLORREF)
 *  36   4     background colour (COLORREF)
 *  40   8     numeric value (IEEE double)
 *  48   BSTR  currency format text
 *  52   2     font size, points
 *  54   2     reserved                                                      */
typedef struct CellRecord {
    int16_t result;
    int16_t unused2;
    int32_t walkState;
    int16_t width;
    int16_t height;
    int32_t row;
    int32_t column;
    int32_t formatFlags;
    uint8_t chartByteA;
    uint8_t chartByteB;
    uint8_t reserved26[2];
    BSTR text;
    uint32_t textColor;
    uint32_t backColor;
    double value;
    BSTR currencyText;
    int16_t fontSize;
    int16_t reserved54;
} CellRecord;

#ifdef BF_RECORDS_32BIT
BF_STATIC_ASSERT(sizeof(SheetRecord) == 84, "SheetRecord is 84 bytes");
BF_STATIC_ASSERT(offsetof(SheetRecord, sheetNumber) == 2, "SheetRecord 2");
BF_STATIC_ASSERT(offsetof(SheetRecord, formatFlags) == 4, "SheetRecord 4");
BF_STATIC_ASSERT(offsetof(SheetRecord, defaultSize8) == 8, "SheetRecord 8");
BF_STATIC_ASSERT(offsetof(SheetRecord, defaultSize12) == 12, "SheetRecord 12");
BF_STATIC_ASSERT(offsetof(SheetRecord, setting16) == 16, "SheetRecord 16");
BF_STATIC_ASSERT(offsetof(SheetRecord, setting20) == 20, "SheetRecord 20");
BF_STATIC_ASSERT(offsetof(SheetRecord, setting24) == 24, "SheetRecord 24");
BF_STATIC_ASSERT(sizeof(SheetSizeAnswer) == 4, "SheetSizeAnswer is 4 bytes");
BF_STATIC_ASSERT(offsetof(SheetRecord, sizeAnswer) == 20, "SheetRecord 20 (GetSize)");
BF_STATIC_ASSERT(offsetof(SheetRecord, cellSizeFlag) == 24, "SheetRecord 24 (GetSize)");
BF_STATIC_ASSERT(offsetof(SheetRecord, setting28) == 28, "SheetRecord 28");
BF_STATIC_ASSERT(offsetof(SheetRecord, setting32) == 32, "SheetRecord 32");
BF_STATIC_ASSERT(offsetof(SheetRecord, setting36) == 36, "SheetRecord 36");
BF_STATIC_ASSERT(offsetof(SheetRecord, options) == 40, "SheetRecord 40");
BF_STATIC_ASSERT(offsetof(SheetRecord, reserved44) == 44, "SheetRecord 44");
BF_STATIC_ASSERT(offsetof(SheetRecord, bookFlags) == 45, "SheetRecord 45");
BF_STATIC_ASSERT(offsetof(SheetRecord, sheetName) == 48, "SheetRecord 48");
BF_STATIC_ASSERT(offsetof(SheetRecord, reserved52) == 52, "SheetRecord 52");
BF_STATIC_ASSERT(offsetof(SheetRecord, color1) == 60, "SheetRecord 60");
BF_STATIC_ASSERT(offsetof(SheetRecord, color2) == 64, "SheetRecord 64");
BF_STATIC_ASSERT(offsetof(SheetRecord, reserved68) == 68, "SheetRecord 68");
BF_STATIC_ASSERT(offsetof(SheetRecord, currencyText) == 72, "SheetRecord 72");
BF_STATIC_ASSERT(offsetof(SheetRecord, deviceClass) == 76, "SheetRecord 76");
BF_STATIC_ASSERT(offsetof(SheetRecord, fontSize) == 78, "SheetRecord 78");
BF_STATIC_ASSERT(offsetof(SheetRecord, defaultFontSize) == 80, "SheetRecord 80");
BF_STATIC_ASSERT(offsetof(SheetRecord, reserved82) == 82, "SheetRecord 82");

BF_STATIC_ASSERT(sizeof(CellRecord) == 56, "CellRecord is 56 bytes");
BF_STATIC_ASSERT(offsetof(CellRecord, unused2) == 2, "CellRecord 2");
BF_STATIC_ASSERT(offsetof(CellRecord, walkState) == 4, "CellRecord 4");
BF_STATIC_ASSERT(offsetof(CellRecord, width) == 8, "CellRecord 8");
BF_STATIC_ASSERT(offsetof(CellRecord, height) == 10, "CellRecord 10");
BF_STATIC_ASSERT(offsetof(CellRecord, row) == 12, "CellRecord 12");
BF_STATIC_ASSERT(offsetof(CellRecord, column) == 16, "CellRecord 16");
BF_STATIC_ASSERT(offsetof(CellRecord, formatFlags) == 20, "CellRecord 20");
BF_STATIC_ASSERT(offsetof(CellRecord, chartByteA) == 24, "CellRecord 24");
BF_STATIC_ASSERT(offsetof(CellRecord, chartByteB) == 25, "CellRecord 25");
BF_STATIC_ASSERT(offsetof(CellRecord, text) == 28, "CellRecord 28");
BF_STATIC_ASSERT(offsetof(CellRecord, textColor) == 32, "CellRecord 32");
BF_STATIC_ASSERT(offsetof(CellRecord, backColor) == 36, "CellRecord 36");
BF_STATIC_ASSERT(offsetof(CellRecord, value) == 40, "CellRecord 40");
BF_STATIC_ASSERT(offsetof(CellRecord, currencyText) == 48, "CellRecord 48");
BF_STATIC_ASSERT(offsetof(CellRecord, fontSize) == 52, "CellRecord 52");
BF_STATIC_ASSERT(offsetof(CellRecord, reserved54) == 54, "CellRecord 54");
#endif

/* HotSync events passed to HS_Notify. */
enum {
    HS_SYNC_QUERYOK = 0,
    HS_SYNC_STARTED = 1,
    HS_SYNC_SUCCESS = 2,
    HS_SYNC_FAILURE = 3,
    HS_USER_UPDATE = 4
};

/* Exported functions, ordinals 1 to 15 on Windows. */
int16_t WINAPI GetErrorText(TextRecord *record);                   /* 1 */
int16_t WINAPI ShowTBManDialog(void);                              /* 2 */
int16_t WINAPI ExportWorkbook(SheetRecord *record);                /* 3 */
int16_t WINAPI ImportWorkbook(TextRecord *record);                 /* 4 */
int16_t WINAPI VerifyImport(TextRecord *record);                   /* 5 */
int16_t WINAPI GetSheetName(SheetRecord *sheet, TextRecord *list); /* 6 */
int16_t WINAPI GetCellInfo(CellRecord *cell);                      /* 7 */
int16_t WINAPI CheckPasswd(TextRecord *record);                    /* 8 */
int16_t WINAPI VerifyExport(SheetRecord *record);                  /* 9 */
int16_t WINAPI VerifyAllFileExport(TextRecord *record);            /* 10 */
int16_t WINAPI SetSheetName(SheetRecord *record);                  /* 11 */
int16_t WINAPI SetCellInfo(CellRecord *cell);                      /* 12 */
int16_t WINAPI GetPassword(TextRecord *record);                    /* 13 */
int16_t WINAPI GetSize(SheetRecord *record);                       /* 14 */
int32_t BF_CDECL HS_Notify(int32_t event, int32_t userId);         /* 15 */

#ifdef __cplusplus
}
#endif

#endif /* GRIDLINK_H */
