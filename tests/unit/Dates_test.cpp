#include "common/Dates.h"

#include <gtest/gtest.h>

namespace reelstart {
namespace {

TEST(DatesTest, EncodesDaysFrom30December1899) {
  struct Case {
    int year, month, day;
    double expected;
  } cases[] = {
      {1899, 12, 30, 0},      {1899, 12, 31, 1},     {1900, 1, 1, 2},
      {1900, 3, 1, 61},       {2007, 5, 29, 39231},  {2000, 2, 29, 36585},
      {1, 1, 1, -693593},     {9999, 12, 31, 2958465},
  };
  for (const Case& c : cases) {
    TDateTime date = -1;
    ASSERT_TRUE(TryEncodeDate(c.year, c.month, c.day, date)) << c.year;
    EXPECT_EQ(date, c.expected) << c.year << "-" << c.month << "-" << c.day;
    int year = 0, month = 0, day = 0;
    DecodeDate(date, year, month, day);
    EXPECT_EQ(year * 10000 + month * 100 + day, c.year * 10000 + c.month * 100 + c.day);
  }
}

TEST(DatesTest, RejectsDatesThatDoNotExist) {
  const int cases[][3] = {{1900, 2, 29}, {2007, 2, 29}, {2007, 2, 30}, {2007, 13, 1},
                          {2007, 0, 1},  {2007, 4, 31}, {2007, 1, 0},  {0, 1, 1},
                          {10000, 1, 1}, {-1, 1, 1}};
  for (const auto& c : cases) {
    TDateTime date = 42;
    EXPECT_FALSE(TryEncodeDate(c[0], c[1], c[2], date)) << c[0] << "-" << c[1] << "-" << c[2];
    EXPECT_EQ(date, 42);
  }
  TDateTime date = 0;
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, date));
  EXPECT_TRUE(TryEncodeDate(2004, 2, 29, date));
}

TEST(DatesTest, DecodesEveryDayOfALeapCentury) {
  int year = 0, month = 0, day = 0;
  TDateTime previous = 0;
  ASSERT_TRUE(TryEncodeDate(1999, 12, 31, previous));
  for (TDateTime date = previous + 1; date < previous + 366 * 2; ++date) {
    DecodeDate(date, year, month, day);
    TDateTime again = 0;
    ASSERT_TRUE(TryEncodeDate(year, month, day, again));
    ASSERT_EQ(again, date);
  }
}

}  // namespace
}  // namespace reelstart
