// The program's one seam over the operating system.
//
// Everything above this header is portable C++: it reaches Windows only
// through the Platform interface below, whose operations carry the names and
// the meaning of the ANSI Win32 calls they stand for. The build picks one
// implementation: Platform_win.cpp over the real calls, Platform_mem.cpp, an
// in-memory stand-in with fault injection for the host tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace reelstart {

// A kernel object handle (file, find listing) as the seam passes it around.
using NativeHandle = std::uintptr_t;
inline constexpr NativeHandle kInvalidHandleValue = ~NativeHandle{0};

// A registry key handle (HKEY); the predefined roots have their Windows
// values: a LONG made a pointer, so sign-extended on 64-bit Windows.
using RegistryKey = std::uintptr_t;
inline constexpr RegistryKey kHkeyCurrentUser =
    static_cast<RegistryKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001u)));
inline constexpr RegistryKey kHkeyLocalMachine =
    static_cast<RegistryKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

// Win32 constants used by the program; values as in the Windows headers,
// which Platform_win.cpp holds each to. (Those only the tests use are in
// tests/support/Win32Constants.h.)
namespace win {
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeSystem = 0x04;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;
inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kFileShareRead = 1;
inline constexpr std::uint32_t kFileShareWrite = 2;
inline constexpr std::uint32_t kFileShareDelete = 4;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kFileFlagBackupSemantics = 0x02000000u;
inline constexpr std::uint32_t kNormIgnoreCase = 1;
// Read the bytes in the ANSI code page, not in that of the user's Formats
// locale (CompareStringA, LCMapStringA).
inline constexpr std::uint32_t kLocaleUseCpAcp = 0x40000000u;
inline constexpr std::uint32_t kLcmapSortKey = 0x400;
inline constexpr int kCstrEqual = 2;
inline constexpr int kSwShowNormal = 1;
inline constexpr std::uint32_t kCoinitApartmentThreaded = 0x2;
inline constexpr std::uint32_t kCoinitDisableOle1Dde = 0x4;
inline constexpr std::uint32_t kMbOk = 0;
inline constexpr std::uint32_t kMbIconStop = 0x10;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr std::uint32_t kMbTaskModal = 0x2000;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
// GetFileSize's failure answer, told from a real low part of that value by
// GetLastError != kErrorSuccess.
inline constexpr std::uint32_t kInvalidFileSize = 0xFFFFFFFFu;
// Error codes (GetLastError, and the Reg* calls' answers).
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegOptionNonVolatile = 0;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kLocaleSDate = 0x1D;
inline constexpr std::uint32_t kLocaleSShortDate = 0x1F;
inline constexpr std::uint32_t kLocaleSDayName1 = 0x2A;         // Monday .. kLocaleSDayName1 + 6: Sunday
inline constexpr std::uint32_t kLocaleSAbbrevDayName1 = 0x31;
inline constexpr std::uint32_t kLocaleSMonthName1 = 0x38;       // January .. + 11: December
inline constexpr std::uint32_t kLocaleSAbbrevMonthName1 = 0x44;
}  // namespace win

// SYSTEMTIME: DayOfWeek counts from Sunday = 0.
struct SystemTime {
  std::uint16_t Year = 0;
  std::uint16_t Month = 0;
  std::uint16_t DayOfWeek = 0;
  std::uint16_t Day = 0;
  std::uint16_t Hour = 0;
  std::uint16_t Minute = 0;
  std::uint16_t Second = 0;
  std::uint16_t Milliseconds = 0;
};

// The part of WIN32_FIND_DATAA the program reads.
struct FindData {
  std::uint32_t FileAttributes = 0;
  std::string FileName;           // cFileName, in the ANSI code page
  std::string AlternateFileName;  // cAlternateFileName: the 8.3 name, often empty
};

// What tells two folders apart, whatever path reached them
// (BY_HANDLE_FILE_INFORMATION's volume serial and file index).
struct FileIdentity {
  std::uint32_t VolumeSerialNumber = 0;
  std::uint64_t FileIndex = 0;
  bool operator==(const FileIdentity&) const = default;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- File system ---------------------------------------------------------
  // Starts a listing of `mask`; fills `data` with the first entry. Returns
  // kInvalidHandleValue when nothing matches or the folder cannot be read.
  virtual NativeHandle FindFirstFileA(const std::string& mask, FindData& data) = 0;
  // Fills `data` with the next entry; false at the end of the listing.
  virtual bool FindNextFileA(NativeHandle find, FindData& data) = 0;
  virtual void FindClose(NativeHandle find) = 0;
  // CreateFileA without security attributes and template. Returns
  // kInvalidHandleValue on failure, with the reason in GetLastError.
  virtual NativeHandle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                                   std::uint32_t shareMode, std::uint32_t creationDisposition,
                                   std::uint32_t flagsAndAttributes) = 0;
  // Returns the low 32 bits of the size and stores the high 32 bits.
  virtual std::uint32_t GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) = 0;
  virtual bool GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) = 0;
  virtual bool WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                         std::uint32_t& bytesWritten) = 0;
  virtual void CloseHandle(NativeHandle handle) = 0;
  // The entry's attributes, or kInvalidFileAttributes when nothing is there.
  virtual std::uint32_t GetFileAttributesA(const std::string& fileName) = 0;
  // The absolute form of `fileName`; `fileName` itself when it cannot be had.
  virtual std::string GetFullPathNameA(const std::string& fileName) = 0;
  virtual std::uint32_t GetLastError() = 0;
  // The system's text for an error code, as FormatMessageA gives it (usually
  // with a trailing period and CR LF); empty when the system has none.
  virtual std::string FormatMessageA(std::uint32_t messageId) = 0;

  // --- Process ---------------------------------------------------------------
  // The command line as the process was started with it.
  virtual std::string GetCommandLineA() = 0;
  // Full path of the program's own executable. A name the ANSI code page
  // cannot represent comes back with '?' (or a look-alike) in its place.
  virtual std::string GetModuleFileNameA() = 0;
  // The same path with every name in its 8.3 form (GetShortPathNameW of the
  // wide module name), in the ANSI code page; empty when it cannot be had or
  // still holds a character the code page lacks (a volume without 8.3 names).
  virtual std::string GetShortModuleFileNameA() = 0;
  // Where GetEnvironmentVariableA's answer is not the variable's value (the
  // ANSI code page lacks a character of it, which reads there as '?' or a
  // look-alike naming another folder, or none): the value with every name in
  // its 8.3 form (GetShortPathNameW of the wide value), in the ANSI code page.
  // Empty where the ANSI answer is the value itself, where the variable is
  // unset, and where no such form can be had: the path reaches nothing, or
  // its 8.3 form still holds a character the code page lacks (a volume
  // without 8.3 names).
  virtual std::string GetShortEnvironmentVariableA(const std::string& name) = 0;
  // The same for GetTempPathA's folder (GetTempPathW), trailing backslash
  // kept: on Windows it comes from TMP, TEMP or the user's profile, whose
  // name may lie outside the code page.
  virtual std::string GetShortTempPathA() = 0;
  // Address the executable's image is loaded at (GetModuleHandleA(NULL)).
  virtual std::uintptr_t GetModuleBase() = 0;
  // The variable's value; empty when it is unset or empty.
  virtual std::string GetEnvironmentVariableA(const std::string& name) = 0;
  // The system's temporary folder with its trailing backslash; empty on failure.
  virtual std::string GetTempPathA() = 0;

  // --- Shell and user interface ---------------------------------------------
  // ShellExecuteA without owner window, parameters and working folder: its
  // answer, greater than 32 when the shell took the request, else the reason
  // (SE_ERR_FNF 2: no such file; SE_ERR_NOASSOC 31: nothing opens its type).
  virtual int ShellExecuteA(const std::string& operation, const std::string& file,
                            int showCommand) = 0;
  // CoInitializeEx(NULL, coInit) for the calling thread: S_OK, S_FALSE (it
  // was initialised already; to be released all the same), or a failure
  // code, after which COM is not to be released.
  virtual std::int32_t CoInitializeEx(std::uint32_t coInit) = 0;
  virtual void CoUninitialize() = 0;
  // MessageBoxA without owner window.
  virtual int MessageBoxA(const std::string& text, const std::string& caption,
                          std::uint32_t type) = 0;
  // String resource `id` of the executable (LoadStringA with a 1024-byte
  // buffer: at most 1023 characters); empty when there is none.
  virtual std::string LoadStringA(std::uint32_t id) = 0;

  // --- Version resources -------------------------------------------------------
  // Size of the block that holds the file's version resource; 0 when it has
  // none or cannot be read. The block is larger than the resource: its
  // second half is room for VerQueryValueA's ANSI texts.
  virtual std::uint32_t GetFileVersionInfoSizeA(const std::string& fileName) = 0;
  // Loads the version resource into `block` (sized by the caller).
  virtual bool GetFileVersionInfoA(const std::string& fileName, std::string& block) = 0;
  // Looks `subBlock` up in a loaded block. A binary value ("\", the fixed
  // part; "\VarFileInfo\Translation") is answered in place with its size in
  // bytes. A text value is converted to the ANSI code page into the block's
  // second half (so the block is written to) and answered there, its length
  // counting characters, terminating zero included. `value` stays valid as
  // long as the block. False when the block does not hold `subBlock`.
  virtual bool VerQueryValueA(std::string& block, const std::string& subBlock,
                              const void*& value, std::uint32_t& length) = 0;

  // --- Registry ----------------------------------------------------------------
  // RegCreateKeyExA without class and security attributes; the Win32 error
  // code. `result` is 0 when the call fails: writes through it then fail
  // with ERROR_INVALID_HANDLE.
  virtual long RegCreateKeyExA(RegistryKey key, const std::string& subKey, std::uint32_t options,
                               std::uint32_t samDesired, RegistryKey& result) = 0;
  virtual long RegSetValueExA(RegistryKey key, const std::string& valueName, std::uint32_t type,
                              const void* data, std::uint32_t size) = 0;
  // As RegQueryValueExA: `data` may be null to ask for type and size only;
  // `size` holds the buffer's size on entry and the value's size on return.
  // A buffer too small gives ERROR_MORE_DATA with the size needed, the type,
  // and undefined buffer contents.
  virtual long RegQueryValueExA(RegistryKey key, const std::string& valueName,
                                std::uint32_t& type, void* data, std::uint32_t& size) = 0;
  virtual long RegCloseKey(RegistryKey key) = 0;

  // --- Locale ------------------------------------------------------------------
  // CompareStringA with LOCALE_USER_DEFAULT: CSTR_LESS_THAN (1), kCstrEqual,
  // CSTR_GREATER_THAN (3), or 0 on failure. Without kLocaleUseCpAcp the bytes
  // are read in the code page of the user's Formats locale, which need not
  // be the ANSI one the names are in (English Formats, Russian for programs
  // that are not Unicode: Windows-1252 against 1251).
  virtual int CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                             std::string_view string2) = 0;
  // LCMapStringA with LOCALE_USER_DEFAULT over `source`, its bytes read as
  // CompareStringA reads them; empty on failure.
  // With kLcmapSortKey (and the comparison flags, e.g. kNormIgnoreCase) the
  // answer is the sort key, terminating zero included: two keys compared
  // byte by byte as unsigned values order as CompareStringA with the same
  // flags orders the two texts.
  virtual std::string LCMapStringA(std::uint32_t mapFlags, std::string_view source) = 0;
  // Whether `byte` starts a double-byte character in the ANSI code page.
  virtual bool IsDBCSLeadByte(unsigned char byte) = 0;
  // `text` upper-cased by the rules of the ANSI code page.
  virtual std::string CharUpperBuffA(std::string text) = 0;
  // GetLocaleInfoA of LOCALE_USER_DEFAULT; empty when the locale has nothing.
  virtual std::string GetLocaleInfoA(std::uint32_t lcType) = 0;
  virtual SystemTime GetLocalTime() = 0;
};

// The platform the program runs on. The entry (or a test) installs it before
// anything else runs; SetPlatform returns the one it replaces.
Platform& ThePlatform();
Platform* SetPlatform(Platform* platform);

}  // namespace reelstart
