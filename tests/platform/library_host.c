/* A program that uses a library as a foreign host does, in plain C:
 *   library_host LIBRARY keep|unload
 * loads LIBRARY with dlopen, calls GetErrorText(-1) and frees the text with
 * SysFreeString when the library exports them, unloads the library when told
 * to, and ends with exit(). Exit status: 0, 2 (usage), 3 (not loaded),
 * 4 (GetErrorText gave no text), 5 (dlclose failed). */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "brightfold.h"

typedef int16_t(WINAPI *GetErrorTextFn)(TextRecord *);
typedef void (*SysFreeStringFn)(BSTR);

int main(int argc, char **argv) {
    if (argc != 3 || (strcmp(argv[2], "keep") != 0 && strcmp(argv[2], "unload") != 0)) {
        fprintf(stderr, "usage: library_host LIBRARY keep|unload\n");
        return 2;
    }
    void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "%s\n", dlerror());
        return 3;
    }
    GetErrorTextFn getErrorText = (GetErrorTextFn)dlsym(library, "GetErrorText");
    SysFreeStringFn sysFreeString = (SysFreeStringFn)dlsym(library, "SysFreeString");
    if (getErrorText && sysFreeString) {
        TextRecord record = {-1, 0, NULL};
        getErrorText(&record);
        if (!record.text) return 4;
        sysFreeString(record.text);
    }
    if (strcmp(argv[2], "unload") == 0 && dlclose(library) != 0) return 5;
    exit(0);
}
