#include "common/Text.h"

#include <gtest/gtest.h>

#include "common/Errors.h"
#include "platform/Win1251.h"

namespace reelstart {
namespace {

TEST(TextTest, AsciiLowerCaseFoldsOnlyAscii) {
  EXPECT_EQ(AsciiLowerCase(".AVI"), ".avi");
  EXPECT_EQ(AsciiLowerCase(".Dvr-MS"), ".dvr-ms");
  // Windows-1251 capital letters stay as they are.
  EXPECT_EQ(AsciiLowerCase("\xC0\xC1Z"), "\xC0\xC1z");
}

TEST(TextTest, AsciiCompareTextIsAnUnsignedByteOrder) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"D:\\a.avi", "D:\\A.AVI", 0},
      {"D:\\a.avi", "D:\\b.avi", -1},
      {"D:\\B.avi", "D:\\a.avi", 1},
      {"D:\\a", "D:\\a.avi", -1},          // a prefix comes first
      {"D:\\_.avi", "D:\\a.avi", 1},       // '_' (0x5F) after 'A' (0x41) once folded up
      {"D:\\\xE0.avi", "D:\\z.avi", 1},    // bytes over 0x7F are unsigned
      {"D:\\\xE0.avi", "D:\\\xC0.avi", 1},  // Cyrillic is not folded
  };
  for (const Case& c : cases) {
    const int result = AsciiCompareText(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
  }
}

TEST(FormatTest, FillsPlaceholders) {
  struct Case {
    const char* format;
    const char* expected;
  } cases[] = {
      {"%s-%s", "ab-c"},
      {"%1:s %0:s %1:s", "c ab c"},
      {"%s %s %0:s %s", "ab c ab c"},  // an index moves the sequence on
      {"%2:s", "def"},
      {"100%% %s", "100% ab"},
      {"[%3s][%-3s][%.1s]", "[ ab][c  ][d]"},
      {"[%0:-4.1s]", "[a   ]"},
      {"[%0000000000003s][%.999999999s]", "[ ab][c]"},  // leading zeros add no size
      {"%S", "ab"},
      {"no placeholders", "no placeholders"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Format(c.format, {"ab", "c", "def"}), c.expected) << c.format;
  }
}

TEST(FormatTest, RejectsBadPlaceholders) {
  struct Case {
    const char* format;
    const char* message;
  } cases[] = {
      {"%d", "Format '%d' invalid or incompatible with argument"},
      {"50%", "Format '50%' invalid or incompatible with argument"},
      {"%1:", "Format '%1:' invalid or incompatible with argument"},
      {"%.s", "Format '%.s' invalid or incompatible with argument"},
      {"%x:s", "Format '%x:s' invalid or incompatible with argument"},
      // A number too large for a width, index or precision is not read in part.
      {"%1234567890123s", "Format '%1234567890123s' invalid or incompatible with argument"},
      {"%1000000000:s", "Format '%1000000000:s' invalid or incompatible with argument"},
      {"%-1000000000s", "Format '%-1000000000s' invalid or incompatible with argument"},
      {"%.99999999999s", "Format '%.99999999999s' invalid or incompatible with argument"},
      {"%999999999:s", "No argument for format '%999999999:s'"},
      {"%2:s", "No argument for format '%2:s'"},
      {"%s %s %s", "No argument for format '%s %s %s'"},
  };
  for (const Case& c : cases) {
    try {
      Format(c.format, {"a", "b"});
      ADD_FAILURE() << c.format << " was accepted";
    } catch (const EConvertError& error) {
      EXPECT_STREQ(error.ClassName(), "EConvertError");
      EXPECT_EQ(error.Message(), c.message);
    }
  }
}

TEST(TryStrToIntTest, ReadsWholeIntegers) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"0", 0},
      {"42", 42},
      {"007", 7},
      {"   42", 42},
      {"+42", 42},
      {"-42", -42},
      {"  -42", -42},
      {"$2A", 42},
      {"$2a", 42},
      {"x2A", 42},
      {"X2a", 42},
      {"0x2A", 42},
      {"0X2a", 42},
      {"-$2A", -42},
      {"+0x2A", 42},
      {"-x10", -16},
      {"$0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"$7FFFFFFF", 2147483647},
      {"-$80000000", -2147483647 - 1},
      {"0000000000002147483647", 2147483647},
  };
  for (const Case& c : cases) {
    int value = 12345;
    EXPECT_TRUE(TryStrToInt(c.text, value)) << "'" << c.text << "'";
    EXPECT_EQ(value, c.expected) << "'" << c.text << "'";
  }
}

TEST(TryStrToIntTest, RejectsAnythingElseAndLeavesTheValue) {
  const char* const cases[] = {
      "", " ", "+", "-", "$", "x", "0x", "-$",
      "42 ", "4 2", "- 42", "+-1", "--1", "\t42", "42\t", "\n42",
      "4a", "1e3", "0b1", "1.0", "1,0", "$-1", "0x-1", "00x1", "0xx1", "$$1", "$G", "0x1G",
      "2147483648", "-2147483649", "$80000000", "$FFFFFFFF", "99999999999", "$100000000",
      "\xB3\xB7",
  };
  for (const char* text : cases) {
    int value = 12345;
    EXPECT_FALSE(TryStrToInt(text, value)) << "'" << text << "'";
    EXPECT_EQ(value, 12345) << "'" << text << "'";
  }
  int value = 1;
  EXPECT_FALSE(TryStrToInt(std::string_view("1\0", 2), value));  // nothing after the digits
}

TEST(Win1251Test, GivesTheCodePageBytes) {
  constexpr auto text = Win1251(u8"Фильмы: Ёё аАяЯ");
  EXPECT_EQ(std::string_view(text), "\xD4\xE8\xEB\xFC\xEC\xFB: \xA8\xB8 \xE0\xC0\xFF\xDF");
  constexpr auto signs = Win1251(u8"© 2007 — № 1");
  EXPECT_EQ(std::string_view(signs), "\xA9 2007 \x97 \xB9 1");
}

}  // namespace
}  // namespace reelstart
