/* Prints every record field's offset and every record's size as the C
 * compiler lays them out from the public headers, one "Record.field offset"
 * or "Record size" a line; record_layout_test.py compares them with the
 * LibreOffice add-in's ctypes structures. */
#include <stdio.h>

#include "gridlink.h"
#include "textlink.h"

#define FIELD(r, f) printf(#r "." #f " %zu\n", offsetof(r, f))
#define SIZE(r) printf(#r " %zu\n", sizeof(r))

int main(void) {
    SIZE(TextRecord);
    FIELD(TextRecord, number), FIELD(TextRecord, padding), FIELD(TextRecord, text);
    SIZE(SheetRecord);
    FIELD(SheetRecord, reserved0), FIELD(SheetRecord, sheetNumber), FIELD(SheetRecord, formatFlags);
    FIELD(SheetRecord, defaultSize8), FIELD(SheetRecord, defaultSize12), FIELD(SheetRecord, setting16);
    FIELD(SheetRecord, setting20), FIELD(SheetRecord, setting24), FIELD(SheetRecord, setting28);
    FIELD(SheetRecord, setting32), FIELD(SheetRecord, setting36), FIELD(SheetRecord, options);
    FIELD(SheetRecord, reserved44), FIELD(SheetRecord, bookFlags), FIELD(SheetRecord, reserved46);
    FIELD(SheetRecord, sheetName), FIELD(SheetRecord, reserved52), FIELD(SheetRecord, color1);
    FIELD(SheetRecord, color2), FIELD(SheetRecord, reserved68), FIELD(SheetRecord, currencyText);
    FIELD(SheetRecord, deviceClass), FIELD(SheetRecord, fontSize), FIELD(SheetRecord, defaultFontSize);
    FIELD(SheetRecord, reserved82);
    SIZE(CellRecord);
    FIELD(CellRecord, result), FIELD(CellRecord, unused2), FIELD(CellRecord, walkState);
    FIELD(CellRecord, width), FIELD(CellRecord, height), FIELD(CellRecord, row), FIELD(CellRecord, column);
    FIELD(CellRecord, formatFlags), FIELD(CellRecord, chartByteA), FIELD(CellRecord, chartByteB);
    FIELD(CellRecord, reserved26), FIELD(CellRecord, text), FIELD(CellRecord, textColor);
    FIELD(CellRecord, backColor), FIELD(CellRecord, value), FIELD(CellRecord, currencyText);
    FIELD(CellRecord, fontSize), FIELD(CellRecord, reserved54);
    SIZE(DocTransferRecord);
    FIELD(DocTransferRecord, status), FIELD(DocTransferRecord, user), FIELD(DocTransferRecord, reserved);
    FIELD(DocTransferRecord, padding), FIELD(DocTransferRecord, length), FIELD(DocTransferRecord, path);
    FIELD(DocTransferRecord, data);
    return 0;
}
