/*
 * textlink.h - the text library's records and exported functions.
 *
 * Writing: WriteDoc any number of times, then FlushDoc once. Reading: ReadDoc
 * until the record's status is BF_EOF. Every record-taking export also leaves
 * its status in the record's first field.
 */
#ifndef TEXTLINK_H
#define TEXTLINK_H

#include "brightfold.h"

#ifdef __cplusplus
extern "C" {
#endif

/* DocTransferRecord (20 bytes on 32-bit targets):
 *   0  int16  status    set by every call: 0 or a negative status code
 *   2  int16  user      index of the Palm user (key User<n>)
 *   4  int16  reserved  set to 0 by the dialogs
 *   6  2      padding
 *   8  int32  length    WriteDoc: bytes at data; ReadDoc: bytes returned
 *  12  BSTR   path      first WriteDoc: output file; first ReadDoc: database
 *  16  BSTR   data      WriteDoc: the caller's bytes; ReadDoc: one record's
 *                       text, allocated by the library                      */
typedef struct DocTransferRecord {
    int16_t status;
    int16_t user;
    int16_t reserved;
    int16_t padding;
    int32_t length;
    BSTR path;
    BSTR data;
} DocTransferRecord;

/* CommandLineExportRecord: the user's name and the text file to export, both
 * NUL-terminated byte strings owned by the caller. */
typedef struct CommandLineExportRecord {
    const char *userName;
    const char *filePath;
} CommandLineExportRecord;

#ifdef BF_RECORDS_32BIT
BF_STATIC_ASSERT(sizeof(DocTransferRecord) == 20, "DocTransferRecord is 20 bytes");
BF_STATIC_ASSERT(offsetof(DocTransferRecord, user) == 2, "DocTransferRecord 2");
BF_STATIC_ASSERT(offsetof(DocTransferRecord, reserved) == 4, "DocTransferRecord 4");
BF_STATIC_ASSERT(offsetof(DocTransferRecord, length) == 8, "DocTransferRecord 8");
BF_STATIC_ASSERT(offsetof(DocTransferRecord, path) == 12, "DocTransferRecord 12");
BF_STATIC_ASSERT(offsetof(DocTransferRecord, data) == 16, "DocTransferRecord 16");
BF_STATIC_ASSERT(sizeof(CommandLineExportRecord) == 8, "CommandLineExportRecord is 8 bytes");
#endif

int16_t WINAPI WriteDoc(DocTransferRecord *record);
int16_t WINAPI FlushDoc(DocTransferRecord *record);
int16_t WINAPI ReadDoc(DocTransferRecord *record);
int16_t WINAPI GetErrorText(TextRecord *record);
int16_t WINAPI ExportFromPCDialog(DocTransferRecord *record);
int16_t WINAPI ExportFromPC(void);
int16_t WINAPI ImportToPCDialog(DocTransferRecord *record);
int16_t WINAPI ImportToPC(void);
int16_t WINAPI AboutDialog(void);
int16_t WINAPI ExportFromCommandLine(CommandLineExportRecord *record);

#ifdef __cplusplus
}
#endif

#endif /* TEXTLINK_H */
