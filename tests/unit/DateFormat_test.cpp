#include "common/DateFormat.h"

#include <gtest/gtest.h>

#include <string>

#include "common/Locale.h"
#include "platform/Win1251.h"
#include "support/Platform_mem.h"

namespace reelstart {
namespace {

std::string Ansi(std::string_view text) { return std::string(text); }

// A Russian locale as Windows describes it.
void SetRussianLocale(MemoryPlatform& platform) {
  const std::string longMonths[12] = {
      Ansi(Win1251(u8"Январь")), Ansi(Win1251(u8"Февраль")), Ansi(Win1251(u8"Март")),
      Ansi(Win1251(u8"Апрель")), Ansi(Win1251(u8"Май")),     Ansi(Win1251(u8"Июнь")),
      Ansi(Win1251(u8"Июль")),   Ansi(Win1251(u8"Август")),  Ansi(Win1251(u8"Сентябрь")),
      Ansi(Win1251(u8"Октябрь")), Ansi(Win1251(u8"Ноябрь")), Ansi(Win1251(u8"Декабрь"))};
  const std::string shortMonths[12] = {
      Ansi(Win1251(u8"янв")), Ansi(Win1251(u8"фев")), Ansi(Win1251(u8"мар")),
      Ansi(Win1251(u8"апр")), Ansi(Win1251(u8"май")), Ansi(Win1251(u8"июн")),
      Ansi(Win1251(u8"июл")), Ansi(Win1251(u8"авг")), Ansi(Win1251(u8"сен")),
      Ansi(Win1251(u8"окт")), Ansi(Win1251(u8"ноя")), Ansi(Win1251(u8"дек"))};
  // Monday first, as the locale counts them.
  const std::string longDays[7] = {
      Ansi(Win1251(u8"понедельник")), Ansi(Win1251(u8"вторник")), Ansi(Win1251(u8"среда")),
      Ansi(Win1251(u8"четверг")),     Ansi(Win1251(u8"пятница")), Ansi(Win1251(u8"суббота")),
      Ansi(Win1251(u8"воскресенье"))};
  const std::string shortDays[7] = {Ansi(Win1251(u8"Пн")), Ansi(Win1251(u8"Вт")),
                                    Ansi(Win1251(u8"Ср")), Ansi(Win1251(u8"Чт")),
                                    Ansi(Win1251(u8"Пт")), Ansi(Win1251(u8"Сб")),
                                    Ansi(Win1251(u8"Вс"))};
  platform.LocaleInfo[win::kLocaleSShortDate] = "dd.MM.yyyy";
  platform.LocaleInfo[win::kLocaleSDate] = ".";
  for (std::uint32_t i = 0; i < 12; ++i) {
    platform.LocaleInfo[win::kLocaleSMonthName1 + i] = longMonths[i];
    platform.LocaleInfo[win::kLocaleSAbbrevMonthName1 + i] = shortMonths[i];
  }
  for (std::uint32_t i = 0; i < 7; ++i) {
    platform.LocaleInfo[win::kLocaleSDayName1 + i] = longDays[i];
    platform.LocaleInfo[win::kLocaleSAbbrevDayName1 + i] = shortDays[i];
  }
}

TDateTime Date(int year, int month, int day) {
  TDateTime date = -1;
  EXPECT_TRUE(TryEncodeDate(year, month, day, date));
  return date;
}

class DateFormatTest : public ::testing::Test {
 protected:
  DateFormatTest() {
    SetRussianLocale(platform);
    settings = GetLocaleFormatSettings();
  }

  MemoryPlatform platform;
  TFormatSettings settings;
};

TEST_F(DateFormatTest, PictureTable) {
  static constexpr auto kQuotedRussian = Win1251(u8"yyyy' г.'");
  struct Case {
    const char* picture;
    TDateTime date;
    std::string expected;
  } cases[] = {
      {"dd.MM.yyyy", Date(2007, 5, 29), "29.05.2007"},
      {"dd.MM.yyyy", 0, "30.12.1899"},
      {"dd.MM.yyyy", Date(2009, 1, 5), "05.01.2009"},
      {"d.M.yy", Date(2009, 1, 5), "5.1.09"},
      {"m/d/yy", Date(2007, 5, 29), "5.29.07"},  // "/" is the locale's separator
      {"m/d/yy", 0, "12.30.99"},
      {"d MMMM yyyy", Date(2007, 5, 29), Ansi(Win1251(u8"29 Май 2007"))},
      {"d mmmm yyyy", Date(2007, 12, 1), Ansi(Win1251(u8"1 Декабрь 2007"))},
      {"d MMM yy", Date(2007, 1, 31), Ansi(Win1251(u8"31 янв 07"))},
      {"mmmmmm", Date(2007, 2, 1), Ansi(Win1251(u8"Февраль"))},
      {"ddd, dd", Date(2007, 5, 29), Ansi(Win1251(u8"Вт, 29"))},
      {"dddd", Date(2007, 5, 29), Ansi(Win1251(u8"вторник"))},
      {"DDDD d", 0, Ansi(Win1251(u8"суббота 30"))},
      {"dddd", Date(2007, 6, 3), Ansi(Win1251(u8"воскресенье"))},
      {"ddd", Date(2007, 5, 28), Ansi(Win1251(u8"Пн"))},
      {"ddddd", Date(2007, 5, 28), Ansi(Win1251(u8"понедельник"))},
      {"y", Date(2007, 5, 29), "07"},
      {"YY", Date(2000, 5, 29), "00"},
      {"yyy", Date(2007, 5, 29), "2007"},
      {"yyyyy", Date(2007, 5, 29), "2007"},
      {"yyyy yy", Date(5, 3, 4), "0005 05"},
      {"dD.Mm", Date(2007, 5, 9), "09.05"},  // a run of one letter in either case
      {"yyyy'y'd", Date(2007, 5, 29), "2007y29"},
      {kQuotedRussian.bytes, Date(2007, 5, 29), Ansi(Win1251(u8"2007 г."))},
      {"\"dd/mm\" dd/mm", Date(2007, 5, 29), "dd/mm 29.05"},
      {"'it''s' d", Date(2007, 5, 29), "its 29"},
      {"d 'mm", Date(2007, 5, 29), "29 mm"},  // an unclosed quote runs to the end
      {"\"'d'\"", Date(2007, 5, 29), "'d'"},
      {"h:n:s, ampm", Date(2007, 5, 29), "h:n:s, a5p5"},  // no time of day here
      {"", Date(2007, 5, 29), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDate(c.picture, c.date, settings), c.expected) << c.picture;
  }
}

TEST_F(DateFormatTest, DateToStrUsesTheShortDatePicture) {
  EXPECT_EQ(DateToStr(Date(2007, 5, 29), settings), "29.05.2007");
  settings.ShortDateFormat = "yyyy/mm/dd";
  settings.DateSeparator = '-';
  EXPECT_EQ(DateToStr(Date(2007, 5, 29), settings), "2007-05-29");
}

TEST_F(DateFormatTest, SeparatorAndPictureFromTheLocale) {
  struct Case {
    const char* shortDate;  // nullptr: the locale has none
    const char* separator;
    std::string expectedPicture;
    char expectedSeparator;
  } cases[] = {
      {"dd.MM.yyyy", ".", "dd.MM.yyyy", '.'},
      {"dd/MM/yyyy", "-", "dd/MM/yyyy", '-'},
      {nullptr, ".", "m/d/yy", '.'},
      {"", "", "m/d/yy", '/'},
      {"d.M.yy", nullptr, "d.M.yy", '/'},
      {"yyyy. MM. dd.", ". ", "yyyy. MM. dd.", '/'},  // longer than one character
  };
  for (const Case& c : cases) {
    MemoryPlatform local;
    local.LocaleInfo.clear();
    if (c.shortDate != nullptr) local.LocaleInfo[win::kLocaleSShortDate] = c.shortDate;
    if (c.separator != nullptr) local.LocaleInfo[win::kLocaleSDate] = c.separator;
    const TFormatSettings read = GetLocaleFormatSettings();
    EXPECT_EQ(read.ShortDateFormat, c.expectedPicture);
    EXPECT_EQ(read.DateSeparator, c.expectedSeparator) << (c.separator ? c.separator : "(none)");
  }
}

TEST_F(DateFormatTest, ReadsEveryNameOnce) {
  platform.LocaleInfoReads.clear();
  const TFormatSettings read = GetLocaleFormatSettings();
  EXPECT_EQ(platform.LocaleInfoReads.size(), 2u + 12u * 2u + 7u * 2u);
  EXPECT_EQ(read.LongMonthNames[0], Ansi(Win1251(u8"Январь")));
  EXPECT_EQ(read.ShortMonthNames[11], Ansi(Win1251(u8"дек")));
  EXPECT_EQ(read.LongDayNames[0], Ansi(Win1251(u8"воскресенье")));
  EXPECT_EQ(read.ShortDayNames[1], Ansi(Win1251(u8"Пн")));
  EXPECT_EQ(read.ShortDayNames[6], Ansi(Win1251(u8"Сб")));
}

TEST_F(DateFormatTest, MissingNamesGiveEmptyText) {
  MemoryPlatform bare;
  bare.LocaleInfo.clear();
  const TFormatSettings read = GetLocaleFormatSettings();
  EXPECT_EQ(DateToStr(Date(2007, 5, 29), read), "5/29/07");
  EXPECT_EQ(FormatDate("[mmmm][ddd]", Date(2007, 5, 29), read), "[][]");
}

TEST_F(DateFormatTest, TrailBytesOfDoubleByteCharactersAreNoLetters) {
  MemoryPlatform japanese;
  japanese.SetCodePage(932);
  japanese.LocaleInfo = platform.LocaleInfo;
  const TFormatSettings read = GetLocaleFormatSettings();
  // 0x93 0x64 is one character whose second byte reads as 'd'; 0x94 0x4E
  // ("yyyy" + 0x94 0x4E is how a year is written) ends in 'N'.
  EXPECT_EQ(FormatDate("\x93\x64-d", Date(2007, 5, 29), read), "\x93\x64-29");
  EXPECT_EQ(FormatDate("yyyy\x94\x4Em\x8C\x8E", Date(2007, 5, 29), read),
            "2007\x94\x4E" "5\x8C\x8E");
  // A lead byte at the very end is copied alone.
  EXPECT_EQ(FormatDate("d\x93", Date(2007, 5, 29), read), "29\x93");
  // Under code page 1251 the same bytes are two characters.
  EXPECT_EQ(FormatDate("\x93\x64-d", Date(2007, 5, 29), settings), "\x93" "29-29");
}

TEST(DayOfWeekTest, CountsFromSunday) {
  const struct {
    TDateTime date;
    int expected;
  } cases[] = {{0, 6}, {1, 0}, {2, 1}, {-1, 5}, {-7, 6}, {39231, 2}, {0.75, 6}};
  for (const auto& c : cases) EXPECT_EQ(DayOfWeek(c.date), c.expected) << c.date;
}

}  // namespace
}  // namespace reelstart
