/* A 32-bit Windows program that uses gridlink.dll as the spreadsheet add-in
 * and the HotSync Manager do, in plain C:
 *   win32_host PATH\gridlink.dll
 * It loads the DLL with LoadLibraryA (in a private product set up in the
 * registry tree that BRIGHTFOLD_HIVE selects), looks every export up by name
 * and by ordinal, calls each through its ordinal with the stack pointer
 * watched around the call, and reads the records back at the offsets the
 * Part gives. Every failed check prints one line. Exit status: 0 all good,
 * 1 a check failed, 2 usage, 3 the DLL did not load. */
#include <windows.h>

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "gridlink.h"

static int failures = 0;

static void check(int ok, const char *what) {
    if (!ok) {
        printf("FAILED: %s\n", what);
        ++failures;
    }
}

/* Calls fn as the caller of a stdcall or cdecl function does, with two
 * 32-bit arguments pushed (a function taking fewer finds the rest above its
 * own), and reports how far the stack pointer moved beyond what a callee
 * taking `count` arguments removes: 0 when the callee removed them
 * (stdcall), minus their size when it left them (cdecl). The stack is put
 * back either way, so a wrong convention is seen, not suffered. */
static int callWatched(FARPROC fn, int count, DWORD a0, DWORD a1, DWORD *result) {
    DWORD r, removed, saved;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %[a1]\n\t"
        "pushl %[a0]\n\t"
        "movl %%esp, %%edi\n\t"
        "call *%[fn]\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%edi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(r), "=d"(removed), "=&S"(saved), [a0] "+c"(a0), [a1] "+D"(a1)
        : [fn] "b"(fn)
        : "memory", "cc");
    (void)saved;
    *result = r;
    return (int)removed - 4 * count;
}

struct Export {
    const char *name;
    int ordinal;
    int args;     /* 32-bit arguments */
    int stdcall;  /* 0: cdecl (HS_Notify) */
    int expected; /* the status for the arguments below */
};

/* A null record is answered with -1 by every export that takes one
 * (GetErrorText: 0); ShowTBManDialog is closed at once by the headless
 * backend; HS_Notify answers 1 to every event. */
static const struct Export kExports[] = {
    {"GetErrorText", 1, 1, 1, 0},    {"ShowTBManDialog", 2, 0, 1, 0x7fff},
    {"ExportWorkbook", 3, 1, 1, -1}, {"ImportWorkbook", 4, 1, 1, -1},
    {"VerifyImport", 5, 1, 1, -1},   {"GetSheetName", 6, 2, 1, -1},
    {"GetCellInfo", 7, 1, 1, -1},    {"CheckPasswd", 8, 1, 1, -1},
    {"VerifyExport", 9, 1, 1, -1},   {"VerifyAllFileExport", 10, 1, 1, -1},
    {"SetSheetName", 11, 1, 1, -1},  {"SetCellInfo", 12, 1, 1, -1},
    {"GetPassword", 13, 1, 1, -1},   {"GetSize", 14, 1, 1, -1},
    {"HS_Notify", 15, 2, 0, 1},
};

/* A product folder with its sync.dat, named in the private registry tree. */
static int setUpProduct(void) {
    char temp[MAX_PATH], folder[MAX_PATH], file[MAX_PATH + 16], key[512];
    HKEY product;
    DWORD written;
    HANDLE sync;
    static const char zeros[4] = {0, 0, 0, 0};
    const char *hive = "win32_host";
    if (!GetTempPathA(sizeof temp, temp)) return 0;
    snprintf(folder, sizeof folder, "%sbf-win32-host-%lu", temp, GetCurrentProcessId());
    CreateDirectoryA(folder, NULL);
    snprintf(file, sizeof file, "%s\\sync.dat", folder);
    sync = CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (sync == INVALID_HANDLE_VALUE) return 0;
    WriteFile(sync, zeros, sizeof zeros, &written, NULL);
    CloseHandle(sync);
    SetEnvironmentVariableA("BRIGHTFOLD_HIVE", hive);
    snprintf(key, sizeof key,
             "Software\\Brightfold Hives\\%s\\HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo", hive);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, NULL, 0, KEY_WRITE, NULL, &product, NULL) != ERROR_SUCCESS)
        return 0;
    RegSetValueExA(product, "Path", 0, REG_SZ, (const BYTE *)folder, (DWORD)strlen(folder) + 1);
    RegCloseKey(product);
    return 1;
}

int main(int argc, char **argv) {
    HMODULE dll;
    size_t i;
    char line[160];
    if (argc != 2) {
        fprintf(stderr, "usage: win32_host PATH\\gridlink.dll\n");
        return 2;
    }
    check(setUpProduct(), "a product folder and its registry key");
    dll = LoadLibraryA(argv[1]);
    if (!dll) {
        printf("FAILED: LoadLibraryA(%s): error %lu\n", argv[1], GetLastError());
        return 3;
    }

    for (i = 0; i < sizeof kExports / sizeof kExports[0]; ++i) {
        const struct Export *e = &kExports[i];
        FARPROC byName = GetProcAddress(dll, e->name);
        FARPROC byOrdinal = GetProcAddress(dll, MAKEINTRESOURCEA(e->ordinal));
        DWORD result = 0;
        int moved;
        snprintf(line, sizeof line, "%s by name", e->name);
        check(byName != NULL, line);
        snprintf(line, sizeof line, "%s is ordinal %d", e->name, e->ordinal);
        check(byOrdinal != NULL && byOrdinal == byName, line);
        if (!byOrdinal) continue;
        moved = callWatched(byOrdinal, e->args, 0, 0, &result);
        snprintf(line, sizeof line, "%s removes its %d arguments (%s); stack moved by %d", e->name, e->args,
                 e->stdcall ? "stdcall" : "cdecl: the caller does", moved);
        check(moved == (e->stdcall ? 0 : -4 * e->args), line);
        if (e->expected != 0x7fff) {
            /* 16-bit statuses come back in AX, HS_Notify's 32 bits in EAX */
            long got = e->stdcall ? (long)(short)result : (long)result;
            snprintf(line, sizeof line, "%s answers %d (got %ld)", e->name, e->expected, got);
            check(got == e->expected, line);
        }
    }
    /* Nothing beyond ordinal 15. */
    check(GetProcAddress(dll, MAKEINTRESOURCEA(16)) == NULL, "no ordinal 16");
    /* The stack watch sees a wrong convention: HS_Notify treated as stdcall
     * leaves its two arguments on the stack. */
    {
        DWORD result;
        int moved = callWatched(GetProcAddress(dll, MAKEINTRESOURCEA(15)), 2, HS_SYNC_QUERYOK, 0, &result);
        check(moved == -8, "the stack watch sees the 8 bytes a cdecl callee leaves");
    }

    /* Records at the Part's offsets, as raw bytes. */
    {
        unsigned char text[8];
        BSTR got;
        typedef short(WINAPI * GetErrorTextFn)(void *);
        GetErrorTextFn getErrorText = (GetErrorTextFn)(void *)GetProcAddress(dll, MAKEINTRESOURCEA(1));
        static const char expected[] = "Number of cells exceeds maximmu 32K.";
        memset(text, 0, sizeof text);
        text[0] = (unsigned char)(-12 & 0xff); /* number at 0, int16 */
        text[1] = 0xff;
        check(getErrorText(text) == 0, "GetErrorText(-12) returns 0");
        memcpy(&got, text + 4, sizeof got); /* text at 4 */
        check(got != NULL && SysStringByteLen(got) == sizeof expected - 1 &&
                  memcmp(got, expected, sizeof expected - 1) == 0,
              "GetErrorText(-12) stores the text at offset 4");
        if (got) SysFreeString(got);
    }
    check(sizeof(TextRecord) == 8 && offsetof(TextRecord, text) == 4, "TextRecord: 8 bytes, text at 4");
    check(sizeof(SheetRecord) == 84 && offsetof(SheetRecord, sheetNumber) == 2 &&
              offsetof(SheetRecord, sizeAnswer) == 20 && offsetof(SheetRecord, cellSizeFlag) == 24 &&
              offsetof(SheetRecord, sheetName) == 48,
          "SheetRecord: 84 bytes, fields at 2, 20, 24, 48");

    check(FreeLibrary(dll) != 0, "FreeLibrary");
    if (failures == 0)
        printf("win32_host: 15 exports by name and ordinal, stack balanced, records in place\n");
    return failures ? 1 : 0;
}
