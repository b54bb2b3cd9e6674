// Reads the resources of the built Reelstart.exe back and checks each of
// them: the version information value by value, the two strings byte for
// byte in Windows-1251, the icons' sizes and bit depths, the manifest.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "PeResources.h"
#include "platform/Win1251.h"
#include "support/Platform_mem.h"
#include "support/VersionBlock.h"
#include "version/QVVersion.h"

namespace reelstart {
namespace {

constexpr std::uint32_t kRtIcon = 3;
constexpr std::uint32_t kRtString = 6;
constexpr std::uint32_t kRtGroupIcon = 14;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kRtManifest = 24;
constexpr std::uint32_t kRussian = 0x0419;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::uint32_t Word(const std::string& bytes, std::size_t offset) {
  return static_cast<unsigned char>(bytes.at(offset)) |
         static_cast<unsigned char>(bytes.at(offset + 1)) << 8;
}

std::uint32_t Dword(const std::string& bytes, std::size_t offset) {
  return Word(bytes, offset) | Word(bytes, offset + 2) << 16;
}

// UTF-16 text in Windows-1251, failing the test for a character the code page
// lacks (which LoadStringA and VerQueryValueA would turn into '?').
std::string Ansi(std::u16string_view text) {
  const std::string ansi = Win1251FromUtf16(text);
  EXPECT_EQ(Utf16FromWin1251(ansi), text) << "a character outside Windows-1251";
  return ansi;
}

class ResourcesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* path = std::getenv("REELSTART_EXE");
    exePath_ = path != nullptr ? path : "";
    const std::string image = ReadFile(exePath_);
    if (image.empty()) return;
    resources_ = new std::vector<PeResource>(ReadPeResources(image));
  }
  static void TearDownTestSuite() {
    delete resources_;
    resources_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(resources_, nullptr)
        << "cannot read Reelstart.exe at '" << exePath_
        << "' (REELSTART_EXE): build the win32 preset first";
  }

  // The one resource of `type` and `name`; fails the test when there is
  // none or more than one.
  static const PeResource& Find(std::uint32_t type, std::uint32_t name) {
    const PeResource* found = nullptr;
    for (const PeResource& resource : *resources_) {
      if (resource.Type != type || resource.Name != name) continue;
      EXPECT_EQ(found, nullptr) << "resource " << type << "/" << name << " twice";
      found = &resource;
    }
    if (found == nullptr) {
      ADD_FAILURE() << "no resource " << type << "/" << name;
      static const PeResource kNone;
      return kNone;
    }
    return *found;
  }

  static std::set<std::uint32_t> Names(std::uint32_t type) {
    std::set<std::uint32_t> names;
    for (const PeResource& resource : *resources_) {
      if (resource.Type == type) names.insert(resource.Name);
    }
    return names;
  }

  static std::string exePath_;
  static std::vector<PeResource>* resources_;
};

std::string ResourcesTest::exePath_;
std::vector<PeResource>* ResourcesTest::resources_ = nullptr;

TEST_F(ResourcesTest, HoldsJustTheProgramsResourcesInRussian) {
  std::set<std::uint32_t> types;
  for (const PeResource& resource : *resources_) {
    EXPECT_FALSE(resource.Named);
    EXPECT_EQ(resource.Language, kRussian) << resource.Type << "/" << resource.Name;
    types.insert(resource.Type);
  }
  EXPECT_EQ(types, (std::set<std::uint32_t>{kRtIcon, kRtString, kRtGroupIcon, kRtVersion,
                                            kRtManifest}));
  EXPECT_EQ(Names(kRtVersion), std::set<std::uint32_t>{1});
  EXPECT_EQ(Names(kRtManifest), std::set<std::uint32_t>{1});
}

TEST_F(ResourcesTest, VersionFixedPart) {
  const std::string& block = Find(kRtVersion, 1).Data;
  VersionNode root;
  ASSERT_TRUE(ReadVersionRoot(block, root));
  EXPECT_EQ(root.Key, u"VS_VERSION_INFO");
  EXPECT_EQ(root.Length, block.size());
  ASSERT_FALSE(root.IsText);
  ASSERT_EQ(root.ValueSize, 52u);
  const std::string fixed = block.substr(root.ValueOffset, 52);
  EXPECT_EQ(Dword(fixed, 0), 0xFEEF04BDu);  // signature
  EXPECT_EQ(Dword(fixed, 8), 0x00020002u);  // file version 2.2
  EXPECT_EQ(Dword(fixed, 12), 1020u);       // .0.1020
  EXPECT_EQ(Dword(fixed, 16), 0x00020002u);  // product version 2.2
  EXPECT_EQ(Dword(fixed, 20), 0u);           // .0.0
  EXPECT_EQ(Dword(fixed, 28), 0u);           // no debug, pre-release or patched flags
  EXPECT_EQ(Dword(fixed, 36), 1u);           // an application
}

TEST_F(ResourcesTest, VersionValuesByteForByte) {
  const std::string& block = Find(kRtVersion, 1).Data;
  VersionNode root;
  ASSERT_TRUE(ReadVersionRoot(block, root));
  const std::vector<VersionNode> children = VersionChildren(block, root);
  ASSERT_EQ(children.size(), 2u);  // none of the maker's own values
  EXPECT_EQ(children[0].Key, u"StringFileInfo");
  EXPECT_EQ(children[1].Key, u"VarFileInfo");

  const std::vector<VersionNode> tables = VersionChildren(block, children[0]);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].Key, u"041904E3");
  const std::vector<std::pair<std::u16string, std::string>> expected = {
      {u"Comments", std::string(Win1251(u8"Программа автоматического запуска видеофайлов"))},
      {u"CompanyName", "Velkor Programs"},
      {u"FileDescription", std::string(Win1251(u8"Программа запуска видеофайлов"))},
      {u"FileVersion", "2.2.0.1020"},
      {u"InternalName", "Reelstart"},
      {u"LegalCopyright", "Copyright \xA9 2007 Velkor Programs"},
      {u"LegalTrademarks", "Velkor Programs"},
      {u"OriginalFilename", "Reelstart.exe"},
      {u"ProductName", "Velkor Programs Reelstart"},
      {u"ProductVersion", "2.2.0"},
  };
  const std::vector<VersionNode> values = VersionChildren(block, tables[0]);
  ASSERT_EQ(values.size(), expected.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::u16string text = VersionText(block, values[i]);
    EXPECT_EQ(values[i].Key, expected[i].first);
    EXPECT_TRUE(values[i].IsText);
    // Stored with its terminating zero, which wValueLength counts.
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), u'\0');
    EXPECT_EQ(Ansi(text.substr(0, text.size() - 1)), expected[i].second)
        << std::string(expected[i].first.begin(), expected[i].first.end());
  }

  const std::vector<VersionNode> var = VersionChildren(block, children[1]);
  ASSERT_EQ(var.size(), 1u);
  EXPECT_EQ(var[0].Key, u"Translation");
  EXPECT_FALSE(var[0].IsText);
  EXPECT_EQ(block.substr(var[0].ValueOffset, var[0].ValueSize), "\x19\x04\xE3\x04");
}

// The version record, reading the executable's own resource through the
// host platform's version calls.
TEST_F(ResourcesTest, TheVersionRecordOfTheProgramItself) {
  MemoryPlatform platform;
  platform.AddFile("D:\\Reelstart.exe", 200000);
  platform.VersionResources["D:\\Reelstart.exe"] = Find(kRtVersion, 1).Data;
  TQVFileVersionInfo info;
  info.SetFileName("D:\\Reelstart.exe");
  EXPECT_EQ(info.Author, "");
  EXPECT_EQ(info.Comments, std::string_view(Win1251(u8"Программа автоматического запуска видеофайлов")));
  EXPECT_EQ(info.CompanyName, "Velkor Programs");
  EXPECT_EQ(info.FileDescription, std::string_view(Win1251(u8"Программа запуска видеофайлов")));
  EXPECT_EQ(info.FileName, "D:\\Reelstart.exe");
  EXPECT_EQ(info.FileVersion, "2.2.0.1020");
  EXPECT_EQ(info.InternalName, "Reelstart");
  EXPECT_EQ(info.Language, "041904E3");
  EXPECT_EQ(info.LegalCopyright, "Copyright \xA9 2007 Velkor Programs");
  EXPECT_EQ(info.LegalTrademarks, "Velkor Programs");
  EXPECT_EQ(info.OriginalFilename, "Reelstart.exe");
  EXPECT_EQ(info.ProductName, "Velkor Programs Reelstart");
  EXPECT_EQ(info.ProductVersion, "2.2.0");
  EXPECT_EQ(info.PublisherSite, "");
  EXPECT_EQ(info.ReleaseDate, "");
  EXPECT_EQ(info.GetReleaseDate(), 0);
}

// The strings of one string table block: 16 counted UTF-16 strings.
std::vector<std::u16string> StringBlock(const std::string& data) {
  std::vector<std::u16string> strings;
  std::size_t offset = 0;
  for (int i = 0; i < 16; ++i) {
    const std::uint32_t length = Word(data, offset);
    offset += 2;
    std::u16string text;
    for (std::uint32_t k = 0; k < length; ++k, offset += 2) {
      text += static_cast<char16_t>(Word(data, offset));
    }
    strings.push_back(text);
  }
  EXPECT_EQ(offset, data.size());
  return strings;
}

TEST_F(ResourcesTest, TheMissingFileMessage) {
  // Identifiers 65424 to 65439 share block 4090.
  EXPECT_EQ(Names(kRtString), std::set<std::uint32_t>{4090});
  const std::vector<std::u16string> strings = StringBlock(Find(kRtString, 4090).Data);
  for (int i = 0; i < 16; ++i) {
    if (i != 12 && i != 13) {
      EXPECT_TRUE(strings[i].empty()) << 65424 + i;
    }
  }
  // "Файл "%s" не найден."
  EXPECT_EQ(Ansi(strings[65436 - 65424]),
            "\xD4\xE0\xE9\xEB \"%s\" \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED.");
}

TEST_F(ResourcesTest, TheHelpText) {
  const std::vector<std::u16string> strings = StringBlock(Find(kRtString, 4090).Data);
  const std::u16string& help = strings[65437 - 65424];
  EXPECT_EQ(help.size(), 486u);
  const std::string lines[] = {
      std::string(Win1251(u8"Программа запуска видео-файлов текущей папки.")),
      "",
      std::string(Win1251(u8"Ищет все видео-файлы в текущей и вложенных папках, составляет "
                          u8"список воспроизведения и открывает его в медиапроигрывателе, "
                          u8"установленном в системе по умолчанию.")),
      std::string(Win1251(u8"Параметры запуска программы:")),
      "\t%0:s [/%1:s|/%2:s|/%3:s] [/%4:s|/%5:s] [/%6:s]",
      std::string(Win1251(u8"\t\t%1:s\tУпорядочивать по имени")),
      std::string(Win1251(u8"\t\t%2:s\tУпорядочивать по размеру (по умолчанию)")),
      std::string(Win1251(u8"\t\t%3:s\tНе упорядочивать")),
      std::string(Win1251(u8"\t\t%4:s\tВ порядке возрастания")),
      std::string(Win1251(u8"\t\t%5:s\tВ порядке убывания (по умолчанию)")),
      std::string(Win1251(u8"\t\t%6:s\tВывод справки")),
  };
  std::string expected;
  for (const std::string& line : lines) {
    if (&line != &lines[0]) expected += "\r\n";
    expected += line;
  }
  ASSERT_EQ(expected.size(), 486u);
  EXPECT_EQ(Ansi(help), expected);
}

struct IconImage {
  int Size;
  int BitCount;
};

// Checks icon group `group` and the images it names: square images of the
// given sizes, each a BITMAPINFOHEADER image of `bitCount` bits per pixel
// with its colour and mask bits; answers the images' bytes.
std::vector<std::string> CheckIconGroup(const std::string& group,
                                        const std::vector<IconImage>& images,
                                        const std::function<const PeResource&(std::uint32_t)>& icon) {
  std::vector<std::string> found;
  EXPECT_EQ(Word(group, 0), 0u);
  EXPECT_EQ(Word(group, 2), 1u);  // icons, not cursors
  EXPECT_EQ(Word(group, 4), images.size());
  EXPECT_EQ(group.size(), 6 + 14 * images.size());
  for (std::size_t i = 0; i < images.size() && 6 + 14 * (i + 1) <= group.size(); ++i) {
    const std::size_t entry = 6 + 14 * i;
    const int size = images[i].Size;
    SCOPED_TRACE(size);
    EXPECT_EQ(static_cast<unsigned char>(group[entry]), size);      // width
    EXPECT_EQ(static_cast<unsigned char>(group[entry + 1]), size);  // height
    EXPECT_EQ(group[entry + 2], 0);                                 // no palette
    EXPECT_EQ(Word(group, entry + 4), 1u);                          // planes
    EXPECT_EQ(Word(group, entry + 6), images[i].BitCount);
    const std::string& data = icon(Word(group, entry + 12)).Data;
    EXPECT_EQ(Dword(group, entry + 8), data.size());
    if (data.size() < 40) {
      ADD_FAILURE() << "no bitmap header";
      continue;
    }
    EXPECT_EQ(Dword(data, 0), 40u);         // BITMAPINFOHEADER
    EXPECT_EQ(Dword(data, 4), size);        // width
    EXPECT_EQ(Dword(data, 8), 2 * size);    // colour and mask
    EXPECT_EQ(Word(data, 12), 1u);          // planes
    EXPECT_EQ(Word(data, 14), images[i].BitCount);
    EXPECT_EQ(Dword(data, 16), 0u);         // uncompressed
    const std::size_t colourStride = (size * images[i].BitCount / 8 + 3) & ~3;
    const std::size_t maskStride = (size + 31) / 32 * 4;
    EXPECT_EQ(data.size(), 40 + (colourStride + maskStride) * size);
    found.push_back(data);
  }
  return found;
}

// The images of an .ico file.
std::vector<std::string> IcoImages(const std::string& ico) {
  std::vector<std::string> images;
  for (std::uint32_t i = 0; i < Word(ico, 4); ++i) {
    images.push_back(ico.substr(Dword(ico, 6 + 16 * i + 12), Dword(ico, 6 + 16 * i + 8)));
  }
  return images;
}

TEST_F(ResourcesTest, IconsAreTheDrawnReels) {
  EXPECT_EQ(Names(kRtGroupIcon), (std::set<std::uint32_t>{101, 102}));
  EXPECT_EQ(Names(kRtIcon).size(), 4u);
  const auto icon = [](std::uint32_t id) -> const PeResource& { return Find(kRtIcon, id); };
  const std::vector<std::string> program =
      CheckIconGroup(Find(kRtGroupIcon, 101).Data, {{16, 24}, {32, 24}, {48, 24}}, icon);
  const std::vector<std::string> playlist =
      CheckIconGroup(Find(kRtGroupIcon, 102).Data, {{32, 24}}, icon);
  // The images are those the icon script drew.
  EXPECT_EQ(program, IcoImages(ReadFile(REELSTART_SOURCE_DIR "/res/Reelstart.ico")));
  EXPECT_EQ(playlist, IcoImages(ReadFile(REELSTART_SOURCE_DIR "/res/Playlist.ico")));
}

TEST_F(ResourcesTest, TheManifestAsksForNoExecutionLevel) {
  const std::string& manifest = Find(kRtManifest, 1).Data;
  EXPECT_EQ(manifest, ReadFile(REELSTART_SOURCE_DIR "/res/Reelstart.manifest"));
  EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos);
  EXPECT_EQ(manifest.find("trustInfo"), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

}  // namespace
}  // namespace reelstart
