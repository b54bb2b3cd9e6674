// The stand-in's locale: the user's Formats locale (its sort keys, its
// dates), the ANSI code page, the clock. What it believes of Windows, and the
// contract cases that hold it, are in Locale_mem.cpp. A part of
// MemoryPlatform (support/Platform_mem.h), through which the tests reach it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "support/LastError_mem.h"
#include "support/Win32Constants.h"

namespace reelstart {

class MemoryLocale {
 public:
  explicit MemoryLocale(standin::LastError& lastError) : lastError_(lastError) {}

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

  // --- The calls, as Platform describes them.
  int CompareStringA(std::uint32_t cmpFlags, std::string_view string1, std::string_view string2);
  std::string LCMapStringA(std::uint32_t mapFlags, std::string_view source);
  bool IsDBCSLeadByte(unsigned char byte);
  std::string CharUpperBuffA(std::string text);
  std::string GetLocaleInfoA(std::uint32_t lcType);
  SystemTime GetLocalTime() { return LocalTime; }

 private:
  // The code page CompareStringA and LCMapStringA read bytes in under `flags`.
  [[nodiscard]] unsigned ReadingCodePage(std::uint32_t flags) const;

  standin::LastError& lastError_;
  std::vector<std::pair<unsigned char, unsigned char>> leadBytes_;
};

}  // namespace reelstart
