#include "common/DateFormat.h"

#include <cmath>

#include "common/Text.h"

namespace reelstart {

namespace {

void AppendNumber(std::string& text, int value, int minDigits) {
  char digits[12];
  int count = 0;
  auto rest = static_cast<unsigned>(value < 0 ? -value : value);
  do {
    digits[count++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0) text += '-';
  for (int i = count; i < minDigits; ++i) text += '0';
  while (count > 0) text += digits[--count];
}

}  // namespace

int DayOfWeek(TDateTime date) {
  const long days = static_cast<long>(std::floor(date));
  return static_cast<int>(((days % 7) + 7 + 6) % 7);
}

std::string FormatDate(std::string_view picture, TDateTime date, const TFormatSettings& settings) {
  int year = 0;
  int month = 0;
  int day = 0;
  DecodeDate(date, year, month, day);
  const auto isLead = [&](char c) { return settings.LeadBytes[static_cast<unsigned char>(c)]; };

  std::string text;
  std::size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    if (isLead(c)) {
      // A double-byte character is copied whole, however its trail byte reads.
      text += picture.substr(i, 2);
      i += 2;
      continue;
    }
    const char letter = AsciiLower(c);
    if (letter == 'd' || letter == 'm' || letter == 'y') {
      std::size_t count = 1;
      while (i + count < picture.size() && AsciiLower(picture[i + count]) == letter) ++count;
      i += count;
      if (letter == 'y') {
        if (count <= 2) {
          AppendNumber(text, year % 100, 2);
        } else {
          AppendNumber(text, year, 4);
        }
      } else if (count <= 2) {
        AppendNumber(text, letter == 'd' ? day : month, static_cast<int>(count));
      } else if (letter == 'd') {
        const int weekday = DayOfWeek(date);
        text += count == 3 ? settings.ShortDayNames[weekday] : settings.LongDayNames[weekday];
      } else {
        text += count == 3 ? settings.ShortMonthNames[month - 1] : settings.LongMonthNames[month - 1];
      }
    } else if (c == '/') {
      text += settings.DateSeparator;
      ++i;
    } else if (c == '\'' || c == '"') {
      ++i;
      while (i < picture.size() && picture[i] != c) {
        const std::size_t length = isLead(picture[i]) ? 2 : 1;
        text += picture.substr(i, length);
        i += length;
      }
      ++i;  // the closing quote, when there is one
    } else {
      text += c;
      ++i;
    }
  }
  return text;
}

}  // namespace reelstart
