#include "support/PlatformContract.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "support/FailingPlatform.h"
#include "support/Win32Constants.h"

namespace reelstart::contract {

namespace {

using namespace win;

constexpr std::uint32_t kShareAll = kFileShareRead | kFileShareWrite | kFileShareDelete;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

long LastError(Context& c) { return static_cast<long>(c.P.GetLastError()); }

// Makes or replaces `path` holding `text`, through the seam.
void Write(Context& c, const std::string& path, const std::string& text = "0123456789",
           std::uint32_t attributes = kFileAttributeNormal) {
  const NativeHandle file = c.P.CreateFileA(path, kGenericWrite, 0, kCreateAlways, attributes);
  c.True("made " + path, file != kInvalidHandleValue);
  if (file == kInvalidHandleValue) return;
  std::uint32_t written = 0;
  const auto size = static_cast<std::uint32_t>(text.size());
  c.True("wrote " + path, c.P.WriteFile(file, text.data(), size, written) && written == size);
  c.P.CloseHandle(file);
}

// What an open answers: ERROR_SUCCESS when it opens (the handle is closed
// again), else the last error.
long OpenError(Context& c, const std::string& path, std::uint32_t access, std::uint32_t share,
               std::uint32_t disposition = kOpenExisting,
               std::uint32_t flags = kFileAttributeNormal) {
  const NativeHandle file = c.P.CreateFileA(path, access, share, disposition, flags);
  if (file == kInvalidHandleValue) return LastError(c);
  c.P.CloseHandle(file);
  return kErrorSuccess;
}

// GetFileAttributesA's answer, or the last error when there is none.
long AttributesError(Context& c, const std::string& path) {
  return c.P.GetFileAttributesA(path) == kInvalidFileAttributes ? LastError(c) : kErrorSuccess;
}

std::optional<FileIdentity> Identity(Context& c, const std::string& path) {
  const NativeHandle entry =
      c.P.CreateFileA(path, 0, kShareAll, kOpenExisting, kFileFlagBackupSemantics);
  c.True("opened " + path, entry != kInvalidHandleValue);
  if (entry == kInvalidHandleValue) return std::nullopt;
  FileIdentity identity;
  const bool known = c.P.GetFileInformationByHandle(entry, identity);
  c.P.CloseHandle(entry);
  c.True("identity of " + path, known);
  return known ? std::optional(identity) : std::nullopt;
}

// The names a listing of `mask` gives, sorted (the file system's order is
// its own), separated by '|'; "error N" when it gives none.
std::string Listing(Context& c, const std::string& mask, std::vector<FindData>* entries = nullptr) {
  FindData data;
  const NativeHandle find = c.P.FindFirstFileA(mask, data);
  if (find == kInvalidHandleValue) return "error " + std::to_string(LastError(c));
  std::vector<std::string> names;
  do {
    names.push_back(data.FileName);
    if (entries != nullptr) entries->push_back(data);
  } while (c.P.FindNextFileA(find, data));
  c.Eq("end of the listing of " + mask, LastError(c), kErrorNoMoreFiles);
  c.P.FindClose(find);
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : "|") + name;
  return text;
}

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

// A handle opened for reading writes nothing, even on a file just made.
void WritesNeedWriteAccess(Context& c) {
  const std::string path = c.Dir + "a.asx";
  const NativeHandle file =
      c.P.CreateFileA(path, kGenericRead, 0, kCreateAlways, kFileAttributeNormal);
  c.True("made", file != kInvalidHandleValue);
  if (file == kInvalidHandleValue) return;
  std::uint32_t written = 7;
  c.True("write refused", !c.P.WriteFile(file, "abc", 3, written));
  c.Eq("its error", LastError(c), kErrorAccessDenied);
  c.Eq("bytes written", written, 0u);
  std::uint32_t high = 0;
  c.Eq("size", c.P.GetFileSize(file, high), 0u);
  c.P.CloseHandle(file);
}

// A disc's file system refuses every write with ERROR_ACCESS_DENIED. (Under
// Wine the volume is a cdrom drive whose Unix folder and file have no write
// bits, which Wine answers the same way; a write-protected disk of a
// writable file system would answer ERROR_WRITE_PROTECT instead.)
void ReadOnlyVolume(Context& c) {
  const std::string disc = c.F.ReadOnlyFolder();
  c.Eq("reader", OpenError(c, disc + "film.avi", kGenericRead, kFileShareRead), kErrorSuccess);
  c.Eq("writer", OpenError(c, disc + "film.avi", kGenericWrite, kShareAll), kErrorAccessDenied);
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

// One entry, one identity, whichever path reached it; another volume, another serial.
void Identities(Context& c) {
  Write(c, c.Dir + "a.avi");
  Write(c, c.Dir + "b.avi");
  c.F.MakeFolder(c.Dir + "Sub");
  const auto a = Identity(c, c.Dir + "a.avi"), a2 = Identity(c, c.Dir + "A.AVI. ");
  const auto b = Identity(c, c.Dir + "b.avi");
  const auto sub = Identity(c, c.Dir + "Sub"), sub2 = Identity(c, c.Dir + "Sub\\");
  const auto disc = Identity(c, c.F.ReadOnlyFolder() + "film.avi");
  if (!a || !a2 || !b || !sub || !sub2 || !disc) return;
  c.True("a file by two paths", *a == *a2);
  c.True("a folder by two paths", *sub == *sub2);
  c.True("two files", a->FileIndex != b->FileIndex);
  c.Eq("two files on one volume", a->VolumeSerialNumber, b->VolumeSerialNumber);
  c.True("two volumes", a->VolumeSerialNumber != disc->VolumeSerialNumber);
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

// '?' in a mask stands for one character, as '*' for any run of them.
void ListingsWithWildcards(Context& c) {
  Write(c, c.Dir + "film.avi");
  Write(c, c.Dir + "film.mpg");
  c.Eq("fil?.avi", Listing(c, c.Dir + "fil?.avi"), std::string("film.avi"));
  c.Eq("?ilm.*", Listing(c, c.Dir + "?ilm.*"), std::string("film.avi|film.mpg"));
  c.Eq("*.mpg", Listing(c, c.Dir + "*.mpg"), std::string("film.mpg"));
  c.Eq("x?.avi", Listing(c, c.Dir + "x?.avi"), std::string("error 2"));
}

// A path's last name loses its trailing dots and spaces; a folder's name
// with more after it one trailing dot.
void TrailingDotsAndSpaces(Context& c) {
  Write(c, c.Dir + "film.avi");
  c.F.MakeFolder(c.Dir + "Sub");
  Write(c, c.Dir + "Sub\\in.avi");
  const struct {
    const char* path;
    long expected;
  } rows[] = {
      {"film.avi.", kErrorSuccess},         {"film.avi ", kErrorSuccess},
      {"film.avi. . ", kErrorSuccess},      {"Sub.\\in.avi", kErrorSuccess},
      {"Sub\\in.avi...", kErrorSuccess},    {"Sub..\\in.avi", kErrorPathNotFound},
      {"Sub \\in.avi", kErrorPathNotFound}, {"film.av", kErrorFileNotFound},
  };
  for (const auto& row : rows) {
    c.Eq(std::string("attributes of ") + row.path, AttributesError(c, c.Dir + row.path),
         row.expected);
    c.Eq(std::string("open of ") + row.path,
         OpenError(c, c.Dir + row.path, kGenericRead, kFileShareRead), row.expected);
  }
}

// A long name has an 8.3 name that opens the same file; an 8.3 name has none.
void ShortNames(Context& c) {
  const std::string path = c.Dir + "A long film name.avi";
  Write(c, path);
  c.F.GiveShortName(path, "ALONGF~1.AVI");
  Write(c, c.Dir + "film.avi");
  std::vector<FindData> entries;
  Listing(c, c.Dir + "*.*", &entries);
  for (const FindData& entry : entries) {
    if (entry.FileName == "film.avi" || entry.FileName == "." || entry.FileName == "..") {
      c.Eq("8.3 name of " + entry.FileName, entry.AlternateFileName, std::string());
      continue;
    }
    c.Eq("long name", entry.FileName, std::string("A long film name.avi"));
    const std::string& shortName = entry.AlternateFileName;
    c.True("8.3 name " + shortName, !shortName.empty() && shortName.size() <= 12 &&
                                        shortName.find(' ') == std::string::npos);
    const auto byLong = Identity(c, path), byShort = Identity(c, c.Dir + shortName);
    c.True("the 8.3 name opens the file", byLong && byShort && *byLong == *byShort);
  }
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

void MissingPathsAndInvalidNames(Context& c) {
  Write(c, c.Dir + "film.avi");
  const struct {
    const char* path;
    long expected;
  } rows[] = {
      {"none.avi", kErrorFileNotFound},    {"Missing\\none.avi", kErrorPathNotFound},
      {"fil?.avi", kErrorInvalidName},     {"fil*.avi", kErrorInvalidName},
      {"film.avi\\x", kErrorPathNotFound},
  };
  for (const auto& row : rows) {
    c.Eq(std::string("open of ") + row.path,
         OpenError(c, c.Dir + row.path, kGenericRead, kFileShareRead), row.expected);
    c.Eq(std::string("attributes of ") + row.path, AttributesError(c, c.Dir + row.path),
         row.expected);
  }
  c.Eq("made in no such folder",
       OpenError(c, c.Dir + "Missing\\new.asx", kGenericWrite, 0, kCreateAlways),
       kErrorPathNotFound);
  c.Eq("made with '?'", OpenError(c, c.Dir + "new?.asx", kGenericWrite, 0, kCreateAlways),
       kErrorInvalidName);
}

// The ANSI calls take paths of MAX_PATH - 1 characters at most. (Wine takes
// one more, so no path here is exactly MAX_PATH long.)
void PathLimit(Context& c) {
  const auto path = [&](std::size_t length) {
    return c.Dir + std::string(length - c.Dir.size(), 'x');
  };
  Write(c, path(259));
  c.Eq("259 characters", OpenError(c, path(259), kGenericRead, kFileShareRead), kErrorSuccess);
  c.Eq("261 characters", OpenError(c, path(261), kGenericRead, kFileShareRead),
       kErrorFilenameExcedRange);
  c.Eq("attributes of 261", AttributesError(c, path(261)), kErrorFilenameExcedRange);
  c.Eq("made with 261", OpenError(c, path(261), kGenericWrite, 0, kCreateAlways),
       kErrorFilenameExcedRange);
  c.Eq("listing of 261", Listing(c, path(261)),
       "error " + std::to_string(kErrorFilenameExcedRange));
}

void RegistryValues(Context& c) {
  RegistryKey key = 0;
  c.Eq("key made",
       c.P.RegCreateKeyExA(kHkeyCurrentUser, kRegistryKey, kRegOptionNonVolatile, kKeyAllAccess,
                           key),
       kErrorSuccess);
  const std::uint32_t dword = 42;
  const char text[] = "\xD4\xE8\xEB\xFC\xEC";  // "Фильм": 5 bytes and the zero
  c.Eq("DWORD set", c.P.RegSetValueExA(key, "Count", kRegDword, &dword, 4), kErrorSuccess);
  c.Eq("text set", c.P.RegSetValueExA(key, "Name", kRegSz, text, sizeof text), kErrorSuccess);
  c.Eq("empty set", c.P.RegSetValueExA(key, "Empty", kRegBinary, "", 0), kErrorSuccess);
  const struct {
    const char* name;
    std::uint32_t type, size;
  } values[] = {{"count", kRegDword, 4}, {"NAME", kRegSz, sizeof text}, {"Empty", kRegBinary, 0}};
  for (const auto& value : values) {
    std::uint32_t type = 0, size = 0;
    c.Eq(std::string("measure ") + value.name,
         c.P.RegQueryValueExA(key, value.name, type, nullptr, size), kErrorSuccess);
    c.Eq(std::string("type of ") + value.name, type, value.type);
    c.Eq(std::string("size of ") + value.name, size, value.size);
  }
  char buffer[16] = {};
  std::uint32_t type = 0, size = sizeof buffer;
  c.Eq("read", c.P.RegQueryValueExA(key, "Name", type, buffer, size), kErrorSuccess);
  c.Eq("size read", size, static_cast<std::uint32_t>(sizeof text));
  c.True("bytes read", std::memcmp(buffer, text, sizeof text) == 0);
  size = 2;
  c.Eq("too small", c.P.RegQueryValueExA(key, "Name", type, buffer, size), kErrorMoreData);
  c.Eq("size needed", size, static_cast<std::uint32_t>(sizeof text));
  size = sizeof buffer;
  c.Eq("no such value", c.P.RegQueryValueExA(key, "None", type, buffer, size), kErrorFileNotFound);
  c.Eq("closed", c.P.RegCloseKey(key), kErrorSuccess);
  // Key 0, what a failed RegCreateKeyExA hands out, is no key.
  c.Eq("set through no key", c.P.RegSetValueExA(0, "Count", kRegDword, &dword, 4),
       kErrorInvalidHandle);
  c.Eq("read through no key", c.P.RegQueryValueExA(0, "Count", type, buffer, size),
       kErrorInvalidHandle);
}

void VersionBlocks(Context& c) {
  const std::string file = c.F.VersionedFile();
  const std::uint32_t size = c.P.GetFileVersionInfoSizeA(file);
  std::string block(size, '\0');
  c.True("loaded", size > 0 && c.P.GetFileVersionInfoA(file, block));
  const std::size_t resource = block.size() < 2 ? 0
                                                : static_cast<unsigned char>(block[0]) |
                                                      static_cast<unsigned char>(block[1]) << 8;
  // Twice the resource and 4 bytes: the resource, a signature, then room
  // for the texts in the ANSI code page.
  c.Eq("size for a resource of " + std::to_string(resource), size, 2 * resource + 4);
  if (resource + 4 <= block.size())
    c.Eq("signature", block.substr(resource, 4), std::string("FE2X"));
  const auto inResource = [&](const void* value) {
    return static_cast<const char*>(value) >= block.data() &&
           static_cast<const char*>(value) < block.data() + resource;
  };
  const void* value = nullptr;
  std::uint32_t length = 0;
  c.True("\\", c.P.VerQueryValueA(block, "\\", value, length));
  c.Eq("length of \\", length, 52u);
  c.True("\\ in place", inResource(value));
  if (length == 52) {
    std::uint32_t fixed[4];
    std::memcpy(fixed, value, sizeof fixed);
    c.Eq("signature", fixed[0], kFixedFileInfoSignature);
    c.Eq("file version, high", fixed[2], kVersionMs);
    c.Eq("file version, low", fixed[3], kVersionLs);
  }
  c.True("translation", c.P.VerQueryValueA(block, "\\VarFileInfo\\Translation", value, length));
  c.Eq("length of the translation", length, 4u);
  if (length == 4) {
    std::uint16_t translation[2];
    std::memcpy(translation, value, sizeof translation);
    c.Eq("language", translation[0], 0x0419u);
    c.Eq("code page", translation[1], 1251u);
  }
  c.True("text",
         c.P.VerQueryValueA(block, "\\StringFileInfo\\041904E3\\ProductName", value, length));
  c.Eq("length of the text", length, sizeof kProductName);
  c.True("the text past the resource",
         static_cast<const char*>(value) >= block.data() + resource + 4 &&
             static_cast<const char*>(value) < block.data() + block.size());
  if (value != nullptr)
    c.Eq("the text", std::string(static_cast<const char*>(value)), std::string(kProductName));
  c.True("no such text",
         !c.P.VerQueryValueA(block, "\\StringFileInfo\\041904E3\\Comments", value, length));
  c.True("no such table",
         !c.P.VerQueryValueA(block, "\\StringFileInfo\\040904B0\\ProductName", value, length));
  Write(c, c.Dir + "film.avi");
  c.Eq("a file without a resource", c.P.GetFileVersionInfoSizeA(c.Dir + "film.avi"), 0u);
  c.Eq("no such file", c.P.GetFileVersionInfoSizeA(c.Dir + "none.exe"), 0u);
  c.Eq("its error", LastError(c), kErrorFileNotFound);
}

// FailingPlatform fails the nth real call, and only that one.
void FailedCalls(Context& c) {
  const std::string path = c.Dir + "film.avi";
  Write(c, path);
  FailingPlatform faults(c.P);
  using Call = FailingPlatform::Call;
  faults.FailCall(Call::CreateFileA, 2, kErrorNotReady);
  const auto open = [&] {
    return faults.CreateFileA(path, kGenericRead, kFileShareRead, kOpenExisting,
                              kFileAttributeNormal);
  };
  const NativeHandle first = open(), second = open();
  c.Eq("the planned error", static_cast<long>(faults.GetLastError()), kErrorNotReady);
  const NativeHandle third = open();
  c.True("the first open", first != kInvalidHandleValue);
  c.True("the second open fails", second == kInvalidHandleValue);
  c.True("the third open", third != kInvalidHandleValue);
  c.Eq("opens made", faults.CallCount(Call::CreateFileA), 3u);
  if (first == kInvalidHandleValue) return;
  faults.FailCall(Call::GetFileSize, 1, kErrorNotReady);
  std::uint32_t high = 0x55;
  c.Eq("a failed size", faults.GetFileSize(first, high), kInvalidFileSize);
  c.Eq("its high part untouched", high, 0x55u);
  c.Eq("its error", static_cast<long>(faults.GetLastError()), kErrorNotReady);
  c.Eq("the size", faults.GetFileSize(first, high), 10u);
  c.Eq("its high part", high, 0u);
  faults.CloseHandle(first);
  if (third != kInvalidHandleValue) faults.CloseHandle(third);
}

}  // namespace

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"ShareModesBothWays", ShareModesBothWays},
      {"ReadOnlyFiles", ReadOnlyFiles},
      {"WritesNeedWriteAccess", WritesNeedWriteAccess},
      {"ReadOnlyVolume", ReadOnlyVolume},
      {"FolderHandles", FolderHandles},
      {"Identities", Identities},
      {"ListingsOfAll", ListingsOfAll},
      {"ListingsOfNames", ListingsOfNames},
      {"ListingsWithWildcards", ListingsWithWildcards},
      {"TrailingDotsAndSpaces", TrailingDotsAndSpaces},
      {"ShortNames", ShortNames},
      {"FileSizes", FileSizes},
      {"MissingPathsAndInvalidNames", MissingPathsAndInvalidNames},
      {"PathLimit", PathLimit},
      {"RegistryValues", RegistryValues},
      {"VersionBlocks", VersionBlocks},
      {"FailedCalls", FailedCalls},
  };
  return cases;
}

}  // namespace reelstart::contract
