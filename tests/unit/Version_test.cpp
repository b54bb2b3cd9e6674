#include "version/QVVersion.h"

#include <gtest/gtest.h>

#include "support/VersionBlockBuilder.h"
#include "common/Errors.h"
#include "platform/Win1251.h"
#include "support/FailingPlatform.h"
#include "support/Platform_mem.h"

namespace reelstart {
namespace {

using namespace version_builder;

constexpr std::uint16_t kRussian = 0x0419;
constexpr std::uint16_t kCyrillic = 1251;

// The ten standard values, as the program's own resource has them.
std::vector<VersionEntry> StandardValues(std::u16string_view company = u"Velkor Programs") {
  return {
      TextValue(u"Comments", u"Программа автоматического запуска видеофайлов"),
      TextValue(u"CompanyName", company),
      TextValue(u"FileDescription", u"Программа запуска видеофайлов"),
      TextValue(u"FileVersion", u"2.2.0.1020"),
      TextValue(u"InternalName", u"Reelstart"),
      TextValue(u"LegalCopyright", u"Copyright © 2007 Velkor Programs"),
      TextValue(u"LegalTrademarks", u"Velkor Programs"),
      TextValue(u"OriginalFilename", u"Reelstart.exe"),
      TextValue(u"ProductName", u"Velkor Programs Reelstart"),
      TextValue(u"ProductVersion", u"2.2.0"),
  };
}

// The maker's own values, at the root of the resource.
VersionEntry MakersValues(std::u16string_view releaseDate = u"2007.05.29") {
  return Block(u"VelkorPrograms", {
                                      TextValue(u"Author", u"Иван Петров"),
                                      TextValue(u"PublisherSite", u"http://velkor.example/"),
                                      TextValue(u"ReleaseDate", releaseDate),
                                  });
}

class VersionInfoTest : public ::testing::Test {
 protected:
  VersionInfoTest() {
    platform.StringTable[65436] = std::string(Win1251(u8"Файл \"%s\" не найден."));
    platform.AddFile(kFile, 50000);
  }

  void SetResource(std::string resource, const std::string& file = kFile) {
    platform.VersionResources[file] = std::move(resource);
  }

  static constexpr const char* kFile = "D:\\start.exe";
  MemoryPlatform platform;
  TQVFileVersionInfo info;
};

void ExpectCustomValuesEmpty(const TQVFileVersionInfo& info) {
  EXPECT_EQ(info.Author, "");
  EXPECT_EQ(info.PublisherSite, "");
  EXPECT_EQ(info.ReleaseDate, "");
  EXPECT_EQ(info.GetReleaseDate(), 0);
}

void ExpectAllEmptyButFileNameAndLanguage(const TQVFileVersionInfo& info) {
  for (const std::string* field :
       {&info.Author, &info.Comments, &info.CompanyName, &info.FileDescription, &info.FileVersion,
        &info.InternalName, &info.LegalCopyright, &info.LegalTrademarks, &info.OriginalFilename,
        &info.ProductName, &info.ProductVersion, &info.PublisherSite, &info.ReleaseDate}) {
    EXPECT_EQ(*field, "");
  }
}

TEST_F(VersionInfoTest, EveryFieldStartsEmpty) {
  ExpectAllEmptyButFileNameAndLanguage(info);
  EXPECT_EQ(info.FileName, "");
  EXPECT_EQ(info.Language, "");
}

TEST_F(VersionInfoTest, ReadsTheTenStandardValuesInTheCodePage) {
  SetResource(VersionResource(u"041904E3", StandardValues(), kRussian, kCyrillic));
  info.SetFileName(kFile);
  EXPECT_EQ(info.FileName, kFile);
  EXPECT_EQ(info.Language, "041904E3");
  EXPECT_EQ(info.Comments, std::string_view(Win1251(u8"Программа автоматического запуска видеофайлов")));
  EXPECT_EQ(info.CompanyName, "Velkor Programs");
  EXPECT_EQ(info.FileDescription, std::string_view(Win1251(u8"Программа запуска видеофайлов")));
  EXPECT_EQ(info.FileVersion, "2.2.0.1020");
  EXPECT_EQ(info.InternalName, "Reelstart");
  EXPECT_EQ(info.LegalCopyright, "Copyright \xA9 2007 Velkor Programs");
  EXPECT_EQ(info.LegalTrademarks, "Velkor Programs");
  EXPECT_EQ(info.OriginalFilename, "Reelstart.exe");
  EXPECT_EQ(info.ProductName, "Velkor Programs Reelstart");
  EXPECT_EQ(info.ProductVersion, "2.2.0");
  // The program's own resource has no values of the maker's own.
  ExpectCustomValuesEmpty(info);
}

TEST_F(VersionInfoTest, TheMakersCompanyReadsTheCustomValues) {
  SetResource(VersionResource(u"041904E3", StandardValues(), kRussian, kCyrillic, {MakersValues()}));
  info.SetFileName(kFile);
  EXPECT_EQ(info.Author, std::string_view(Win1251(u8"Иван Петров")));
  EXPECT_EQ(info.PublisherSite, "http://velkor.example/");
  EXPECT_EQ(info.ReleaseDate, "2007.05.29");
  EXPECT_EQ(info.GetReleaseDate(), 39231);
}

TEST_F(VersionInfoTest, AnyOtherCompanyLeavesTheCustomValuesEmpty) {
  for (const std::u16string_view company :
       {u"velkor programs", u"VELKOR PROGRAMS", u"Velkor Programs ", u" Velkor Programs",
        u"Velkor", u"Other Company", u""}) {
    SetResource(
        VersionResource(u"041904E3", StandardValues(company), kRussian, kCyrillic, {MakersValues()}));
    info.SetFileName(kFile);
    SCOPED_TRACE(info.CompanyName);
    EXPECT_EQ(info.CompanyName, Win1251FromUtf16(company));
    ExpectCustomValuesEmpty(info);
  }
}

TEST_F(VersionInfoTest, CustomValuesAreReadFromTheRootOnly) {
  std::vector<VersionEntry> values = StandardValues();
  values.push_back(MakersValues());  // inside the string table: not the maker's place
  SetResource(VersionResource(u"041904E3", values, kRussian, kCyrillic));
  info.SetFileName(kFile);
  EXPECT_EQ(info.CompanyName, "Velkor Programs");
  ExpectCustomValuesEmpty(info);
}

TEST_F(VersionInfoTest, EmptyCustomValuesStayEmpty) {
  VersionEntry makers = Block(u"VelkorPrograms", {TextValue(u"Author", u""),
                                                  BinaryValue(u"PublisherSite", ""),
                                                  TextValue(u"ReleaseDate", u"2007.5.29")});
  SetResource(VersionResource(u"041904E3", StandardValues(), kRussian, kCyrillic, {makers}));
  info.SetFileName(kFile);
  EXPECT_EQ(info.Author, "");
  EXPECT_EQ(info.PublisherSite, "");
  EXPECT_EQ(info.ReleaseDate, "2007.5.29");
  EXPECT_EQ(info.GetReleaseDate(), 39231);
}

TEST_F(VersionInfoTest, LanguageIsTheFirstTranslationInUpperCaseHex) {
  std::vector<VersionEntry> children = {
      Block(u"StringFileInfo", {Block(u"040904B0", {TextValue(u"ProductName", u"Player")})}),
      Block(u"VarFileInfo", {BinaryValue(u"Translation", Translation(0x0409, 0x04B0) +
                                                             Translation(0x0419, 0x04E3))}),
  };
  SetResource(VersionResource(children));
  info.SetFileName(kFile);
  EXPECT_EQ(info.Language, "040904B0");
  EXPECT_EQ(info.ProductName, "Player");

  children[1] = Block(u"VarFileInfo", {BinaryValue(u"Translation", Translation(0xabcd, 0x00ef))});
  SetResource(VersionResource(children));
  info.Refresh();
  EXPECT_EQ(info.Language, "ABCD00EF");
  EXPECT_EQ(info.ProductName, "");  // no table "ABCD00EF"
}

TEST_F(VersionInfoTest, WithoutTranslationEveryValueStaysEmpty) {
  SetResource(VersionResource(
      {Block(u"StringFileInfo", {Block(u"041904E3", StandardValues())}), MakersValues()}));
  info.SetFileName(kFile);
  EXPECT_EQ(info.Language, "");
  ExpectAllEmptyButFileNameAndLanguage(info);
}

TEST_F(VersionInfoTest, AShortTranslationKeepsTheLanguageOfTheLastLoad) {
  SetResource(VersionResource(u"041904E3", StandardValues(), kRussian, kCyrillic));
  info.SetFileName(kFile);
  ASSERT_EQ(info.Language, "041904E3");

  platform.AddFile("D:\\other.exe", 1000);
  std::vector<VersionEntry> values = StandardValues();
  values[9] = TextValue(u"ProductVersion", u"3.0");
  SetResource(VersionResource({Block(u"StringFileInfo", {Block(u"041904E3", values)}),
                               Block(u"VarFileInfo", {BinaryValue(u"Translation", "\x19\x04\xE3")})}),
              "D:\\other.exe");
  info.SetFileName("D:\\other.exe");
  EXPECT_EQ(info.Language, "041904E3");
  EXPECT_EQ(info.ProductVersion, "3.0");  // read with the language kept
}

TEST_F(VersionInfoTest, AFileWithoutResourceLeavesTheFieldsEmpty) {
  info.SetFileName(kFile);
  EXPECT_EQ(info.FileName, kFile);
  EXPECT_EQ(info.Language, "");
  ExpectAllEmptyButFileNameAndLanguage(info);

  SetResource("");  // a resource of no bytes is none
  info.Refresh();
  ExpectAllEmptyButFileNameAndLanguage(info);
}

TEST_F(VersionInfoTest, RefreshClearsWhatTheLastLoadRead) {
  const struct {
    const char* name;
    void (*arrange)(MemoryPlatform&, FailingPlatform&);
  } rows[] = {
      {"resource gone", [](MemoryPlatform& p, FailingPlatform&) { p.VersionResources.clear(); }},
      // Sized, but the block fails to load: it stays zero-filled.
      {"block not loaded",
       [](MemoryPlatform&, FailingPlatform& f) {
         f.FailCall(FailingPlatform::Call::GetFileVersionInfoA, 1, win::kErrorNotEnoughMemory);
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetResource(
        VersionResource(u"041904E3", StandardValues(), kRussian, kCyrillic, {MakersValues()}));
    info.SetFileName(kFile);
    ASSERT_EQ(info.Author, std::string_view(Win1251(u8"Иван Петров")));
    FailingPlatform faults(platform);
    row.arrange(platform, faults);
    info.Refresh();
    ExpectAllEmptyButFileNameAndLanguage(info);
    EXPECT_EQ(info.Language, "041904E3");  // Clear leaves it
  }
}

TEST_F(VersionInfoTest, ClearKeepsFileNameAndLanguage) {
  SetResource(VersionResource(u"041904E3", StandardValues(), kRussian, kCyrillic, {MakersValues()}));
  info.SetFileName(kFile);
  info.Clear();
  EXPECT_EQ(info.FileName, kFile);
  EXPECT_EQ(info.Language, "041904E3");
  ExpectAllEmptyButFileNameAndLanguage(info);
}

TEST_F(VersionInfoTest, AMissingFileRaisesEInOutError) {
  SetResource(VersionResource(u"041904E3", StandardValues(), kRussian, kCyrillic));
  info.SetFileName(kFile);
  platform.AddFolder("D:\\Films.exe");
  for (const std::string missing : {"D:\\gone.exe", "D:\\Films.exe", "Q:\\start.exe"}) {
    SCOPED_TRACE(missing);
    try {
      info.SetFileName(missing);
      ADD_FAILURE() << "no error";
    } catch (const EInOutError& error) {
      EXPECT_STREQ(error.ClassName(), "EInOutError");
      // "Файл "%s" не найден." in Windows-1251.
      EXPECT_EQ(error.Message(),
                "\xD4\xE0\xE9\xEB \"" + missing + "\" \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED.");
    }
    EXPECT_EQ(info.FileName, missing);
    ExpectAllEmptyButFileNameAndLanguage(info);
  }
}

TEST_F(VersionInfoTest, QueryStringValueReadsTheTableOfTheLanguage) {
  SetResource(VersionResource(u"041904E3", StandardValues(), kRussian, kCyrillic));
  info.SetFileName(kFile);
  std::string block(platform.GetFileVersionInfoSizeA(kFile), '\0');
  ASSERT_TRUE(platform.GetFileVersionInfoA(kFile, block));
  EXPECT_EQ(info.QueryStringValue(block, "InternalName"), "Reelstart");
  EXPECT_EQ(info.QueryStringValue(block, "internalname"), "Reelstart");  // keys ignore case
  EXPECT_EQ(info.QueryStringValue(block, "Internal"), "");
  EXPECT_EQ(info.QueryStringValue(block, "PrivateBuild"), "");
  info.Language = "040904B0";
  EXPECT_EQ(info.QueryStringValue(block, "InternalName"), "");
}

TEST_F(VersionInfoTest, TextIsTakenUpToItsTerminatingZero) {
  VersionEntry embedded = TextValue(u"Comments", u"first");
  embedded.Value = Utf16Bytes(std::u16string(u"first\0second\0", 13));
  embedded.ValueLength = 13;
  VersionEntry unterminated = TextValue(u"ProductName", u"");
  unterminated.Value = Utf16Bytes(u"Reel");  // a compiler that does not count the zero
  unterminated.ValueLength = 4;
  SetResource(VersionResource(u"041904E3", {embedded, unterminated}, kRussian, kCyrillic));
  info.SetFileName(kFile);
  EXPECT_EQ(info.Comments, "first");
  EXPECT_EQ(info.ProductName, "Reel");
}

// ReleaseDate as a date: day count from 30 December 1899, 0 for anything
// that is no date.
TEST_F(VersionInfoTest, GetReleaseDate) {
  struct Case {
    const char* text;
    double expected;
  } cases[] = {
      {"2007.5.29", 39231},
      {"2007.05.29", 39231},
      {" 2007.05.29", 39231},
      {"2007. 5.  29", 39231},        // each part may have leading spaces
      {"+2007.+05.+29", 39231},
      {"2007.05.029", 39231},
      {"$7D7.$5.$1D", 39231},         // hexadecimal, "$"
      {"x7d7.X5.0x1d", 39231},        // "x", "X", "0x"
      {"0X7D7.0x05.0X1D", 39231},
      {"2000.2.29", 36585},           // leap century
      {"2004.2.29", 38046},
      {"1900.3.1", 61},
      {"1.1.1", -693593},
      {"9999.12.31", 2958465},
      {"1899.12.30", 0},
      {"", 0},
      {"2007-05-29", 0},
      {"2007.05", 0},
      {"2007", 0},
      {"2007.13.01", 0},
      {"2007.0.01", 0},
      {"2007.02.30", 0},
      {"2007.04.31", 0},
      {"2007.05.00", 0},
      {"1900.2.29", 0},               // 1900 is no leap year
      {"2007.2.29", 0},
      {"2007.05.29.1", 0},            // the day is "29.1"
      {"2007.05.29 ", 0},             // nothing after the digits
      {"2007 .05.29", 0},
      {"2007.5.2 9", 0},
      {"\t2007.5.29", 0},             // spaces only, no TAB
      {"2007..29", 0},
      {".5.29", 0},
      {"2007.5.", 0},
      {"2007.5.29x", 0},
      {"2007.5.0x", 0},
      {"2007.5.$", 0},
      {"2007.5.- 29", 0},
      {"0.1.1", 0},
      {"-2007.5.29", 0},
      {"10000.1.1", 0},
      {"2147483648.5.29", 0},         // past the signed 32-bit range
      {"2007.5.4294967325", 0},       // 29 if the value wrapped
      {"$1000007D7.5.29", 0},         // 2007 if the value wrapped
      {"2007.5.99999999999999999999", 0},
      {"2007.-2147483648.1", 0},
      {"\xD0\xE5\xEB\xE8\xE7", 0},
  };
  for (const Case& c : cases) {
    info.ReleaseDate = c.text;
    EXPECT_EQ(info.GetReleaseDate(), c.expected) << "'" << c.text << "'";
  }
}

}  // namespace
}  // namespace reelstart
