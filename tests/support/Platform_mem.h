// An in-memory platform for the host tests: a folder tree with entry order,
// attributes, sizes and 8.3 names; opens checked as Windows checks them
// (access against read-only files and volumes, share modes against other
// openers); environment, module path and code
// page; the shell requests and message boxes the program makes, captured
// instead of shown (the shell answers as it would: no association, no such
// file). Where Windows leaves an answer open, the stand-in gives the one a
// program could least rely on: a successful call changes the last error. What Windows would not do for a correct program (a find
// handle given to CloseHandle, a handle closed twice) and a test's setup
// naming nothing are reported through OnMisuse (support/Misuse.h). Calls
// fail on demand through FailingPlatform over it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "support/Misuse.h"
#include "support/Win32Constants.h"

namespace reelstart {

// Installs itself as ThePlatform() for its lifetime.
class MemoryPlatform final : public Platform {
 public:
  MemoryPlatform();
  ~MemoryPlatform() override;
  MemoryPlatform(const MemoryPlatform&) = delete;
  MemoryPlatform& operator=(const MemoryPlatform&) = delete;

  // --- The folder tree (paths such as "D:\Films\a.avi"; drives are made on
  // first use; missing parent folders are made too). Entries are listed in
  // the order they were added. AddFolder, AddFile, SetShortName and
  // SetListedName take names exactly as given; every lookup reads its path as
  // Windows does ("D:\a.\b" is "D:\a\b"). A helper given a path where there
  // is nothing (a link's target, an entry to name or deny) reports a misuse.
  void AddFolder(const std::string& path, std::uint32_t attributes = win::kFileAttributeDirectory);
  void AddFile(const std::string& path, std::int64_t size,
               std::uint32_t attributes = win::kFileAttributeArchive);
  // Adds at `linkPath` a folder entry that is `targetFolder` itself, as a
  // junction or a folder symlink is: same contents, same identity.
  void AddFolderLink(const std::string& linkPath, const std::string& targetFolder);
  // The 8.3 name FindFirstFileA reports for the entry at `path`.
  void SetShortName(const std::string& path, const std::string& shortName);
  // The name FindFirstFileA reports for the entry at `path`, when the ANSI
  // code page cannot represent the real one ('e' for 'é'); it opens nothing.
  // (A name added with '?' in it stands for itself listed that way.)
  void SetListedName(const std::string& path, const std::string& listedName);
  // The folder's contents cannot be listed (no read permission).
  void DenyListing(const std::string& folder);
  // No file can be created in the folder (no write permission).
  void DenyCreate(const std::string& folder);
  // The volume of `drive` ("D:") is read-only, as a CD-ROM is: nothing on it
  // opens for writing, nothing can be created on it.
  void SetReadOnlyVolume(const std::string& drive);
  // Another program opens the file at `path` with `access` and `shareMode`
  // and keeps it open until Release: the program's own opens are checked
  // against it as Windows checks two openers. Its handle is no handle of the
  // program's: OpenHandleCount leaves it out.
  NativeHandle HoldOpen(const std::string& path, std::uint32_t access, std::uint32_t shareMode);
  void Release(NativeHandle held);
  [[nodiscard]] bool Exists(const std::string& path) const;
  // The bytes of a file the program wrote; a misuse when there is no file.
  [[nodiscard]] std::string FileContent(const std::string& path) const;
  // The program's handles opened and not yet closed, of any kind.
  [[nodiscard]] std::size_t OpenHandleCount() const;

  // --- Faults ----------------------------------------------------------------
  // Failing calls: FailingPlatform over this one. States of a system:
  // WriteFile writes at most this many bytes per call and says it succeeded.
  std::uint32_t WriteLimit = 0xFFFFFFFFu;
  // GetFileInformationByHandle answers file index 0 for everything, as some
  // network redirectors do.
  bool NoFileIndex = false;
  // How a folder's name of three dots or more reads on a path (before a
  // '\'). Wine (8.0) takes one trailing dot off, so "....\" is "...\", and
  // "...\" is a literal "..\", which opens nothing. Windows, as Microsoft
  // documents it, keeps "..." a name of its own. GetFullPathNameA's "..\"
  // for it, taken as the folder above, is a reading a walk must survive too.
  enum class DotsReading { Wine, Windows, FolderAbove };
  DotsReading DotsNames = DotsReading::Wine;

  // What a successful call leaves as the last error where Windows does not
  // say: not ERROR_SUCCESS, nor what an earlier failure left, so that the
  // program reads an error right after the call that failed, and only then.
  static constexpr long kLeftBySuccess = win::kErrorAlreadyExists;

  // --- Process and locale ----------------------------------------------------
  std::string CommandLine = "Reelstart.exe";
  std::string ModuleFileName = "C:\\Reelstart.exe";
  // The module's 8.3 path (GetShortModuleFileNameA); empty: none to be had.
  std::string ShortModuleFileName;
  std::uintptr_t ModuleBase = 0x00400000;
  std::map<std::string, std::string> Environment;
  // What GetShortEnvironmentVariableA answers for a variable whose value the
  // ANSI code page cannot spell: Environment holds it as the code page spells
  // it ('?' or a look-alike), this its 8.3 form. A variable not here is
  // spelled as it is (or has no 8.3 form to be had).
  std::map<std::string, std::string> ShortEnvironment;
  std::string TempPath = "C:\\Windows\\Temp\\";
  // GetShortTempPathA's answer where neither TMP nor TEMP is set: empty where
  // the folder is spelled as it is. (Where one is, the answer follows it.)
  std::string ShortTempPath;
  std::string CurrentDirectory = "C:\\";
  // The code page of the user's Formats locale, which CompareStringA and
  // LCMapStringA read the bytes in without LOCALE_USE_CP_ACP: 1251 (Russian
  // Formats, as the ANSI code page), or 1252 (English Formats on a system
  // whose programs that are not Unicode are Russian). With the flag the bytes
  // are read as Windows-1251.
  unsigned FormatsCodePage = 1251;
  // Lead-byte ranges of the ANSI code page: 1251 has none; SetCodePage(932)
  // and the like give those of a double-byte code page.
  void SetCodePage(unsigned codePage);
  // GetLocaleInfoA answers, by LCTYPE: a Russian Windows's short date and
  // its separator; absent ones read as empty (ERROR_INVALID_FLAGS).
  std::map<std::uint32_t, std::string> LocaleInfo = {{win::kLocaleSShortDate, "dd.MM.yyyy"},
                                                     {win::kLocaleSDate, "."}};
  // The LCTYPEs GetLocaleInfoA was asked for, in order.
  std::vector<std::uint32_t> LocaleInfoReads;
  SystemTime LocalTime{2007, 5, 2, 29, 12, 0, 0, 0};
  // The executable's string resources.
  std::map<std::uint32_t, std::string> StringTable;
  // The file types ShellExecuteA opens ("open" verb); any other answers
  // SE_ERR_NOASSOC, a file not there SE_ERR_FNF.
  std::vector<std::string> Associations = {".asx"};
  // Version resources by file path: the bytes of the file's RT_VERSION
  // resource (a VS_VERSIONINFO block, as a resource compiler writes it). The
  // version calls answer from them as Windows does: the block is twice the
  // resource plus 4 bytes, "FE2X" after the resource, and the ANSI texts
  // (Windows-1251) in the second half.
  std::map<std::string, std::string> VersionResources;

  // --- Registry ----------------------------------------------------------------
  struct RegistryValue {
    std::uint32_t Type = 0;
    std::string Data;
    bool operator==(const RegistryValue&) const = default;
  };
  // The value under root\key, when there is one (names compare case-blind).
  [[nodiscard]] std::optional<RegistryValue> GetRegistryValue(RegistryKey root,
                                                              const std::string& key,
                                                              const std::string& name) const;
  void SetRegistryValue(RegistryKey root, const std::string& key, const std::string& name,
                        RegistryValue value);
  [[nodiscard]] bool RegistryKeyExists(RegistryKey root, const std::string& key) const;
  // Nothing can be created or written under `root` (a user without rights):
  // RegCreateKeyExA answers ERROR_ACCESS_DENIED and hands out no key.
  void DenyRegistryWrites(RegistryKey root) { deniedRoots_.push_back(root); }
  // Registry keys opened and not yet closed.
  [[nodiscard]] std::size_t OpenKeyCount() const { return keys_.size(); }
  // Every value written, in order, with its key path as the program spelled it.
  struct RegistryWrite {
    RegistryKey Root = 0;
    std::string Key;
    std::string Name;
    bool operator==(const RegistryWrite&) const = default;
  };
  std::vector<RegistryWrite> RegistryWrites;

  // --- What the program asked for ---------------------------------------------
  struct ShellRequest {
    std::string Operation;
    std::string File;
    int ShowCommand = 0;
    // The flags COM was initialised with on the thread then; 0: it was not.
    std::uint32_t Apartment = 0;
  };
  // CoInitializeEx's answer to the first initialisation: S_OK, or a failure
  // (RPC_E_CHANGED_MODE ...), after which COM is not up. Later ones answer
  // S_FALSE, as Windows does.
  std::int32_t CoInitializeAnswer = 0;
  // Initialisations of COM not yet released.
  [[nodiscard]] std::size_t ComInitialisations() const { return apartments_.size(); }
  struct MessageBoxCall {
    std::string Text;
    std::string Caption;
    std::uint32_t Type = 0;
  };
  std::vector<ShellRequest> ShellRequests;
  std::vector<std::string> EnvironmentReads;
  std::vector<std::string> Listings;  // masks given to FindFirstFileA
  std::vector<std::string> Opens;     // paths given to CreateFileA
  std::vector<MessageBoxCall> MessageBoxes;

  // --- Platform ------------------------------------------------------------
  NativeHandle FindFirstFileA(const std::string& mask, FindData& data) override;
  bool FindNextFileA(NativeHandle find, FindData& data) override;
  void FindClose(NativeHandle find) override;
  NativeHandle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                           std::uint32_t shareMode, std::uint32_t creationDisposition,
                           std::uint32_t flagsAndAttributes) override;
  std::uint32_t GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) override;
  bool GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) override;
  bool WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                 std::uint32_t& bytesWritten) override;
  void CloseHandle(NativeHandle handle) override;
  std::uint32_t GetFileAttributesA(const std::string& fileName) override;
  std::string GetFullPathNameA(const std::string& fileName) override;
  std::uint32_t GetLastError() override { return lastError_; }
  std::string FormatMessageA(std::uint32_t messageId) override;
  std::string GetCommandLineA() override { return CommandLine; }
  std::string GetModuleFileNameA() override { return ModuleFileName; }
  std::string GetShortModuleFileNameA() override { return ShortModuleFileName; }
  std::string GetShortEnvironmentVariableA(const std::string& name) override;
  std::string GetShortTempPathA() override;
  std::uintptr_t GetModuleBase() override { return ModuleBase; }
  std::string GetEnvironmentVariableA(const std::string& name) override;
  std::string GetTempPathA() override;
  int ShellExecuteA(const std::string& operation, const std::string& file,
                    int showCommand) override;
  std::int32_t CoInitializeEx(std::uint32_t coInit) override;
  void CoUninitialize() override;
  int MessageBoxA(const std::string& text, const std::string& caption,
                  std::uint32_t type) override;
  std::string LoadStringA(std::uint32_t id) override;
  std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName) override;
  bool GetFileVersionInfoA(const std::string& fileName, std::string& block) override;
  bool VerQueryValueA(std::string& block, const std::string& subBlock, const void*& value,
                      std::uint32_t& length) override;
  long RegCreateKeyExA(RegistryKey key, const std::string& subKey, std::uint32_t options,
                       std::uint32_t samDesired, RegistryKey& result) override;
  long RegSetValueExA(RegistryKey key, const std::string& valueName, std::uint32_t type,
                      const void* data, std::uint32_t size) override;
  long RegQueryValueExA(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                        void* data, std::uint32_t& size) override;
  long RegCloseKey(RegistryKey key) override;
  int CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                     std::string_view string2) override;
  std::string LCMapStringA(std::uint32_t mapFlags, std::string_view source) override;
  bool IsDBCSLeadByte(unsigned char byte) override;
  std::string CharUpperBuffA(std::string text) override;
  std::string GetLocaleInfoA(std::uint32_t lcType) override;
  SystemTime GetLocalTime() override { return LocalTime; }

 private:
  struct Node;
  struct Open;
  enum class Kind { File, Find };

  // The root and key path an open key or a predefined root stands for.
  // Null, after a misuse report naming `call`, when `key` is neither 0 (the
  // key a failed RegCreateKeyExA hands out) nor open.
  [[nodiscard]] const std::pair<RegistryKey, std::string>* ResolveKey(RegistryKey key,
                                                                      const char* call) const;
  Node* Find(const std::string& path) const;
  Node* Find(const std::vector<std::string>& names) const;
  // The entry at `path` as a lookup of Windows finds it; null, with the error
  // Windows answers, when there is none: ERROR_FILENAME_EXCED_RANGE for a
  // path longer than the ANSI calls take, ERROR_INVALID_NAME for a wildcard
  // in it, ERROR_PATH_NOT_FOUND when the folder of its last name is missing
  // (or a file), ERROR_FILE_NOT_FOUND when only the last name is.
  Node* LookUp(const std::string& path, long& error) const;
  // The entry at `path` with its names as added, made when `create` (with
  // the folders on the way); null when it is not there and not made.
  Node* Make(const std::string& path, bool folder, bool create = true);
  // The entry a helper named `helper` is given; null, after a misuse report,
  // when there is none (`asAdded`: names as added, not read as a path).
  Node* Existing(const std::string& path, const char* helper, bool asAdded) const;
  // The version resource of the file at `fileName`; null when there is none.
  const std::string* VersionResource(const std::string& fileName) const;
  NativeHandle Fail(long error);
  // The code page CompareStringA and LCMapStringA read bytes in under `flags`.
  [[nodiscard]] unsigned ReadingCodePage(std::uint32_t flags) const;
  void Succeeded() { lastError_ = kLeftBySuccess; }
  // The environment variable `name` (names compare case-blind); null when unset.
  [[nodiscard]] const std::string* Variable(const std::string& name) const;
  // Checks and opens as CreateFileA does, for the program or for another
  // program (`foreign`).
  NativeHandle OpenFile(const std::string& fileName, std::uint32_t desiredAccess,
                        std::uint32_t shareMode, std::uint32_t creationDisposition,
                        std::uint32_t flagsAndAttributes, bool foreign);
  NativeHandle AddHandle(std::unique_ptr<Open> open);
  // The open behind a handle `call` was given, when it is one of `kind`;
  // null, after a misuse report, otherwise.
  Open* Use(NativeHandle handle, Kind kind, const char* call);
  // Closes a handle of `kind` for `call` (CloseHandle, FindClose).
  void Close(NativeHandle handle, Kind kind, const char* call);

  std::vector<std::unique_ptr<Node>> nodes_;
  std::map<std::string, Node*> drives_;
  std::map<NativeHandle, std::unique_ptr<Open>> handles_;
  std::map<NativeHandle, Kind> closed_;  // closed handles and their kinds
  NativeHandle nextHandle_ = 0x100;
  std::uint32_t lastError_ = 0;
  std::vector<std::pair<unsigned char, unsigned char>> leadBytes_;
  // Registry: values by root, key path and value name (paths and names folded).
  std::map<std::pair<RegistryKey, std::string>, std::map<std::string, RegistryValue>> registry_;
  std::map<RegistryKey, std::pair<RegistryKey, std::string>> keys_;
  std::vector<RegistryKey> closedKeys_;
  std::pair<RegistryKey, std::string> roots_[2] = {{kHkeyCurrentUser, ""}, {kHkeyLocalMachine, ""}};
  RegistryKey nextKey_ = 0x1000;
  std::vector<RegistryKey> deniedRoots_;
  std::vector<std::uint32_t> apartments_;  // COM initialisations not yet released
  Platform* previous_ = nullptr;
};

}  // namespace reelstart
