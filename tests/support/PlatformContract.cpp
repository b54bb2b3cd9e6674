#include "support/PlatformContract.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <tuple>

#include "common/CommandLine.h"
#include "common/Paths.h"
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

int Sign(int order) { return order < 0 ? -1 : order > 0 ? 1 : 0; }

// Names compared as the order by name compares them: CompareStringA with
// NORM_IGNORECASE, and the sort keys LCMapStringA makes with the same flag,
// compared byte by byte, in the same order; CharUpperBuffA as names are
// folded. Windows-1251 texts.
void LocaleText(Context& c) {
  const struct {
    const char* a;
    const char* b;
    int order;  // of a against b: -1, 0, 1
  } rows[] = {
      {"film", "FILM", 0},                       // case counts for nothing
      {"\xB8\xEB\xEA\xE0", "\xA8\xCB\xCA\xC0", 0},  // ёлка, ЁЛКА
      {"film2", "film10", 1},                    // digits are no numbers
      {"film", "films", -1},                     // a text before those it begins
      {"zebra", "\xE0\xE8\xF1\xF2", -1},         // Latin before Cyrillic: аист
      {"9 films", "a film", -1},                 // digits before letters
      {"_x", "1x", -1},                          // symbols before digits
      {"a b", "ab", -1},                         // a space is a symbol
      {"\xB8\xEB\xEA\xE0", "\xE5\xE6\xE8\xEA", 1},  // ёлка after ежик: ё is е first
      {"\xE5\xEB\xEA\xE0", "\xB8\xEB\xEA\xE0", -1},  // елка before ёлка: then after it
      {"\xFF\xE1\xEB\xEE\xEA\xEE", "\xD9\xF3\xEA\xE0", 1},  // яблоко after Щука
      {"co-op", "coo", 1},                       // a hyphen weighs nothing first
      {"co-op", "coop", 1},                      // and then more than nothing
      {"it's", "its", 1},                        // as an apostrophe does
      {"a\xADsc", "asc", 0},                     // a soft hyphen weighs nothing at all
  };
  for (const auto& row : rows) {
    const std::string what = std::string(row.a) + " against " + row.b;
    c.Eq(what, c.P.CompareStringA(kNormIgnoreCase, row.a, row.b), kCstrEqual + row.order);
    const std::string keyA = c.P.LCMapStringA(kLcmapSortKey | kNormIgnoreCase, row.a);
    const std::string keyB = c.P.LCMapStringA(kLcmapSortKey | kNormIgnoreCase, row.b);
    c.True("sort keys of " + what, !keyA.empty() && keyA.back() == '\0' && !keyB.empty());
    c.Eq("order of the sort keys of " + what, Sign(keyA.compare(keyB)) + 1, row.order + 1);
  }
  const struct {
    const char* text;
    const char* upper;
  } upper[] = {
      {"film_2.avi", "FILM_2.AVI"},
      {"\xB8\xEB\xEA\xE0 \xF9\xF3\xEA\xE0 \xFF", "\xA8\xCB\xCA\xC0 \xD9\xD3\xCA\xC0 \xDF"},
      {"\xA2\xB3\xB4\x90\xBF", "\xA1\xB2\xA5\x80\xAF"},  // ўіґђї
      {"\xAB\xE9\xBB 1-2", "\xAB\xC9\xBB 1-2"},           // «й» 1-2
  };
  for (const auto& row : upper) {
    c.Eq(std::string("upper case of ") + row.text, c.P.CharUpperBuffA(row.text),
         std::string(row.upper));
  }
  // Windows-1251 is a code page of single bytes.
  int leadBytes = 0;
  for (int byte = 0; byte < 256; ++byte) {
    leadBytes += c.P.IsDBCSLeadByte(static_cast<unsigned char>(byte)) ? 1 : 0;
  }
  c.Eq("lead bytes", leadBytes, 0);
}

// English (United States) Formats on a system whose programs that are not
// Unicode are Russian: the names are Windows-1251 bytes, which the locale
// reads in its own code page, 1252, unless told to read them in the ANSI one.
// "Ёж" is then "¨æ", a symbol first; "Яма" is "ßìà", ß an s.
void LocaleTextUnderEnglishFormats(Context& c) {
  const struct {
    const char* a;
    const char* b;
    int asFormats, asAnsi;  // the order of a against b: -1, 0, 1
  } rows[] = {
      {"\xA8\xE6", "\xE0\xF0\xE1\xF3\xE7", -1, 1},  // Ёж, арбуз
      {"\xD9\xF3\xEA\xE0", "\xDF\xEC\xE0", 1, -1},  // Щука, Яма
  };
  for (const auto& row : rows) {
    for (const std::uint32_t codePage : {0u, kLocaleUseCpAcp}) {
      const std::string what = std::string(row.a) + " against " + row.b + (codePage ? " in the ANSI code page" : "");
      const int order = codePage ? row.asAnsi : row.asFormats;
      c.Eq(what, c.P.CompareStringA(kNormIgnoreCase | codePage, row.a, row.b), kCstrEqual + order);
      const std::string keyA = c.P.LCMapStringA(kLcmapSortKey | kNormIgnoreCase | codePage, row.a);
      const std::string keyB = c.P.LCMapStringA(kLcmapSortKey | kNormIgnoreCase | codePage, row.b);
      c.Eq("order of the sort keys of " + what, Sign(keyA.compare(keyB)) + 1, order + 1);
    }
  }
}

// The Russian locale's short date and its separator, whole: the sizes the
// call reports for its answers count their terminating zero once.
void LocaleDates(Context& c) {
  c.Eq("short date", c.P.GetLocaleInfoA(kLocaleSShortDate), std::string("dd.MM.yyyy"));
  c.Eq("date separator", c.P.GetLocaleInfoA(kLocaleSDate), std::string("."));
  c.Eq("no such item", c.P.GetLocaleInfoA(0x0FFF), std::string());
  // Two readings of the clock: each a date and time that can be, the second
  // not before the first.
  const SystemTime first = c.P.GetLocalTime(), second = c.P.GetLocalTime();
  for (const SystemTime& t : {first, second}) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = t.Year % 4 == 0 && (t.Year % 100 != 0 || t.Year % 400 == 0);
    c.True("year " + std::to_string(t.Year), t.Year >= 2000 && t.Year < 2200);
    c.True("month " + std::to_string(t.Month), t.Month >= 1 && t.Month <= 12);
    const int days = t.Month >= 1 && t.Month <= 12 ? kDays[t.Month - 1] - (t.Month == 2 && !leap) : 0;
    c.True("day " + std::to_string(t.Day), t.Day >= 1 && t.Day <= days);
    c.True("time", t.Hour < 24 && t.Minute < 60 && t.Second < 60 && t.Milliseconds < 1000);
    // The day of the week the date falls on (Sakamoto's rule; Sunday 0).
    static constexpr int kShift[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int y = t.Year - (t.Month < 3 ? 1 : 0);
    const int weekday =
        (y + y / 4 - y / 100 + y / 400 + kShift[(t.Month + 11) % 12] + t.Day) % 7;
    c.Eq("day of the week", t.DayOfWeek, weekday);
  }
  const auto stamp = [](const SystemTime& t) {
    return std::tuple(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds);
  };
  c.True("the clock runs forward", stamp(first) <= stamp(second));
}

// What the process is told about itself: the program's path, whole and in
// 8.3 form, its command line, the address of its image.
void ProcessFacts(Context& c) {
  const TLeadBytes none{};
  const std::string module = c.P.GetModuleFileNameA();
  c.True("module path " + module, module.size() > 3 && module.substr(1, 2) == ":\\");
  c.Eq("module name", ExtractFileName(module, none), std::string(kProgramName));
  c.Eq("module folder", ExtractFileName(ExcludeTrailingBackslash(ExtractFilePath(module, none),
                                                                 none), none),
       std::string(kProgramFolder));
  c.Eq("module a file", c.P.GetFileAttributesA(module) & kFileAttributeDirectory, 0u);
  c.Eq("module path in full", c.P.GetFullPathNameA(module), module);
  const std::string shortPath = c.P.GetShortModuleFileNameA();
  c.True("8.3 path " + shortPath, !shortPath.empty() && shortPath.find(' ') == std::string::npos);
  for (std::size_t start = 3, end = 0; start < shortPath.size(); start = end + 1) {
    end = std::min(shortPath.find('\\', start), shortPath.size());
    const std::string name = shortPath.substr(start, end - start);
    const std::size_t dot = name.find('.');
    c.True("8.3 name " + name, dot == std::string::npos ? name.size() <= 8
                                                         : dot <= 8 && name.size() - dot <= 4);
  }
  const auto byLong = Identity(c, module), byShort = Identity(c, shortPath);
  c.True("the 8.3 path opens the program", byLong && byShort && *byLong == *byShort);
  // The program's name comes first, whole, however many spaces it holds.
  const std::vector<std::string> arguments = SplitCommandLine(c.P.GetCommandLineA());
  c.True("arguments", arguments.size() >= 2);
  if (!arguments.empty()) {
    c.Eq("program as started", ExtractFileName(arguments[0], none), std::string(kProgramName));
  }
  // Images load at 64 KiB boundaries.
  const std::uintptr_t base = c.P.GetModuleBase();
  c.True("image base " + std::to_string(base), base != 0 && base % 0x10000 == 0);
}

// Environment variables: names case-blind; unset and empty read alike;
// values longer than any first guess at a buffer, whole. The temporary
// folder follows TMP.
void Environment(Context& c) {
  const char* name = "REELSTART_CONTRACT";
  const struct {
    const char* row;
    std::optional<std::string> value;  // nothing: unset
  } rows[] = {
      {"Cyrillic", "\xD4\xE8\xEB\xFC\xEC"},  // Фильм
      {"empty", ""},
      {"unset", std::nullopt},
      {"259 characters", std::string(259, 'x')},
      {"260 characters", std::string(260, 'y')},
      {"1000 characters", std::string(1000, 'z')},
  };
  for (const auto& row : rows) {
    c.F.SetVariable(name, row.value ? row.value->c_str() : nullptr);
    c.Eq(row.row, c.P.GetEnvironmentVariableA("reelstart_Contract"), row.value.value_or(""));
  }
  c.F.SetVariable(name, nullptr);
  const std::string tmp = c.P.GetEnvironmentVariableA("TMP");
  c.F.SetVariable("TMP", (c.Dir + "Temp").c_str());
  c.Eq("temporary folder", c.P.GetTempPathA(), c.Dir + "Temp\\");
  c.F.SetVariable("TMP", tmp.empty() ? nullptr : tmp.c_str());
}

// A variable naming a folder the ANSI code page cannot spell (a profile named
// "Café Łódź" on a Russian system, and TMP in it) is respelled by 8.3 names
// that reach that folder; one the code page spells is not respelled.
void SpellingsOutsideTheCodePage(Context& c) {
  const std::string tmp = c.P.GetEnvironmentVariableA("TMP");
  const std::string lookAlike = c.F.FolderOutsideCodePage("TMP");
  const std::string respelled = c.P.GetShortEnvironmentVariableA("TMP");
  const std::string tempPath = c.P.GetShortTempPathA();
  c.Eq("the ANSI spelling", c.P.GetEnvironmentVariableA("TMP"), lookAlike);
  c.Eq("it reaches nothing", c.P.GetFileAttributesA(lookAlike), kInvalidFileAttributes);
  for (const std::string& path : {respelled, tempPath}) {
    c.True("8.3 spelling " + path, !path.empty() && path.find('?') == std::string::npos);
    c.Eq(path + " is a folder", c.P.GetFileAttributesA(path) & (kFileAttributeDirectory | 0x80000000u), kFileAttributeDirectory);
  }
  c.Eq("the temporary folder's spelling", tempPath, respelled + "\\");
  c.F.SetVariable("TMP", c.Dir.c_str());
  c.Eq("no respelling needed", c.P.GetShortEnvironmentVariableA("TMP"), std::string());
  c.Eq("none for the temporary folder", c.P.GetShortTempPathA(), std::string());
  c.F.SetVariable("TMP", tmp.empty() ? nullptr : tmp.c_str());
  c.Eq("none for an unset variable", c.P.GetShortEnvironmentVariableA("REELSTART_UNSET"), std::string());
}

// COM on the calling thread: initialised once, then again as S_FALSE (each
// to be released), and refused in another apartment's kind.
void Apartments(Context& c) {
  constexpr std::uint32_t kSingleThreaded = kCoinitApartmentThreaded | kCoinitDisableOle1Dde;
  c.Eq("first", c.P.CoInitializeEx(kSingleThreaded), 0);
  c.Eq("again", c.P.CoInitializeEx(kSingleThreaded), kSFalse);
  c.Eq("multithreaded", c.P.CoInitializeEx(0), kRpcEChangedMode);
  c.P.CoUninitialize();
  c.P.CoUninitialize();
  c.Eq("after release", c.P.CoInitializeEx(0), 0);
  c.P.CoUninitialize();
}

// Full paths read as a lookup reads them; longer than MAX_PATH, whole.
void FullPaths(Context& c) {
  const std::string longName(300 - c.Dir.size(), 'x');
  const struct {
    std::string path, full;  // under the case's folder
  } rows[] = {
      {"film.avi. . ", "film.avi"}, {"Sub\\..\\film.avi", "film.avi"},
      {"Sub\\.\\film.avi", "Sub\\film.avi"}, {"Sub\\\\film.avi", "Sub\\film.avi"},
      {"Sub.\\film.avi", "Sub\\film.avi"}, {"Sub\\", "Sub\\"},
      {longName, longName},
  };
  for (const auto& row : rows) {
    c.Eq("full path of " + row.path.substr(0, 20), c.P.GetFullPathNameA(c.Dir + row.path),
         c.Dir + row.full);
  }
}

// The system's texts for the errors a file's creation can meet, and for
// success: one line ending in ".\r\n" (in the user's language: Russian here,
// under Wine as on a Russian Windows); none for a code the system lacks.
void ErrorTexts(Context& c) {
  for (const long code : {kErrorSuccess, kErrorFileNotFound, kErrorPathNotFound,
                          kErrorAccessDenied, kErrorNotReady, kErrorSharingViolation,
                          kErrorInvalidName, kErrorFilenameExcedRange}) {
    const std::string text = c.P.FormatMessageA(static_cast<std::uint32_t>(code));
    c.True("text of " + std::to_string(code) + ": " + text,
           text.size() > 3 && text.find_first_of("\r\n") == text.size() - 2 &&
               text.compare(text.size() - 3, 3, ".\r\n") == 0);
  }
  c.Eq("text of no error", c.P.FormatMessageA(0x20000001), std::string());
}

// The program's string resources: LoadStringA's 1024-byte buffer holds 1023
// characters and the zero; an id without a string reads as empty, in a block
// of strings or outside any.
void StringResources(Context& c) {
  for (const StringResource& string : Strings()) {
    c.Eq("string " + std::to_string(string.Id), c.P.LoadStringA(string.Id),
         string.Text.substr(0, 1023));
  }
}

// What the shell answers when it cannot open a file: nothing opens its type;
// no such file. (Wine answers at once; Windows 8 and later may instead offer
// to choose a program, which no case here can answer.)
void ShellAnswers(Context& c) {
  Write(c, c.Dir + "film.rsq");
  c.Eq("no association", c.P.ShellExecuteA("open", c.Dir + "film.rsq", kSwShowNormal),
       kSeErrNoAssoc);
  c.Eq("no such file", c.P.ShellExecuteA("open", c.Dir + "none.asx", kSwShowNormal), kSeErrFnf);
}

// What the walk relies on: a folder reached through a link is the target, by
// identity and by contents, a link back up included; a folder named of dots
// alone is listed as it is, and its 8.3 name, where it has one, reaches it.
// (Its own name does not, under Wine, which reads "X\...\" as "X\..\";
// Windows keeps "..." as a name: only the listing and the 8.3 name are
// common.)
void FolderLinks(Context& c) {
  const std::string root = c.F.LinkedFolder();
  const auto top = Identity(c, root), target = Identity(c, root + "Target");
  const auto link = Identity(c, root + "Link"), linkSlash = Identity(c, root + "Link\\");
  const auto back = Identity(c, root + "Target\\Back");
  const auto film = Identity(c, root + "Target\\film.avi");
  const auto round = Identity(c, root + "Link\\Back\\Link\\film.avi");
  if (!top || !target || !link || !linkSlash || !back || !film || !round) return;
  c.True("a link is its target", *link == *target && *linkSlash == *target);
  c.True("a link up is the folder above", *back == *top);
  c.True("a file through two links is the file", *round == *film);
  c.Eq("contents through a link", Listing(c, root + "Link\\*"),
       Listing(c, root + "Target\\*"));
  std::vector<FindData> entries;
  c.Eq("the folder", Listing(c, root + "*", &entries), std::string(".|..|...|Link|Target"));
  for (const FindData& entry : entries) {
    c.Eq(entry.FileName + " is a folder", entry.FileAttributes & kFileAttributeDirectory,
         kFileAttributeDirectory);
    if (entry.FileName != "..." || entry.AlternateFileName.empty()) continue;
    const std::string dots = root + entry.AlternateFileName;
    c.Eq("the dots folder's film by its 8.3 name",
         AttributesError(c, dots + "\\film.avi"), kErrorSuccess);
    const auto inside = Identity(c, dots);
    c.True("the dots folder by its 8.3 name", inside && *inside != *top);
  }
}

// A volume that answers file index 0 for every entry: two folders answer
// one identity. (The stand-in's alone: no drive of Wine's answers so.)
void IndexlessVolume(Context& c) {
  const std::string folder = c.F.IndexlessFolder();
  const auto a = Identity(c, folder + "a"), b = Identity(c, folder + "b");
  if (!a || !b) return;
  c.Eq("file index", a->FileIndex, 0u);
  c.True("two folders, one identity", *a == *b);
}

// A call failed on purpose through FailingPlatform answers as the platform
// answers when that call fails of itself: each row makes the call fail for
// real, then plans the error it gave for the same call where it would work.
struct Answer {
  std::string Text;  // what the call gave back
  long Error = kErrorSuccess;
  bool operator==(const Answer&) const = default;
};

Answer Failure(Platform& p, const std::string& answer) {
  return {answer, static_cast<long>(p.GetLastError())};
}

void FailedCalls(Context& c) {
  using Call = FailingPlatform::Call;
  const std::string film = c.Dir + "film.avi", none = c.Dir + "none.avi";
  Write(c, film);
  const auto open = [](Platform& p, const std::string& path, std::uint32_t access) {
    const NativeHandle file = p.CreateFileA(path, access, kShareAll, kOpenExisting,
                                            kFileAttributeNormal);
    const Answer answer = Failure(p, file == kInvalidHandleValue ? "no handle" : "a handle");
    if (file != kInvalidHandleValue) p.CloseHandle(file);
    return answer;
  };
  const auto find = [](Platform& p, const std::string& mask, bool next) {
    FindData data;
    const NativeHandle listing = p.FindFirstFileA(mask, data);
    if (listing == kInvalidHandleValue || !next) {
      const Answer answer = Failure(p, listing == kInvalidHandleValue ? "no listing" : "a listing");
      if (listing != kInvalidHandleValue) p.FindClose(listing);
      return answer;
    }
    const bool more = p.FindNextFileA(listing, data);
    const Answer answer = Failure(p, more ? "more" : "no more");
    p.FindClose(listing);
    return answer;
  };
  const auto write = [](Platform& p, const std::string& path, std::uint32_t access) {
    const NativeHandle file = p.CreateFileA(path, access, kShareAll, kOpenExisting,
                                            kFileAttributeNormal);
    std::uint32_t written = 7;
    const bool ok = p.WriteFile(file, "abc", 3, written);
    const Answer answer = Failure(p, (ok ? "written " : "refused, written ") +
                                         std::to_string(written));
    p.CloseHandle(file);
    return answer;
  };
  const auto query = [](Platform& p, const char* value) {
    RegistryKey key = 0;
    p.RegCreateKeyExA(kHkeyCurrentUser, kRegistryKey, kRegOptionNonVolatile, kKeyAllAccess, key);
    const std::uint32_t dword = 1;
    p.RegSetValueExA(key, "Count", kRegDword, &dword, 4);
    std::uint32_t type = 0, size = 4, data = 0;
    // The Reg* calls answer their error and leave the last error alone.
    const long status = p.RegQueryValueExA(key, value, type, &data, size);
    p.RegCloseKey(key);
    return Answer{"status", status};
  };
  const std::string versioned = c.F.VersionedFile();
  const struct {
    const char* name;
    Call call;
    std::function<Answer(Platform&)> real, planned;
  } rows[] = {
      {"CreateFileA", Call::CreateFileA, [&](Platform& p) { return open(p, none, kGenericRead); },
       [&](Platform& p) { return open(p, film, kGenericRead); }},
      {"FindFirstFileA", Call::FindFirstFileA, [&](Platform& p) { return find(p, none, false); },
       [&](Platform& p) { return find(p, film, false); }},
      {"FindNextFileA", Call::FindNextFileA, [&](Platform& p) { return find(p, film, true); },
       [&](Platform& p) { return find(p, c.Dir + "*", true); }},
      {"WriteFile", Call::WriteFile, [&](Platform& p) { return write(p, film, kGenericRead); },
       [&](Platform& p) { return write(p, film, kGenericWrite); }},
      {"GetFileAttributesA", Call::GetFileAttributesA,
       [&](Platform& p) { return Failure(p, std::to_string(p.GetFileAttributesA(none))); },
       [&](Platform& p) { return Failure(p, std::to_string(p.GetFileAttributesA(film))); }},
      {"GetFileVersionInfoSizeA", Call::GetFileVersionInfoSizeA,
       [&](Platform& p) { return Failure(p, std::to_string(p.GetFileVersionInfoSizeA(none))); },
       [&](Platform& p) {
         return Failure(p, std::to_string(p.GetFileVersionInfoSizeA(versioned)));
       }},
      {"GetLocaleInfoA", Call::GetLocaleInfoA,
       [&](Platform& p) { return Failure(p, p.GetLocaleInfoA(0x0FFF)); },
       [&](Platform& p) { return Failure(p, p.GetLocaleInfoA(kLocaleSShortDate)); }},
      {"RegQueryValueExA", Call::RegQueryValueExA, [&](Platform& p) { return query(p, "None"); },
       [&](Platform& p) { return query(p, "Count"); }},
  };
  for (const auto& row : rows) {
    const Answer real = row.real(c.P);
    c.True(std::string(row.name) + " fails for real", real.Error != kErrorSuccess);
    if (real.Error == kErrorSuccess) continue;
    FailingPlatform faults(c.P);
    faults.FailCall(row.call, 1, real.Error);
    const Answer planned = row.planned(faults);
    c.Eq(std::string(row.name) + " failed on purpose", planned.Text, real.Text);
    c.Eq(std::string(row.name) + ": its error", planned.Error, real.Error);
  }
}

}  // namespace

std::vector<StringResource> Strings() {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "\xD4\xE8\xEB\xFC\xEC 0123 ";  // "Фильм 0123 "
  return {{1, "\xCA\xEE\xED\xF2\xF0\xE0\xEA\xF2"},  // "Контракт"
          {2, text},
          {3, ""},
          {5, "last"},
          {4000, ""}};
}

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
      {"LocaleText", LocaleText},
      {"LocaleTextUnderEnglishFormats", LocaleTextUnderEnglishFormats, false, true},
      {"LocaleDates", LocaleDates},
      {"ProcessFacts", ProcessFacts},
      {"Environment", Environment},
      {"SpellingsOutsideTheCodePage", SpellingsOutsideTheCodePage},
      {"Apartments", Apartments},
      {"FullPaths", FullPaths},
      {"ErrorTexts", ErrorTexts},
      {"StringResources", StringResources},
      {"ShellAnswers", ShellAnswers},
      {"FolderLinks", FolderLinks},
      {"IndexlessVolume", IndexlessVolume, true},
      {"FailedCalls", FailedCalls},
  };
  return cases;
}

}  // namespace reelstart::contract
