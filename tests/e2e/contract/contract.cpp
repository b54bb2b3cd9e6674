// The platform contract (support/PlatformContract.h) against Win32Platform,
// the program's own layer over the real calls: test_contract.py builds it and
// runs it under Wine.
//   "contract program.exe" DISC LINKED
// DISC is a folder on a read-only volume holding "film.avi" and
// "writable.avi" (10 bytes each, the first read-only); LINKED the folder
// Fixture::LinkedFolder describes, made on the Unix side. The program lies in
// a folder named kProgramFolder. Each case works in a folder of its own under
// the temporary folder. It prints "ok NAME", "FAIL NAME: what" or "stand-in
// only NAME" per case, then "N cases ran, M failed", and exits with 1 when a
// case failed.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/Platform_win.h"
#include "support/Misuse.h"
#include "support/PlatformContract.h"
#include "support/Win32Constants.h"

namespace {

using namespace reelstart;

// The values only the tests use, held to the header as Platform_win.cpp holds
// the program's.
static_assert(win::kMaxPath == MAX_PATH);
static_assert(win::kFileAttributeReadOnly == FILE_ATTRIBUTE_READONLY);
static_assert(win::kFileReadData == FILE_READ_DATA);
static_assert(win::kFileWriteData == FILE_WRITE_DATA);
static_assert(win::kFileAppendData == FILE_APPEND_DATA);
static_assert(win::kDelete == DELETE);
static_assert(win::kGenericAll == GENERIC_ALL);
static_assert(win::kCstrLessThan == CSTR_LESS_THAN);
static_assert(win::kCstrGreaterThan == CSTR_GREATER_THAN);
static_assert(win::kErrorPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(win::kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(win::kErrorInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(win::kErrorNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY);
static_assert(win::kErrorNoMoreFiles == ERROR_NO_MORE_FILES);
static_assert(win::kErrorNotReady == ERROR_NOT_READY);
static_assert(win::kErrorSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(win::kErrorNetNameDeleted == ERROR_NETNAME_DELETED);
static_assert(win::kErrorInvalidParameter == ERROR_INVALID_PARAMETER);
static_assert(win::kErrorInvalidName == ERROR_INVALID_NAME);
static_assert(win::kErrorFilenameExcedRange == ERROR_FILENAME_EXCED_RANGE);
static_assert(win::kErrorMoreData == ERROR_MORE_DATA);
static_assert(win::kErrorKeyDeleted == ERROR_KEY_DELETED);
static_assert(win::kErrorResourceTypeNotFound == ERROR_RESOURCE_TYPE_NOT_FOUND);
static_assert(win::kRegBinary == REG_BINARY);
static_assert(win::kErrorAlreadyExists == ERROR_ALREADY_EXISTS);
static_assert(win::kErrorEnvvarNotFound == ERROR_ENVVAR_NOT_FOUND);
static_assert(win::kErrorInvalidFlags == ERROR_INVALID_FLAGS);
static_assert(win::kErrorResourceNameNotFound == ERROR_RESOURCE_NAME_NOT_FOUND);
static_assert(win::kErrorMrMidNotFound == ERROR_MR_MID_NOT_FOUND);
static_assert(win::kSeErrFnf == SE_ERR_FNF);
static_assert(win::kSFalse == S_FALSE);
static_assert(win::kRpcEChangedMode == RPC_E_CHANGED_MODE);
static_assert(win::kSeErrNoAssoc == SE_ERR_NOASSOC);

// What no constant expression can read: the pointer-valued ones.
std::string PointerConstantsDiffer() {
  std::string differ;
  if (kInvalidHandleValue != reinterpret_cast<NativeHandle>(INVALID_HANDLE_VALUE)) {
    differ += " INVALID_HANDLE_VALUE";
  }
  if (kHkeyCurrentUser != reinterpret_cast<RegistryKey>(HKEY_CURRENT_USER)) {
    differ += " HKEY_CURRENT_USER";
  }
  if (kHkeyLocalMachine != reinterpret_cast<RegistryKey>(HKEY_LOCAL_MACHINE)) {
    differ += " HKEY_LOCAL_MACHINE";
  }
  return differ;
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string entry = path + "\\" + name;
      SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(entry);
      } else {
        DeleteFileA(entry.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
}

class WindowsFixture final : public contract::Fixture {
 public:
  WindowsFixture(std::string root, std::string disc, std::string linked)
      : root_(std::move(root)), disc_(std::move(disc)), linked_(std::move(linked)) {
    CreateDirectoryA(root_.c_str(), nullptr);
  }
  ~WindowsFixture() override { RemoveTree(root_); }

  std::string NewFolder() override {
    const std::string folder = root_ + "\\" + std::to_string(++folders_);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\";
  }
  void MakeFolder(const std::string& path) override { CreateDirectoryA(path.c_str(), nullptr); }
  void MakeFile(const std::string& path, std::uint64_t size) override {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  void GiveShortName(const std::string&, const std::string&) override {}
  std::string ReadOnlyFolder() override { return disc_; }
  std::string VersionedFile() override {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
  }
  void SetVariable(const std::string& name, const char* value) override {
    SetEnvironmentVariableA(name.c_str(), value);
  }
  std::string FolderOutsideCodePage(const std::string& name) override {
    wchar_t root[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, root_.c_str(), -1, root, MAX_PATH);
    const std::wstring folder = std::wstring(root) + L"\\Caf\u00E9 \u0141\u00F3d\u017A";
    CreateDirectoryW(folder.c_str(), nullptr);
    SetEnvironmentVariableW(std::wstring(name.begin(), name.end()).c_str(), folder.c_str());
    char spelled[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, spelled, MAX_PATH, nullptr, nullptr);
    return spelled;
  }
  std::string LinkedFolder() override { return linked_; }
  std::string IndexlessFolder() override { return {}; }

 private:
  std::string root_, disc_, linked_;
  int folders_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  // With "english-formats": only the cases held under English Formats, which
  // the run without it leaves out.
  const bool englishFormats = argc == 4 && std::string(argv[3]) == "english-formats";
  if (argc != 3 && !englishFormats) {
    std::puts("usage: \"contract program.exe\" DISC LINKED [english-formats]");
    return 2;
  }
  std::string disc = argv[1], linked = argv[2];
  if (disc.back() != '\\') disc += '\\';
  if (linked.back() != '\\') linked += '\\';
  Win32Platform platform;
  SetPlatform(&platform);
  std::string failure;
  OnMisuse = [&](const std::string& message) { failure += "\n  misuse: " + message; };
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  WindowsFixture fixture(
      std::string(temp) + "Reelstart contract " + std::to_string(GetCurrentProcessId()), disc,
      linked);
  int failed = 0;
  if (const std::string differ = PointerConstantsDiffer(); !differ.empty()) {
    std::printf("FAIL pointer constants of Platform.h:%s\n", differ.c_str());
    ++failed;
  }
  for (const char* why : contract::kUncalled) std::printf("not called %s\n", why);
  unsigned ran = 0;
  for (const contract::Case& c : contract::Cases()) {
    if (c.StandInOnly) {
      std::printf("stand-in only %s\n", c.Name);
      continue;
    }
    if (c.EnglishFormats != englishFormats) continue;
    ++ran;
    failure.clear();
    contract::Context context{platform, fixture, fixture.NewFolder(),
                              [&](const std::string& what) { failure += "\n  " + what; }};
    c.Run(context);
    std::printf("%s %s%s\n", failure.empty() ? "ok" : "FAIL", c.Name, failure.c_str());
    failed += failure.empty() ? 0 : 1;
  }
  HKEY software;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software) == ERROR_SUCCESS) {
    RegDeleteKeyA(software, "Reelstart contract");
    RegCloseKey(software);
  }
  std::printf("%u cases ran, %d failed\n", ran, failed);
  return failed == 0 ? 0 : 1;
}
