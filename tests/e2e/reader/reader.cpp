// Reads back, in one Wine process, what the end-to-end harness (winerun.py)
// checks of a run: registry keys with their exact value bytes, files as a
// Windows program opens them, and a folder as an ANSI program lists it.
//   reader.exe REQUEST...
// Each request is two arguments, answered on stdout in the order given, one
// line each (plus the lines that follow it), ASCII only, bytes in hex:
//   key KEY    "key\tE" with the Windows error E of opening KEY (0: opened,
//              2: no such key), then for each value when opened
//              "value\tTYPE\tNAME\tDATA": NAME in UTF-16LE, DATA the exact
//              stored bytes (no terminating zero added, none taken away).
//              KEY starts with HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or
//              HKEY_CLASSES_ROOT; it is opened in the reader's own view.
//   file PATH  "file\t0\tDATA" with the whole file, or "file\tE".
//   dir PATH   "dir\tE" (FindFirstFileA of PATH\*), then for each entry
//              "entry\tNAME\tSHORT\tATTRIBUTES": NAME in the ANSI code
//              page as FindFirstFileA gives it (best fit, '?'), SHORT the
//              8.3 name ("" when it has none), ATTRIBUTES 8 hex digits.
// Exits with 2 on a request it does not know, else 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

void put_hex(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) std::printf("%02x", p[i]);
}

void read_key(const wchar_t* path) {
  static const struct {
    const wchar_t* name;
    HKEY key;
  } kRoots[] = {{L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};
  const wchar_t* slash = std::wcschr(path, L'\\');
  const size_t root_length = slash ? static_cast<size_t>(slash - path) : std::wcslen(path);
  HKEY root = nullptr;
  for (const auto& r : kRoots) {
    if (std::wcslen(r.name) == root_length && _wcsnicmp(r.name, path, root_length) == 0) root = r.key;
  }
  HKEY key;
  LONG rc = root ? RegOpenKeyExW(root, slash ? slash + 1 : L"", 0, KEY_QUERY_VALUE, &key)
                 : ERROR_INVALID_PARAMETER;
  std::printf("key\t%ld\n", rc);
  if (rc != ERROR_SUCCESS) return;
  DWORD longest_name = 0, largest_data = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   &longest_name, &largest_data, nullptr, nullptr);
  std::vector<wchar_t> name(longest_name + 1);
  std::vector<BYTE> data(largest_data + 1);
  for (DWORD i = 0;; ++i) {
    DWORD name_length = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type;
    if (RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
      break;
    std::printf("value\t%lu\t", type);
    put_hex(name.data(), name_length * sizeof(wchar_t));
    std::printf("\t");
    put_hex(data.data(), size);
    std::printf("\n");
  }
  RegCloseKey(key);
}

void read_file(const wchar_t* path) {
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    std::printf("file\t%lu\n", GetLastError());
    return;
  }
  std::string data;
  char buffer[65536];
  DWORD got;
  while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) data.append(buffer, got);
  CloseHandle(h);
  std::printf("file\t0\t");
  put_hex(data.data(), data.size());
  std::printf("\n");
}

void list_folder(const wchar_t* path) {
  // The pattern in the ANSI code page, as an ANSI program would give it.
  const std::wstring wide = std::wstring(path) + L"\\*";
  std::string pattern(wide.size() * 2 + 1, '\0');
  pattern.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, pattern.data(),
                                                         static_cast<int>(pattern.size()), nullptr, nullptr)));
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(pattern.c_str(), &found);
  std::printf("dir\t%lu\n", h == INVALID_HANDLE_VALUE ? GetLastError() : 0UL);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::printf("entry\t");
    put_hex(found.cFileName, std::strlen(found.cFileName));
    std::printf("\t%s\t%08lx\n", found.cAlternateFileName, found.dwFileAttributes);
  } while (FindNextFileA(h, &found));
  FindClose(h);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return 2;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::wcscmp(argv[i], L"key") == 0) {
      read_key(argv[i + 1]);
    } else if (std::wcscmp(argv[i], L"file") == 0) {
      read_file(argv[i + 1]);
    } else if (std::wcscmp(argv[i], L"dir") == 0) {
      list_folder(argv[i + 1]);
    } else {
      return 2;
    }
  }
  std::fflush(stdout);
  return argc % 2 ? 0 : 2;
}
