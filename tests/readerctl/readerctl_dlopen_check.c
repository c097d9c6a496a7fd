// SPDX-License-Identifier: BSD-3-Clause
/* Loads the installed library as a foreign program would and checks its
 * answers on a machine without the reader. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>

#include "readerctl/readerctl.h"

typedef uint16_t (*NoArgs)(void);
typedef uint16_t (*PathArg)(const char*);
typedef uint16_t (*VersionArgs)(uint16_t*, uint8_t*);

static const char* const kExports[] = {"StartDownload", "Download",   "EndDownload",
                                       "ResetDevice",   "GetFirmVersion", "ReadEEPROM",
                                       "WriteEEPROM",   "SwitchInterface", "ReadSwitchInterface"};

static int Expect(const char* what, unsigned got, unsigned want) {
    printf("%-16s 0x%04X%s\n", what, got, got == want ? "" : " (wrong)");
    if (got != want) fprintf(stderr, "%s: expected 0x%04X, got 0x%04X\n", what, want, got);
    return got == want ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <path of libreaderctl.so>\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    void* symbols[9];
    for (int i = 0; i < 9; ++i) {
        symbols[i] = dlsym(library, kExports[i]);
        if (symbols[i] == NULL) {
            fprintf(stderr, "missing export %s\n", kExports[i]);
            return 1;
        }
    }
    int failures = 0;
    uint16_t length = 0x5555;
    uint8_t version[255];
    /* Right after loading, no reader on the bus. */
    failures += Expect("ResetDevice", ((NoArgs)symbols[3])(), StatusNoDevice);
    failures += Expect("StartDownload", ((NoArgs)symbols[0])(), StatusNoDevice);
    failures += Expect("GetFirmVersion", ((VersionArgs)symbols[4])(&length, version), StatusNoDevice);
    failures += Expect("EndDownload", ((NoArgs)symbols[2])(), StatusNoDownload);
    failures += Expect("Download", ((PathArg)symbols[1])("/nonexistent.bin"), StatusNotStarted);
    failures += Expect("version length", length, 0x5555);
    if (dlclose(library) != 0) {
        fprintf(stderr, "dlclose: %s\n", dlerror());
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
