// The floor of the benchmark: the least any program must do to find the
// films under its own folder. It lists the tree with FindFirstFileA and
// FindNextFileA, depth first, and opens each video file once (and closes
// it). No lists, no sizes, no sorting, no playlist: what Reelstart.exe takes
// beyond this is its own work.
//
// It is not part of Reelstart. Built by bench/run.py with
// i686-w64-mingw32-g++ and started under Wine, like the program, from the
// root of the tree:
//
//   floor.exe COUNTS [size] [identity] [start]
//
// At the end it writes one line with what it saw (folders, entries other
// than "." and "..", video files, video files that would not open) to the file COUNTS, so the driver
// can check that it walked the same tree; that is a few bytes once, after the
// walk. The words after it add, one at a time, the system calls the program
// makes beyond the floor, so that their cost can be seen on its own:
//   size      GetFileSize on each opened video file (the program's sizes)
//   identity  each folder opened and its volume serial and file index read
//             (how the program notices a folder link back into the tree)
//   start     what any program doing the job must do besides the walk: load
//             the version, shell, registry and COM DLLs (version.dll,
//             shell32.dll, advapi32.dll, ole32.dll) and ask for the floor's
//             version resource before the walk; after it, write a playlist
//             into the folder of TMP, ask the shell to open it in a
//             single-threaded apartment (as Microsoft documents ShellExecute
//             to need) and write one registry value. COUNTS then also holds
//             the shell's answer and the registry's.
// The DLLs of "start" are loaded by LoadLibraryA, not imported: imported, the
// loader would map them into every run, and the bare walker of the large
// tree would carry the start too. LoadLibraryA does the loader's same work
// (the DLL, the DLLs it imports, their initialisation), only later.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

bool withSize = false;
bool withIdentity = false;
bool withStart = false;
volatile DWORD sink = 0;  // keeps the optional calls' results alive

struct Counts {
  unsigned long folders = 0;
  unsigned long entries = 0;
  unsigned long videos = 0;
  unsigned long unopened = 0;
  // Of "start" alone: ShellExecuteA's answer (above 32: something was
  // started) and the status of the registry write (0: written).
  long shell = -1;
  long registry = -1;
};

// An export of a DLL loaded already, as the function type it has; null when
// there is none.
template <typename Function>
Function Export(HMODULE dll, const char* name) {
  return dll == nullptr ? nullptr
                        : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

using GetFileVersionInfoSizeAFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using ShellExecuteAFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
using CoUninitializeFn = void(WINAPI*)();
using RegCreateKeyExAFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM,
                                        LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
using RegSetValueExAFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
using RegCloseKeyFn = LONG(WINAPI*)(HKEY);

// The start's DLLs. The version DLL is asked about the floor's own file: it
// has no version resource, so the answer is 0, found as the program's first
// question about its own is, by reading the file's resources.
struct StartDlls {
  HMODULE version = nullptr;
  HMODULE shell = nullptr;
  HMODULE registry = nullptr;
  HMODULE com = nullptr;

  explicit StartDlls(const char* self) {
    version = LoadLibraryA("version.dll");
    shell = LoadLibraryA("shell32.dll");
    registry = LoadLibraryA("advapi32.dll");
    com = LoadLibraryA("ole32.dll");
    if (auto size = Export<GetFileVersionInfoSizeAFn>(version, "GetFileVersionInfoSizeA")) {
      DWORD handle = 0;
      sink = size(self, &handle);
    }
  }
};

// The end of a start: a playlist of the films (a header and no entry: the
// writing is the program's own work) as TMP\floor.asx, the shell's "open"
// of it, as the program asks it of start.asx, and one value under a key of
// the floor's own in HKEY_CURRENT_USER.
void FinishStart(const StartDlls& dlls, Counts& counts) {
  char playlist[MAX_PATH + 16];
  const DWORD length = GetTempPathA(MAX_PATH, playlist);
  if (length == 0 || length >= MAX_PATH) return;
  std::strcpy(playlist + length, "floor.asx");
  const HANDLE file = CreateFileA(playlist, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  static const char kText[] = "<ASX version=\"3.0\">\r\n</ASX>\r\n";
  DWORD written = 0;
  WriteFile(file, kText, sizeof kText - 1, &written, nullptr);
  CloseHandle(file);

  auto initialise = Export<CoInitializeExFn>(dlls.com, "CoInitializeEx");
  auto release = Export<CoUninitializeFn>(dlls.com, "CoUninitialize");
  const bool apartment = initialise != nullptr && release != nullptr &&
                         SUCCEEDED(initialise(nullptr, COINIT_APARTMENTTHREADED |
                                                           COINIT_DISABLE_OLE1DDE));
  if (auto open = Export<ShellExecuteAFn>(dlls.shell, "ShellExecuteA")) {
    counts.shell = static_cast<long>(
        reinterpret_cast<INT_PTR>(open(nullptr, "open", playlist, nullptr, nullptr, SW_SHOWNORMAL)));
  }
  if (apartment) release();

  auto create = Export<RegCreateKeyExAFn>(dlls.registry, "RegCreateKeyExA");
  auto set = Export<RegSetValueExAFn>(dlls.registry, "RegSetValueExA");
  auto close = Export<RegCloseKeyFn>(dlls.registry, "RegCloseKey");
  if (create == nullptr || set == nullptr || close == nullptr) return;
  HKEY key = nullptr;
  counts.registry = create(HKEY_CURRENT_USER, "Software\\Reelstart benchmark floor", 0, nullptr,
                           REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (counts.registry != ERROR_SUCCESS) return;
  const DWORD films = counts.videos;
  counts.registry = set(key, "VideoFiles Count", 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&films), sizeof films);
  close(key);
}

// The program's extensions, compared with ASCII letters folded to lower case.
bool IsVideoName(const char* name) {
  static const char* const kExts[] = {".avi", ".divx", ".dvr-ms", ".m1v",  ".mp2",  ".mpeg",
                                      ".mpa", ".mpe",  ".mpg",    ".mpv2", ".mp2v", ".wmv"};
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return false;
  char ext[16];
  std::size_t n = 0;
  for (; dot[n] != '\0'; ++n) {
    if (n + 1 == sizeof ext) return false;
    const char c = dot[n];
    ext[n] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  ext[n] = '\0';
  for (const char* known : kExts) {
    if (std::strcmp(ext, known) == 0) return true;
  }
  return false;
}

// `path` holds the folder with its trailing backslash in its first `length`
// characters; the buffer is reused down the whole walk.
void Walk(char (&path)[MAX_PATH * 2], std::size_t length, Counts& counts) {
  ++counts.folders;
  if (withIdentity) {
    path[length] = '\0';
    const HANDLE folder = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder != INVALID_HANDLE_VALUE) {
      BY_HANDLE_FILE_INFORMATION info;
      if (GetFileInformationByHandle(folder, &info)) sink = info.nFileIndexLow;
      CloseHandle(folder);
    }
  }
  std::strcpy(path + length, "*.*");
  WIN32_FIND_DATAA entry;
  const HANDLE find = FindFirstFileA(path, &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const char* name = entry.cFileName;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    ++counts.entries;
    const std::size_t nameLength = std::strlen(name);
    if (length + nameLength + 5 >= sizeof path) continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      std::memcpy(path + length, name, nameLength);
      path[length + nameLength] = '\\';
      Walk(path, length + nameLength + 1, counts);
    } else if (IsVideoName(name)) {
      ++counts.videos;
      std::memcpy(path + length, name, nameLength + 1);
      const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_ARCHIVE, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        ++counts.unopened;
      } else {
        if (withSize) {
          DWORD high = 0;
          sink = GetFileSize(file, &high) + high;
        }
        CloseHandle(file);
      }
    }
  } while (FindNextFileA(find, &entry));
  FindClose(find);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  static char path[MAX_PATH * 2];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) return 2;
  for (int i = 2; i < __argc; ++i) {
    withSize |= std::strcmp(__argv[i], "size") == 0;
    withIdentity |= std::strcmp(__argv[i], "identity") == 0;
    withStart |= std::strcmp(__argv[i], "start") == 0;
  }
  Counts counts;
  if (withStart) {
    const StartDlls dlls(path);
    Walk(path, static_cast<std::size_t>(slash - path) + 1, counts);
    FinishStart(dlls, counts);
  } else {
    Walk(path, static_cast<std::size_t>(slash - path) + 1, counts);
  }

  if (__argc > 1) {
    if (FILE* out = std::fopen(__argv[1], "w")) {
      std::fprintf(out, "folders=%lu entries=%lu videos=%lu unopened=%lu", counts.folders,
                   counts.entries, counts.videos, counts.unopened);
      if (withStart) std::fprintf(out, " shell=%ld registry=%ld", counts.shell, counts.registry);
      std::fprintf(out, "\n");
      std::fclose(out);
    }
  }
  return 0;
}
