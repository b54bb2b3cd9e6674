#include "common/Locale.h"

#include "platform/Platform.h"

namespace reelstart {

TLeadBytes GetAnsiLeadBytes() {
  Platform& platform = ThePlatform();
  TLeadBytes leadBytes;
  for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
    leadBytes[byte] = platform.IsDBCSLeadByte(static_cast<unsigned char>(byte));
  }
  return leadBytes;
}

TFormatSettings GetLocaleFormatSettings() {
  Platform& platform = ThePlatform();
  TFormatSettings settings;
  std::string picture = platform.GetLocaleInfoA(win::kLocaleSShortDate);
  if (!picture.empty()) settings.ShortDateFormat = std::move(picture);
  const std::string separator = platform.GetLocaleInfoA(win::kLocaleSDate);
  if (separator.size() == 1) settings.DateSeparator = separator[0];
  for (std::uint32_t month = 0; month < 12; ++month) {
    settings.ShortMonthNames[month] = platform.GetLocaleInfoA(win::kLocaleSAbbrevMonthName1 + month);
    settings.LongMonthNames[month] = platform.GetLocaleInfoA(win::kLocaleSMonthName1 + month);
  }
  // The locale counts its day names from Monday.
  for (std::uint32_t day = 0; day < 7; ++day) {
    const std::uint32_t fromMonday = (day + 6) % 7;
    settings.ShortDayNames[day] = platform.GetLocaleInfoA(win::kLocaleSAbbrevDayName1 + fromMonday);
    settings.LongDayNames[day] = platform.GetLocaleInfoA(win::kLocaleSDayName1 + fromMonday);
  }
  settings.LeadBytes = GetAnsiLeadBytes();
  return settings;
}

}  // namespace reelstart
