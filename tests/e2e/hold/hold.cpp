// Holds a file open, as another program would, while a test runs Reelstart.
//   hold.exe MODE FILE READY STOP
// MODE "write": open FILE for writing, letting others only read it (a
// recorder still writing a film); "share-all": open it for reading, letting
// others read, write and delete (a viewer that has the file open). It then
// writes "ready" (or "error N" with the Windows error code) into READY and
// waits until STOP exists, at most a minute, before it closes FILE.
#include <windows.h>
#include <stdio.h>
#include <string.h>

static void report(const char *ready, const char *text) {
    FILE *f = fopen(ready, "wb");
    if (f) {
        fputs(text, f);
        fclose(f);
    }
}

int main(int argc, char **argv) {
    if (argc != 5) return 2;
    const char *mode = argv[1], *file = argv[2], *ready = argv[3], *stop = argv[4];
    DWORD access, share;
    if (!strcmp(mode, "write")) {
        access = GENERIC_WRITE;
        share = FILE_SHARE_READ;
    } else if (!strcmp(mode, "share-all")) {
        access = GENERIC_READ;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    } else {
        return 2;
    }
    HANDLE h = CreateFileA(file, access, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        char text[32];
        snprintf(text, sizeof text, "error %lu", (unsigned long)GetLastError());
        report(ready, text);
        return 1;
    }
    report(ready, "ready");
    for (int waited = 0; waited < 60000; waited += 50) {
        if (GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(50);
    }
    CloseHandle(h);
    return 0;
}
