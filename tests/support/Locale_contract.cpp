// The platform contract's cases for the stand-in's locale (Locale_mem.cpp),
// held to Windows under Wine.
#include "support/ContractCases.h"

#include <string>
#include <tuple>

namespace reelstart::contract {

using namespace win;

namespace {

int Sign(int order) { return order < 0 ? -1 : order > 0 ? 1 : 0; }

}  // namespace

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

}  // namespace reelstart::contract
