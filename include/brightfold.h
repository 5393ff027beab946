/*
 * brightfold.h - types shared by the public headers of gridlink and textlink.
 *
 * Plain C, usable from C and C++. Every record is declared with its fields in
 * the order of the wire layout; on 32-bit targets the offsets given in the
 * comments are pinned by static assertions (see gridlink.h, textlink.h). On
 * 64-bit targets the same fields sit at their natural alignment, string
 * fields being pointer-sized.
 *
 * Byte strings: every text exchanged with the libraries is an OLE automation
 * string (BSTR) holding ANSI bytes, not UTF-16. On Windows they come from
 * oleaut32; elsewhere the libraries export SysAllocStringByteLen,
 * SysStringByteLen and SysFreeString with the same memory layout (a 4-byte
 * byte count in front of the data, two NUL bytes after it), so a caller can
 * free what a library returned and the reverse.
 */
#ifndef BRIGHTFOLD_H
#define BRIGHTFOLD_H

#include <stddef.h>
#include <stdint.h>

/* On Windows this header declares the little it needs from <windows.h> and
 * <oleauto.h> itself, in the same words, so that those headers may come
 * before or after it, and a file that includes only this header is spared
 * their macros (MessageBox, min, max, ...). */
#if defined(_WIN32)
#ifndef WINAPI
#define WINAPI __stdcall
#endif
#define BF_CDECL __cdecl
typedef wchar_t *BSTR; /* OLECHAR *, as <wtypes.h> declares it */
#define BF_OLE_IMPORT __declspec(dllimport)
#else
#ifndef WINAPI
#define WINAPI
#endif
#define BF_CDECL
typedef char *BSTR;
#define BF_OLE_IMPORT
#endif

#ifdef __cplusplus
#define BF_STATIC_ASSERT static_assert
extern "C" {
#else
#define BF_STATIC_ASSERT _Static_assert
#endif

/* OLE string helpers: oleaut32 on Windows, exported by both libraries on
 * other systems. */
BF_OLE_IMPORT BSTR WINAPI SysAllocStringByteLen(const char *bytes, unsigned int length);
BF_OLE_IMPORT unsigned int WINAPI SysStringByteLen(BSTR text);
BF_OLE_IMPORT void WINAPI SysFreeString(BSTR text);

/* Status codes. Zero and positive values are results; negative values are
 * errors, and GetErrorText turns -1 to -15 (textlink: -16) into messages. */
enum {
    BF_ERR_PARAMETER = -1,       /* required parameter missing */
    BF_ERR_OPEN = -2,            /* can not open input file */
    BF_ERR_MEMORY = -3,          /* not enough memory */
    BF_ERR_SHEET_NAME = -4,      /* invalid worksheet name */
    BF_ERR_CORRUPT = -5,         /* corrupted or old version database */
    BF_EOF = -6,                 /* no more cells / records */
    BF_ERR_ROW = -7,             /* invalid row number */
    BF_ERR_COLUMN = -8,          /* invalid column number */
    BF_ERR_WRITE = -9,           /* can not write output file */
    BF_ERR_USER = -10,           /* invalid user name */
    BF_ERR_AUTHORIZATION = -11,  /* authorization error */
    BF_ERR_TOO_MANY_CELLS = -12, /* more than 32,767 records in a sheet */
    BF_ERR_PASSWORD = -13,       /* invalid password */
    BF_ERR_PROGRAM = -14,        /* program error (also: not available yet) */
    BF_ERR_PATH = -15,           /* invalid path to a file or folder */
    BF_ERR_CANCELLED = -16       /* operation cancelled (textlink only) */
};

/* TextRecord (8 bytes on 32-bit targets):
 *   0  int16  number   an error code, a count or a flag
 *   2  2      padding
 *   4  BSTR   text     a text, or a list of NUL-separated texts            */
typedef struct TextRecord {
    int16_t number;
    int16_t padding;
    BSTR text;
} TextRecord;

#if defined(__i386__) || (defined(_WIN32) && !defined(_WIN64))
BF_STATIC_ASSERT(sizeof(TextRecord) == 8, "TextRecord is 8 bytes");
BF_STATIC_ASSERT(offsetof(TextRecord, text) == 4, "TextRecord.text at 4");
#define BF_RECORDS_32BIT 1
#endif

#ifdef __cplusplus
}
#endif

#endif /* BRIGHTFOLD_H */
