// Short-date pictures: FormatDate over any picture, for any day of years 1 to
// 9999, with a separator of any byte and, on some runs, the lead bytes of a
// double-byte code page. The input is the picture, then 8 bytes read from
// the end: the code page (0: none, 1: 932, 2: 936), the separator, 3 for the
// day and 3 for the second of the day.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "common/DateFormat.h"
#include "common/Dates.h"
#include "common/Text.h"

namespace {

using namespace reelstart;

TFormatSettings MakeSettings(int codePage, char separator) {
  static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static constexpr const char* kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  TFormatSettings settings;
  settings.DateSeparator = separator;
  for (int i = 0; i < 12; ++i) {
    settings.ShortMonthNames[i] = kMonths[i];
    settings.LongMonthNames[i] = std::string(kMonths[i]) + "-long";
  }
  for (int i = 0; i < 7; ++i) {
    settings.ShortDayNames[i] = kDays[i];
    settings.LongDayNames[i] = std::string(kDays[i]) + "-long";
  }
  // Those of code page 932, and of 936, 949 and 950.
  if (codePage == 1) {
    for (int byte = 0x81; byte <= 0x9F; ++byte) settings.LeadBytes[byte] = true;
    for (int byte = 0xE0; byte <= 0xFC; ++byte) settings.LeadBytes[byte] = true;
  } else if (codePage == 2) {
    for (int byte = 0x81; byte <= 0xFE; ++byte) settings.LeadBytes[byte] = true;
  }
  return settings;
}

bool IsLead(const TFormatSettings& settings, char c) {
  return settings.LeadBytes[static_cast<unsigned char>(c)];
}

// Whether the picture holds no letter, quote or separator outside its
// double-byte characters.
bool IsPlain(std::string_view picture, const TFormatSettings& settings) {
  for (std::size_t i = 0; i < picture.size(); ++i) {
    if (IsLead(settings, picture[i])) {
      ++i;
    } else if (std::string_view("dDmMyY'\"/").find(picture[i]) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// Whether `text` reads as whole characters without `quote` in any lead position.
bool IsQuotable(std::string_view text, char quote, const TFormatSettings& settings) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == quote) return false;
    if (IsLead(settings, text[i]) && ++i == text.size()) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto [first, last] = [] {
    TDateTime from = 0;
    TDateTime to = 0;
    TryEncodeDate(1, 1, 1, from);
    TryEncodeDate(9999, 12, 31, to);
    return std::pair(static_cast<int>(from), static_cast<int>(to));
  }();

  FuzzedDataProvider provider(data, size);
  const int codePage = provider.ConsumeIntegralInRange(0, 2);
  const auto separator = provider.ConsumeIntegral<char>();
  const int day = provider.ConsumeIntegralInRange(first, last);
  const int second = provider.ConsumeIntegralInRange(0, 86399);  // of the day
  const std::string picture = provider.ConsumeRemainingBytesAsString();
  const TFormatSettings settings = MakeSettings(codePage, separator);
  const TDateTime date = day + second / 86400.0;

  const std::string text = FormatDate(picture, date, settings);
  // The time of day never shows.
  FUZZ_CHECK(FormatDate(picture, day, settings) == text);
  if (IsPlain(picture, settings)) FUZZ_CHECK(text == picture);
  for (const char quote : {'\'', '"'}) {
    if (IsQuotable(picture, quote, settings)) {
      FUZZ_CHECK(FormatDate(quote + picture + quote, date, settings) == picture);
    }
  }

  // Year, month and day read back as the same day.
  const std::string numeric = FormatDate("yyyy'.'mm'.'dd", date, settings);
  FUZZ_CHECK(numeric.size() == 10 && numeric[4] == '.' && numeric[7] == '.');
  int year = 0;
  int month = 0;
  int dayOfMonth = 0;
  TDateTime back = 0;
  FUZZ_CHECK(TryStrToInt(std::string_view(numeric).substr(0, 4), year) &&
             TryStrToInt(std::string_view(numeric).substr(5, 2), month) &&
             TryStrToInt(std::string_view(numeric).substr(8, 2), dayOfMonth) &&
             TryEncodeDate(year, month, dayOfMonth, back) && back == day);
  return 0;
}
