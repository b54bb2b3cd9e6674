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
//   floor.exe COUNTS [size] [identity]
//
// At the end it writes one line with what it saw (folders, entries other
// than "." and "..", video files, video files that would not open) to the file COUNTS, so the driver
// can check that it walked the same tree; that is a few bytes once, after the
// walk. The words after it add, one at a time, the system calls the program
// makes beyond the floor, so that their cost can be seen on its own:
//   size      GetFileSize on each opened video file (the program's sizes)
//   identity  each folder opened and its volume serial and file index read
//             (how the program notices a folder link back into the tree)
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

bool withSize = false;
bool withIdentity = false;
volatile DWORD sink = 0;  // keeps the optional calls' results alive

struct Counts {
  unsigned long folders = 0;
  unsigned long entries = 0;
  unsigned long videos = 0;
  unsigned long unopened = 0;
};

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
  }
  Counts counts;
  Walk(path, static_cast<std::size_t>(slash - path) + 1, counts);

  if (__argc > 1) {
    if (FILE* out = std::fopen(__argv[1], "w")) {
      std::fprintf(out, "folders=%lu entries=%lu videos=%lu unopened=%lu\n", counts.folders,
                   counts.entries, counts.videos, counts.unopened);
      std::fclose(out);
    }
  }
  return 0;
}
