// The stand-in's file system: volumes named by drive letter, each a folder
// tree with entry order, attributes, sizes and 8.3 names; opens checked as
// Windows checks them (access against read-only files and volumes, share
// modes against other openers); listings; identities. What it believes of
// Windows, and the contract cases that hold it, are in FileSystem_mem.cpp
// (its trees), FileHandles_mem.cpp (its opens and listings) and Paths_mem.cpp
// (how it reads a path). A part of MemoryPlatform (support/Platform_mem.h),
// through which the tests reach it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "support/LastError_mem.h"
#include "support/Paths_mem.h"

namespace reelstart {

class MemoryFileSystem {
 public:
  explicit MemoryFileSystem(standin::LastError& lastError) : lastError_(lastError) {}
  MemoryFileSystem(const MemoryFileSystem&) = delete;
  MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

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

  // --- States of a system (failing calls: FailingPlatform over the platform).
  // WriteFile writes at most this many bytes per call and says it succeeded.
  std::uint32_t WriteLimit = 0xFFFFFFFFu;
  // GetFileInformationByHandle answers file index 0 for everything, as some
  // network redirectors do.
  bool NoFileIndex = false;
  // How a name of dots alone reads on a path (support/Paths_mem.h).
  using DotsReading = standin::DotsReading;
  DotsReading DotsNames = DotsReading::Wine;
  // What relative paths are read against (GetFullPathNameA).
  std::string CurrentDirectory = "C:\\";

  // --- What the program asked for.
  std::vector<std::string> Listings;  // masks given to FindFirstFileA
  std::vector<std::string> Opens;     // paths given to CreateFileA

  // --- For the other models: what a lookup of `path` finds.
  // The error it answers; ERROR_SUCCESS when there is an entry.
  [[nodiscard]] long LookUpError(const std::string& path) const;
  [[nodiscard]] bool IsFile(const std::string& path) const;
  // Whether two paths reach one file.
  [[nodiscard]] bool SameFile(const std::string& a, const std::string& b) const;

  // --- The calls, as Platform describes them.
  NativeHandle FindFirstFileA(const std::string& mask, FindData& data);
  bool FindNextFileA(NativeHandle find, FindData& data);
  void FindClose(NativeHandle find);
  NativeHandle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                           std::uint32_t shareMode, std::uint32_t creationDisposition,
                           std::uint32_t flagsAndAttributes);
  std::uint32_t GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh);
  bool GetFileInformationByHandle(NativeHandle file, FileIdentity& identity);
  bool WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                 std::uint32_t& bytesWritten);
  void CloseHandle(NativeHandle handle);
  std::uint32_t GetFileAttributesA(const std::string& fileName);
  std::string GetFullPathNameA(const std::string& fileName);

 private:
  struct Node;
  // A drive's volume: its own serial number, and its own numbering of the
  // entries it holds.
  struct Volume {
    Node* Root = nullptr;
    std::uint32_t Serial = 0;
    bool ReadOnly = false;  // a disc
    std::uint64_t NextIndex = 0;  // the file index of the next entry made
  };
  struct Node {
    std::string Name;
    std::string ShortName;
    std::string ListedName;  // what a listing shows, when not Name
    std::uint32_t Attributes = 0;
    std::int64_t Size = 0;
    std::string Content;
    bool ListingDenied = false;
    bool CreateDenied = false;
    Volume* OnVolume = nullptr;
    std::uint64_t Index = 0;  // the file index of its identity
    std::vector<Node*> Children;
    Node* LinkTarget = nullptr;  // a folder link's entry leads here

    Node* Resolved() { return LinkTarget != nullptr ? LinkTarget : this; }
    [[nodiscard]] bool IsFolder() const {
      return (Attributes & win::kFileAttributeDirectory) != 0;
    }
  };
  enum class Kind { File, Find };
  // What a handle stands for: an open file or folder, or a listing.
  struct Open {
    Kind Type = Kind::File;
    bool Foreign = false;    // held by another program (HoldOpen)
    Node* Target = nullptr;  // file or folder handle
    std::uint32_t Access = 0;
    std::uint32_t Share = 0;
    std::vector<FindData> Entries;  // find listing
    std::size_t Next = 0;
  };

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
  // A new entry on `volume`, numbered as the volume numbers its entries.
  Node* NewNode(Volume& volume);
  // The entry a helper named `helper` is given; null, after a misuse report,
  // when there is none (`asAdded`: names as added, not read as a path).
  Node* Existing(const std::string& path, const char* helper, bool asAdded) const;
  NativeHandle Fail(long error);
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

  standin::LastError& lastError_;
  std::vector<std::unique_ptr<Node>> nodes_;
  std::map<std::string, Volume> volumes_;  // by DriveKey
  std::map<NativeHandle, std::unique_ptr<Open>> handles_;
  std::map<NativeHandle, Kind> closed_;  // closed handles and their kinds
  NativeHandle nextHandle_ = 0x100;
};

}  // namespace reelstart
