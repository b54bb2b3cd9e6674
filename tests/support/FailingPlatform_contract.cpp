// The platform contract's case for FailingPlatform (FailingPlatform.cpp),
// over the stand-in on the host and over Win32Platform under Wine.
#include "support/ContractCases.h"

#include <functional>
#include <string>

#include "support/FailingPlatform.h"

namespace reelstart::contract {

using namespace win;

namespace {

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

}  // namespace

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

}  // namespace reelstart::contract
