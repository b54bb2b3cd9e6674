// The platform contract's cases for how the stand-in's file system opens and
// lists its entries (FileHandles_mem.cpp), held to Windows under Wine.
#include "support/ContractCases.h"

#include <cstdint>
#include <string>
#include <vector>

namespace reelstart::contract {

using namespace win;

void ShareModesBothWays(Context& c) {
  constexpr std::uint32_t kRead = kGenericRead, kWrite = kGenericWrite;
  constexpr std::uint32_t kShareRead = kFileShareRead, kShareWrite = kFileShareWrite;
  const struct {
    const char* name;
    std::uint32_t heldAccess, heldShare;  // the open already there
    std::uint32_t access, share, disposition;
    long expected;
  } rows[] = {
      {"reader beside a reader", kRead, kShareRead, kRead, kShareRead, kOpenExisting,
       kErrorSuccess},
      // The new open's share mode must allow the open already there ...
      {"reader sharing nothing beside a reader", kRead, kShareRead, kRead, 0, kOpenExisting,
       kErrorSharingViolation},
      {"reader sharing reading beside a writer", kWrite, kShareRead, kRead, kShareRead,
       kOpenExisting, kErrorSharingViolation},
      {"reader sharing writing beside a writer", kWrite, kShareRead, kRead,
       kShareRead | kShareWrite, kOpenExisting, kErrorSuccess},
      // ... and the open already there must allow the new one.
      {"reader beside a reader sharing nothing", kRead, 0, kRead, kShareAll, kOpenExisting,
       kErrorSharingViolation},
      {"writer beside a reader sharing reading", kRead, kShareRead, kWrite, kShareAll,
       kOpenExisting, kErrorSharingViolation},
      // An open without data access is checked against no share mode.
      {"attributes only beside a reader sharing nothing", kRead, 0, 0, 0, kOpenExisting,
       kErrorSuccess},
      {"creator beside a reader", kRead, kShareAll, kRead | kWrite, 0, kCreateAlways,
       kErrorSharingViolation},
  };
  const std::string path = c.Dir + "film.avi";
  Write(c, path);
  for (const auto& row : rows) {
    const NativeHandle held =
        c.P.CreateFileA(path, row.heldAccess, row.heldShare, kOpenExisting, kFileAttributeNormal);
    c.True(std::string(row.name) + ": the first open", held != kInvalidHandleValue);
    c.Eq(row.name, OpenError(c, path, row.access, row.share, row.disposition), row.expected);
    if (held != kInvalidHandleValue) c.P.CloseHandle(held);
  }
}

void ReadOnlyFiles(Context& c) {
  const std::string plain = c.Dir + "plain.avi", readOnly = c.Dir + "read-only.avi";
  Write(c, plain);
  Write(c, readOnly, "0123456789", kFileAttributeReadOnly);
  // A file made gets the archive attribute; FILE_ATTRIBUTE_NORMAL is never read back.
  c.Eq("attributes of a file made", c.P.GetFileAttributesA(plain), kFileAttributeArchive);
  c.Eq("attributes of a read-only file made", c.P.GetFileAttributesA(readOnly),
       kFileAttributeArchive | kFileAttributeReadOnly);
  c.Eq("reader", OpenError(c, readOnly, kGenericRead, kFileShareRead), kErrorSuccess);
  c.Eq("writer", OpenError(c, readOnly, kGenericWrite, kShareAll), kErrorAccessDenied);
  c.Eq("reader and writer", OpenError(c, readOnly, kGenericRead | kGenericWrite, 0),
       kErrorAccessDenied);
  c.Eq("creator over it", OpenError(c, readOnly, kGenericWrite, 0, kCreateAlways),
       kErrorAccessDenied);
}

// A handle opened for reading writes nothing, even on a file just made. A
// file made anew clears the last error; made over one already there, the
// call says so with ERROR_ALREADY_EXISTS.
void WritesNeedWriteAccess(Context& c) {
  const std::string path = c.Dir + "a.asx";
  c.P.GetFileAttributesA(c.Dir + "none");  // leaves ERROR_FILE_NOT_FOUND
  const NativeHandle file =
      c.P.CreateFileA(path, kGenericRead, 0, kCreateAlways, kFileAttributeNormal);
  c.Eq("made anew: the last error", LastError(c), kErrorSuccess);
  c.True("made", file != kInvalidHandleValue);
  if (file == kInvalidHandleValue) return;
  std::uint32_t written = 7;
  c.True("write refused", !c.P.WriteFile(file, "abc", 3, written));
  c.Eq("its error", LastError(c), kErrorAccessDenied);
  c.Eq("bytes written", written, 0u);
  std::uint32_t high = 0;
  c.Eq("size", c.P.GetFileSize(file, high), 0u);
  c.P.CloseHandle(file);
  const NativeHandle again =
      c.P.CreateFileA(path, kGenericWrite, 0, kCreateAlways, kFileAttributeNormal);
  c.Eq("made over it: the last error", LastError(c), kErrorAlreadyExists);
  if (again != kInvalidHandleValue) c.P.CloseHandle(again);
}

// A disc's file system refuses every write with ERROR_ACCESS_DENIED. (Under
// Wine the volume is a cdrom drive whose Unix folder and file have no write
// bits, which Wine answers the same way; a write-protected disk of a
// writable file system would answer ERROR_WRITE_PROTECT instead.)
void ReadOnlyVolume(Context& c) {
  const std::string disc = c.F.ReadOnlyFolder();
  c.Eq("reader", OpenError(c, disc + "film.avi", kGenericRead, kFileShareRead), kErrorSuccess);
  c.Eq("writer", OpenError(c, disc + "film.avi", kGenericWrite, kShareAll), kErrorAccessDenied);
  // The volume refuses what the file's attributes would allow.
  c.Eq("attributes of a writable file", c.P.GetFileAttributesA(disc + "writable.avi") &
       kFileAttributeReadOnly, 0u);
  c.Eq("writer of a writable file",
       OpenError(c, disc + "writable.avi", kGenericWrite, kShareAll), kErrorAccessDenied);
  c.Eq("creator over a file", OpenError(c, disc + "film.avi", kGenericWrite, 0, kCreateAlways),
       kErrorAccessDenied);
  c.Eq("creator of a new file", OpenError(c, disc + "new.asx", kGenericWrite, 0, kCreateAlways),
       kErrorAccessDenied);
}

// A folder opens only with FILE_FLAG_BACKUP_SEMANTICS; its handle is a file
// handle for the calls that tell what it is.
void FolderHandles(Context& c) {
  const std::string folder = c.Dir + "Sub";
  c.F.MakeFolder(folder);
  c.Eq("attributes", c.P.GetFileAttributesA(folder) & kFileAttributeDirectory,
       kFileAttributeDirectory);
  c.Eq("without backup semantics", OpenError(c, folder, kGenericRead, kShareAll),
       kErrorAccessDenied);
  c.Eq("with backup semantics",
       OpenError(c, folder, 0, kShareAll, kOpenExisting, kFileFlagBackupSemantics), kErrorSuccess);
  c.True("identity", Identity(c, folder).has_value());
}

void ListingsOfAll(Context& c) {
  Write(c, c.Dir + "film.avi");
  c.F.MakeFolder(c.Dir + "Sub");
  std::vector<FindData> entries;
  c.Eq("*.*", Listing(c, c.Dir + "*.*", &entries), std::string(".|..|Sub|film.avi"));
  c.Eq("*", Listing(c, c.Dir + "*"), std::string(".|..|Sub|film.avi"));
  for (const FindData& entry : entries) {
    c.Eq(entry.FileName + " is a folder", (entry.FileAttributes & kFileAttributeDirectory) != 0,
         entry.FileName != "film.avi");
  }
  c.F.MakeFolder(c.Dir + "Empty");
  c.Eq("an empty folder", Listing(c, c.Dir + "Empty\\*.*"), std::string(".|.."));
}

void ListingsOfNames(Context& c) {
  Write(c, c.Dir + "film.avi");
  c.Eq("the name", Listing(c, c.Dir + "film.avi"), std::string("film.avi"));
  c.Eq("in other case: as it is stored", Listing(c, c.Dir + "FILM.AVI"), std::string("film.avi"));
  c.Eq("with a trailing dot", Listing(c, c.Dir + "film.avi."), std::string("film.avi"));
  c.Eq("no such name", Listing(c, c.Dir + "none.avi"), std::string("error 2"));
  c.Eq("no such folder", Listing(c, c.Dir + "Missing\\film.avi"), std::string("error 3"));
  c.Eq("all of no such folder", Listing(c, c.Dir + "Missing\\*.*"), std::string("error 3"));
}

// INVALID_FILE_SIZE is also the low half of a real size: a successful call
// then clears the last error.
void FileSizes(Context& c) {
  const struct {
    const char* name;
    std::uint64_t size;
  } rows[] = {{"empty", 0}, {"4 GiB - 1", 0xFFFFFFFFu}, {"4 GiB + 5", 0x100000005u}};
  for (const auto& row : rows) {
    const std::string path = c.Dir + row.name;
    c.F.MakeFile(path, row.size);
    const NativeHandle file =
        c.P.CreateFileA(path, kGenericRead, kFileShareRead, kOpenExisting, kFileAttributeNormal);
    c.True(std::string("opened ") + row.name, file != kInvalidHandleValue);
    if (file == kInvalidHandleValue) continue;
    c.P.GetFileAttributesA(c.Dir + "none");  // leaves ERROR_FILE_NOT_FOUND
    std::uint32_t high = 0x55;
    c.Eq(std::string("low part of ") + row.name, c.P.GetFileSize(file, high),
         static_cast<std::uint32_t>(row.size));
    c.Eq(std::string("high part of ") + row.name, high, static_cast<std::uint32_t>(row.size >> 32));
    if (row.size == kInvalidFileSize) c.Eq("last error", LastError(c), kErrorSuccess);
    c.P.CloseHandle(file);
  }
}

}  // namespace reelstart::contract
