// Dates as the user reads them. The locale's short date picture, date
// separator and day and month names are read once, when a run starts, into
// a TFormatSettings value (GetLocaleFormatSettings); everything the run turns
// into a date text is formatted with that value.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "common/Dates.h"
#include "common/Text.h"

namespace reelstart {

struct TFormatSettings {
  std::string ShortDateFormat = "m/d/yy";
  char DateSeparator = '/';
  // January first.
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  // Sunday first, as SYSTEMTIME counts the days of the week.
  std::array<std::string, 7> ShortDayNames;
  std::array<std::string, 7> LongDayNames;
  // Bytes that start a double-byte character in the ANSI code page: the
  // byte after one is never taken for a picture letter or a quote.
  TLeadBytes LeadBytes;
};

// `date` shown by `picture`. Letters are read regardless of case:
//   d, dd        day, at least one or two digits; ddd short, dddd (or more)
//                long day name
//   m, mm        month, at least one or two digits; mmm short, mmmm (or
//                more) long month name
//   y, yy        year modulo 100, two digits; yyy or more: four digits
//   /            the date separator
//   '...' "..."  copied without the quotes (an unclosed quote runs to the end)
// Every other character is copied as it is.
std::string FormatDate(std::string_view picture, TDateTime date, const TFormatSettings& settings);

// `date` in the user's short date format.
inline std::string DateToStr(TDateTime date, const TFormatSettings& settings) {
  return FormatDate(settings.ShortDateFormat, date, settings);
}

// Day of the week of `date`, 0 for Sunday (30 December 1899 is a Saturday: 6).
int DayOfWeek(TDateTime date);

}  // namespace reelstart
