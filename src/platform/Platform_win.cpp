#include "platform/Platform_win.h"

#include "platform/Win32.h"

namespace reelstart {

// Platform.h restates the values the program passes and reads, so that the
// logic above the seam needs no <windows.h>; here each is held to the header.
static_assert(sizeof(NativeHandle) == sizeof(HANDLE) && sizeof(RegistryKey) == sizeof(HKEY));
// INVALID_HANDLE_VALUE and the HKEY roots are pointer casts, which no
// constant expression can read: these restate the headers' definitions, and
// the platform contract compares the values themselves at run time.
static_assert(kInvalidHandleValue == static_cast<NativeHandle>(static_cast<LONG_PTR>(-1)));
static_assert(kHkeyCurrentUser == static_cast<RegistryKey>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001))));
static_assert(kHkeyLocalMachine == static_cast<RegistryKey>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002))));
static_assert(win::kFileAttributeHidden == FILE_ATTRIBUTE_HIDDEN);
static_assert(win::kFileAttributeSystem == FILE_ATTRIBUTE_SYSTEM);
static_assert(win::kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(win::kFileAttributeArchive == FILE_ATTRIBUTE_ARCHIVE);
static_assert(win::kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL);
static_assert(win::kFileAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(win::kGenericRead == GENERIC_READ);
static_assert(win::kGenericWrite == GENERIC_WRITE);
static_assert(win::kFileShareRead == FILE_SHARE_READ);
static_assert(win::kFileShareWrite == FILE_SHARE_WRITE);
static_assert(win::kFileShareDelete == FILE_SHARE_DELETE);
static_assert(win::kCreateAlways == CREATE_ALWAYS);
static_assert(win::kOpenExisting == OPEN_EXISTING);
static_assert(win::kFileFlagBackupSemantics == FILE_FLAG_BACKUP_SEMANTICS);
static_assert(win::kNormIgnoreCase == NORM_IGNORECASE);
static_assert(win::kLocaleUseCpAcp == LOCALE_USE_CP_ACP);
static_assert(win::kCoinitApartmentThreaded == COINIT_APARTMENTTHREADED);
static_assert(win::kCoinitDisableOle1Dde == COINIT_DISABLE_OLE1DDE);
static_assert(win::kLcmapSortKey == LCMAP_SORTKEY);
static_assert(win::kCstrEqual == CSTR_EQUAL);
static_assert(win::kSwShowNormal == SW_SHOWNORMAL);
static_assert(win::kMbOk == MB_OK);
static_assert(win::kMbIconStop == MB_ICONSTOP);
static_assert(win::kMbIconInformation == MB_ICONINFORMATION);
static_assert(win::kMbTaskModal == MB_TASKMODAL);
static_assert(win::kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES);
static_assert(win::kInvalidFileSize == INVALID_FILE_SIZE);
static_assert(win::kErrorSuccess == ERROR_SUCCESS);
static_assert(win::kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(win::kRegNone == REG_NONE);
static_assert(win::kRegSz == REG_SZ);
static_assert(win::kRegDword == REG_DWORD);
static_assert(win::kRegOptionNonVolatile == REG_OPTION_NON_VOLATILE);
static_assert(win::kKeyAllAccess == KEY_ALL_ACCESS);
static_assert(win::kLocaleSDate == LOCALE_SDATE);
static_assert(win::kLocaleSShortDate == LOCALE_SSHORTDATE);
static_assert(win::kLocaleSDayName1 == LOCALE_SDAYNAME1);
static_assert(win::kLocaleSAbbrevDayName1 == LOCALE_SABBREVDAYNAME1);
static_assert(win::kLocaleSMonthName1 == LOCALE_SMONTHNAME1);
static_assert(win::kLocaleSAbbrevMonthName1 == LOCALE_SABBREVMONTHNAME1);

namespace {

HANDLE ToHandle(NativeHandle handle) { return reinterpret_cast<HANDLE>(handle); }
HKEY ToKey(RegistryKey key) { return reinterpret_cast<HKEY>(key); }
NativeHandle FromHandle(HANDLE handle) { return reinterpret_cast<NativeHandle>(handle); }

void CopyFindData(const WIN32_FIND_DATAA& found, FindData& data) {
  data.FileAttributes = found.dwFileAttributes;
  data.FileName = found.cFileName;
  data.AlternateFileName = found.cAlternateFileName;
}

// Calls `get(buffer, size)`, a Win32 call that answers the length it wrote,
// or the size it needs when the buffer is too small, or 0 on failure; grows
// the buffer until the text fits. Empty on failure.
template <class Char = char, class Get>
std::basic_string<Char> GetText(Get get, DWORD initialSize = MAX_PATH) {
  std::basic_string<Char> buffer(initialSize, Char{});
  for (;;) {
    const DWORD length = get(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(static_cast<std::size_t>(length) + 1);
  }
}

// 32,767 characters and its zero: the longest path Windows has, "\\?\"
// forms included.
constexpr DWORD kLongestPath = 32768;

// `text` in the ANSI code page; `exact`: every character of it has its own
// there. No best fit: 'e' for 'é' would name another entry, or none. Empty
// and not exact where the code page refuses the question (UTF-8 does).
std::string ToAnsi(const std::wstring& text, bool& exact) {
  BOOL defaulted = FALSE;
  const auto convert = [&](char* out, int size) {
    return ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                 static_cast<int>(text.size()), out, size, nullptr, &defaulted);
  };
  const int size = convert(nullptr, 0);
  exact = size > 0 && !defaulted;
  if (size <= 0) return {};
  std::string ansi(static_cast<std::size_t>(size), '\0');
  convert(ansi.data(), size);
  return ansi;
}

// `path` with every name in its 8.3 form, in the ANSI code page; empty when
// the path reaches nothing, or its 8.3 form is no spelling of it there.
std::string ShortAnsiPath(const std::wstring& path) {
  std::wstring shortPath(kLongestPath, L'\0');
  const DWORD shortLength =
      ::GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  if (shortLength == 0 || shortLength >= shortPath.size()) return {};
  shortPath.resize(shortLength);
  bool exact = false;
  std::string ansi = ToAnsi(shortPath, exact);
  return exact ? ansi : std::string();
}

// The 8.3 form of a path the ANSI code page cannot spell; empty for one it
// spells. (Where it cannot say, as under UTF-8, which spells everything, the
// 8.3 form is asked for and comes back empty.)
std::string RespelledAnsiPath(const std::wstring& path) {
  bool exact = false;
  ToAnsi(path, exact);
  return path.empty() || exact ? std::string() : ShortAnsiPath(path);
}

}  // namespace

NativeHandle Win32Platform::FindFirstFileA(const std::string& mask, FindData& data) {
  WIN32_FIND_DATAA found;
  const HANDLE find = ::FindFirstFileA(mask.c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) CopyFindData(found, data);
  return FromHandle(find);
}

bool Win32Platform::FindNextFileA(NativeHandle find, FindData& data) {
  WIN32_FIND_DATAA found;
  if (!::FindNextFileA(ToHandle(find), &found)) return false;
  CopyFindData(found, data);
  return true;
}

void Win32Platform::FindClose(NativeHandle find) { ::FindClose(ToHandle(find)); }

NativeHandle Win32Platform::CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                                        std::uint32_t shareMode, std::uint32_t creationDisposition,
                                        std::uint32_t flagsAndAttributes) {
  return FromHandle(::CreateFileA(fileName.c_str(), desiredAccess, shareMode, nullptr,
                                  creationDisposition, flagsAndAttributes, nullptr));
}

std::uint32_t Win32Platform::GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) {
  DWORD high = 0;
  const DWORD low = ::GetFileSize(ToHandle(file), &high);
  fileSizeHigh = high;
  return low;
}

bool Win32Platform::GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(ToHandle(file), &info)) return false;
  identity.VolumeSerialNumber = info.dwVolumeSerialNumber;
  identity.FileIndex = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool Win32Platform::WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                              std::uint32_t& bytesWritten) {
  DWORD written = 0;
  const BOOL ok = ::WriteFile(ToHandle(file), buffer, bytesToWrite, &written, nullptr);
  bytesWritten = written;
  return ok != FALSE;
}

void Win32Platform::CloseHandle(NativeHandle handle) { ::CloseHandle(ToHandle(handle)); }

std::uint32_t Win32Platform::GetFileAttributesA(const std::string& fileName) {
  return ::GetFileAttributesA(fileName.c_str());
}

std::string Win32Platform::GetFullPathNameA(const std::string& fileName) {
  std::string full = GetText([&](char* buffer, DWORD size) {
    return ::GetFullPathNameA(fileName.c_str(), size, buffer, nullptr);
  });
  return full.empty() ? fileName : full;
}

std::uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }

std::string Win32Platform::FormatMessageA(std::uint32_t messageId) {
  char buffer[1024];
  const DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, messageId, 0, buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

std::string Win32Platform::GetCommandLineA() { return ::GetCommandLineA(); }

std::string Win32Platform::GetModuleFileNameA() {
  // GetModuleFileNameA answers the buffer's size, not the size it needs, when
  // the path does not fit.
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string Win32Platform::GetShortModuleFileNameA() {
  std::wstring wide(kLongestPath, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
  if (length == 0 || length >= wide.size()) return {};
  wide.resize(length);
  return ShortAnsiPath(wide);
}

std::string Win32Platform::GetShortEnvironmentVariableA(const std::string& name) {
  const std::wstring wideName(name.begin(), name.end());  // names are ASCII
  const std::wstring value = GetText<wchar_t>([&](wchar_t* buffer, DWORD size) {
    return ::GetEnvironmentVariableW(wideName.c_str(), buffer, size);
  });
  return RespelledAnsiPath(value);
}

std::string Win32Platform::GetShortTempPathA() {
  const std::wstring folder =
      GetText<wchar_t>([](wchar_t* buffer, DWORD size) { return ::GetTempPathW(size, buffer); });
  return RespelledAnsiPath(folder);
}

std::uintptr_t Win32Platform::GetModuleBase() {
  return reinterpret_cast<std::uintptr_t>(::GetModuleHandleA(nullptr));
}

std::string Win32Platform::GetEnvironmentVariableA(const std::string& name) {
  return GetText([&](char* buffer, DWORD size) {
    return ::GetEnvironmentVariableA(name.c_str(), buffer, size);
  });
}

std::string Win32Platform::GetTempPathA() {
  return GetText([](char* buffer, DWORD size) { return ::GetTempPathA(size, buffer); });
}

int Win32Platform::ShellExecuteA(const std::string& operation, const std::string& file,
                                 int showCommand) {
  // An HINSTANCE only in name: a number, for compatibility with 16-bit Windows.
  return static_cast<int>(reinterpret_cast<INT_PTR>(
      ::ShellExecuteA(nullptr, operation.c_str(), file.c_str(), nullptr, nullptr, showCommand)));
}

std::int32_t Win32Platform::CoInitializeEx(std::uint32_t coInit) {
  return ::CoInitializeEx(nullptr, coInit);
}

void Win32Platform::CoUninitialize() { ::CoUninitialize(); }

int Win32Platform::MessageBoxA(const std::string& text, const std::string& caption,
                               std::uint32_t type) {
  return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), type);
}

int Win32Platform::CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                                  std::string_view string2) {
  return ::CompareStringA(LOCALE_USER_DEFAULT, cmpFlags, string1.data(),
                          static_cast<int>(string1.size()), string2.data(),
                          static_cast<int>(string2.size()));
}

std::string Win32Platform::LCMapStringA(std::uint32_t mapFlags, std::string_view source) {
  // The first call answers the size needed (in bytes for a sort key).
  const int sourceLength = static_cast<int>(source.size());
  const int size =
      ::LCMapStringA(LOCALE_USER_DEFAULT, mapFlags, source.data(), sourceLength, nullptr, 0);
  if (size <= 0) return {};
  std::string result(static_cast<std::size_t>(size), '\0');
  const int length = ::LCMapStringA(LOCALE_USER_DEFAULT, mapFlags, source.data(), sourceLength,
                                    result.data(), size);
  result.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return result;
}

bool Win32Platform::IsDBCSLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

std::string Win32Platform::CharUpperBuffA(std::string text) {
  ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::string Win32Platform::GetLocaleInfoA(std::uint32_t lcType) {
  // Both sizes count the terminating zero.
  const int size = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, lcType, nullptr, 0);
  if (size <= 1) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  const int length = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, lcType, text.data(), size);
  text.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
  return text;
}

SystemTime Win32Platform::GetLocalTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
          now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

std::string Win32Platform::LoadStringA(std::uint32_t id) {
  char buffer[1024];
  const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::uint32_t Win32Platform::GetFileVersionInfoSizeA(const std::string& fileName) {
  DWORD handle = 0;
  return ::GetFileVersionInfoSizeA(fileName.c_str(), &handle);
}

bool Win32Platform::GetFileVersionInfoA(const std::string& fileName, std::string& block) {
  return ::GetFileVersionInfoA(fileName.c_str(), 0, static_cast<DWORD>(block.size()),
                               block.data()) != FALSE;
}

bool Win32Platform::VerQueryValueA(std::string& block, const std::string& subBlock,
                                   const void*& value, std::uint32_t& length) {
  void* found = nullptr;
  UINT size = 0;
  if (!::VerQueryValueA(block.data(), subBlock.c_str(), &found, &size)) {
    return false;
  }
  value = found;
  length = size;
  return true;
}

long Win32Platform::RegCreateKeyExA(RegistryKey key, const std::string& subKey,
                                    std::uint32_t options, std::uint32_t samDesired,
                                    RegistryKey& result) {
  HKEY created = nullptr;
  const LONG status = ::RegCreateKeyExA(ToKey(key), subKey.c_str(), 0, nullptr, options,
                                        samDesired, nullptr, &created, nullptr);
  // Windows promises nothing about the handle of a failed call: hand out
  // none, so that nothing is written through or closed with it.
  result = status == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(created) : 0;
  return status;
}

long Win32Platform::RegSetValueExA(RegistryKey key, const std::string& valueName,
                                   std::uint32_t type, const void* data, std::uint32_t size) {
  return ::RegSetValueExA(ToKey(key), valueName.c_str(), 0, type,
                          static_cast<const BYTE*>(data), size);
}

long Win32Platform::RegQueryValueExA(RegistryKey key, const std::string& valueName,
                                     std::uint32_t& type, void* data, std::uint32_t& size) {
  DWORD valueType = 0;
  DWORD valueSize = size;
  const LONG status = ::RegQueryValueExA(ToKey(key), valueName.c_str(), nullptr, &valueType,
                                         static_cast<BYTE*>(data), &valueSize);
  type = valueType;
  size = valueSize;
  return status;
}

long Win32Platform::RegCloseKey(RegistryKey key) { return ::RegCloseKey(ToKey(key)); }

}  // namespace reelstart
