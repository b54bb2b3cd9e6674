// Probe used by test_winerun.py to check the e2e harness against real Wine.
// It reads what to do from environment variables (so its command line stays
// exactly as the harness passed it) and appends ANSI lines to %PROBE_OUT%.
//   PROBE_DO  = actions separated by '|'; it is removed from the environment
//               first, so a probe started by the probe (for example through a
//               file association) does PROBE_CHILD_DO instead (default "cmd").
//     cmd          write GetCommandLineA() and the current directory
//     tmp          write GetEnvironmentVariableA("TMP") and GetTempPathA()
//     msg          MessageBoxA with %PROBE_MSG% (or a fixed Cyrillic text)
//     shell=PATH   ShellExecuteA(NULL, "open", PATH, NULL, NULL, 1)
//     reg          write REG_SZ/REG_DWORD under HKCU and HKLM\Software\ReelProbe
//     find=DIR     list DIR\* with FindFirstFileA (name, short name, attributes)
//     open=PATH    CreateFileA(PATH, GENERIC_READ) and report its size
//     id=PATH      volume serial + file index via FILE_FLAG_BACKUP_SEMANTICS
//     sleep=MS     Sleep(MS)
//     exit=N       exit code (default 0)
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static FILE *out;

static void put(const char *key, const char *val) { fprintf(out, "%s=%s\n", key, val); }

static void put_num(const char *key, unsigned long v) { fprintf(out, "%s=%lu\n", key, v); }

static void write_reg(HKEY root, const char *tag) {
    HKEY k;
    LONG rc = RegCreateKeyExA(root, "Software\\ReelProbe", 0, NULL, 0, KEY_WRITE, NULL, &k, NULL);
    if (rc == ERROR_SUCCESS) {
        const char *s = "\xcf\xf0\xe8\xe2\xe5\xf2 C:\\\xcf\xe0\xef\xea\xe0";  // "Привет C:\Папка" in cp1251
        DWORD n = 42;
        rc = RegSetValueExA(k, "Name", 0, REG_SZ, (const BYTE *)s, (DWORD)strlen(s) + 1);
        if (rc == ERROR_SUCCESS) rc = RegSetValueExA(k, "Count", 0, REG_DWORD, (const BYTE *)&n, sizeof n);
        RegCloseKey(k);
    }
    put_num(tag, (unsigned long)rc);
}

static void do_action(char *a, int *code) {
    char buf[4096];
    char *arg = strchr(a, '=');
    if (arg) *arg++ = 0;
    if (!strcmp(a, "cmd")) {
        put("cmd", GetCommandLineA());
        GetCurrentDirectoryA(sizeof buf, buf);
        put("cwd", buf);
    } else if (!strcmp(a, "tmp")) {
        DWORD n = GetEnvironmentVariableA("TMP", buf, sizeof buf);
        put("env_tmp", n ? buf : "(unset)");
        GetTempPathA(sizeof buf, buf);
        put("temp_path", buf);
    } else if (!strcmp(a, "msg")) {
        DWORD n = GetEnvironmentVariableA("PROBE_MSG", buf, sizeof buf);
        const char *text = n ? buf : "\xd4\xe0\xe9\xeb:\r\n\tC:\\\xc2\xe8\xe4\xe5\xee\\\xf4\xe8\xeb\xfc\xec.avi";
        put_num("msgbox", (unsigned long)MessageBoxA(NULL, text, "\xce\xf8\xe8\xe1\xea\xe0", MB_OK | MB_ICONERROR));
    } else if (!strcmp(a, "shell") && arg) {
        HINSTANCE h = ShellExecuteA(NULL, "open", arg, NULL, NULL, SW_SHOWNORMAL);
        put_num("shell", (unsigned long)(INT_PTR)h);
    } else if (!strcmp(a, "reg")) {
        write_reg(HKEY_CURRENT_USER, "reg_hkcu");
        write_reg(HKEY_LOCAL_MACHINE, "reg_hklm");
    } else if (!strcmp(a, "find") && arg) {
        WIN32_FIND_DATAA fd;
        snprintf(buf, sizeof buf, "%s\\*", arg);
        HANDLE h = FindFirstFileA(buf, &fd);
        if (h == INVALID_HANDLE_VALUE) { put_num("find_error", GetLastError()); return; }
        do {
            fprintf(out, "find=%s\t%s\t%08lx\n", fd.cFileName, fd.cAlternateFileName,
                    (unsigned long)fd.dwFileAttributes);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    } else if (!strcmp(a, "open") && arg) {
        HANDLE h = CreateFileA(arg, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE) { put_num("open_error", GetLastError()); return; }
        put_num("open_size", GetFileSize(h, NULL));
        CloseHandle(h);
    } else if (!strcmp(a, "id") && arg) {
        HANDLE h = CreateFileA(arg, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
        BY_HANDLE_FILE_INFORMATION fi;
        if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &fi)) {
            put_num("id_error", GetLastError());
        } else {
            fprintf(out, "id=%08lx:%08lx%08lx attr=%08lx\n", (unsigned long)fi.dwVolumeSerialNumber,
                    (unsigned long)fi.nFileIndexHigh, (unsigned long)fi.nFileIndexLow,
                    (unsigned long)fi.dwFileAttributes);
        }
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    } else if (!strcmp(a, "sleep") && arg) {
        Sleep((DWORD)atoi(arg));
    } else if (!strcmp(a, "exit") && arg) {
        *code = atoi(arg);
    }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static char todo[8192], path[MAX_PATH];
    int code = 0;
    if (!GetEnvironmentVariableA("PROBE_OUT", path, sizeof path)) return 99;
    out = fopen(path, "ab");
    if (!out) return 98;
    if (!GetEnvironmentVariableA("PROBE_DO", todo, sizeof todo) &&
        !GetEnvironmentVariableA("PROBE_CHILD_DO", todo, sizeof todo))
        strcpy(todo, "cmd");
    SetEnvironmentVariableA("PROBE_DO", NULL);
    for (char *a = strtok(todo, "|"); a; a = strtok(NULL, "|")) {
        char action[8192];
        strcpy(action, a);
        do_action(action, &code);
        fflush(out);
    }
    fclose(out);
    return code;
}
