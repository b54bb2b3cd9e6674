#include "support/VersionBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/VersionBlockBuilder.h"
#include "platform/Win1251.h"
#include "support/Platform_mem.h"

namespace reelstart {
namespace {

using namespace version_builder;

std::string SampleResource() {
  return VersionResource(u"041904E3",
                         {TextValue(u"CompanyName", u"Velkor Programs"),
                          TextValue(u"FileDescription", u"Программа запуска видеофайлов"),
                          TextValue(u"LegalCopyright", u"© 2007 Velkor Programs — Reelstart"),
                          TextValue(u"Comments", u"")},
                         0x0419, 1251,
                         {Block(u"VelkorPrograms", {TextValue(u"ReleaseDate", u"2007.05.29")})});
}

// The paths a version record asks for, and some it never does.
const char* const kPaths[] = {
    "\\",
    "\\VarFileInfo\\Translation",
    "\\StringFileInfo\\041904E3\\CompanyName",
    "\\StringFileInfo\\041904E3\\FileDescription",
    "\\StringFileInfo\\041904E3\\LegalCopyright",
    "\\StringFileInfo\\041904E3\\Comments",
    "\\StringFileInfo\\041904E3\\ProductName",
    "\\VelkorPrograms\\ReleaseDate",
    "\\StringFileInfo",
    "",
};

TEST(VersionBlockTest, WalksTheNestedNodes) {
  const std::string resource = SampleResource();
  VersionNode root;
  ASSERT_TRUE(ReadVersionRoot(resource, root));
  EXPECT_EQ(root.Key, u"VS_VERSION_INFO");
  EXPECT_EQ(root.Offset, 0u);
  EXPECT_EQ(root.End, resource.size());
  EXPECT_FALSE(root.IsText);
  EXPECT_EQ(root.ValueOffset, 40u);  // 6 + 32 bytes of key, rounded up to 40
  EXPECT_EQ(root.ValueSize, 52u);
  const std::vector<VersionNode> children = VersionChildren(resource, root);
  ASSERT_EQ(children.size(), 3u);
  EXPECT_EQ(children[0].Key, u"StringFileInfo");
  EXPECT_EQ(children[1].Key, u"VarFileInfo");
  EXPECT_EQ(children[2].Key, u"VelkorPrograms");
  for (const VersionNode& child : children) EXPECT_EQ(child.Offset % 4, 0u);

  const std::vector<VersionNode> tables = VersionChildren(resource, children[0]);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].Key, u"041904E3");
  const std::vector<VersionNode> values = VersionChildren(resource, tables[0]);
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[1].Key, u"FileDescription");
  EXPECT_TRUE(values[1].IsText);
  EXPECT_EQ(values[1].ValueLength, 30u);  // 29 characters and the zero
  EXPECT_EQ(VersionText(resource, values[1]), std::u16string(u"Программа запуска видеофайлов\0", 30));
  EXPECT_EQ(values[3].ValueLength, 1u);
  EXPECT_TRUE(VersionChildren(resource, values[1]).empty());
}

TEST(VersionBlockTest, FollowsPathsAsVerQueryValueDoes) {
  const std::string resource = SampleResource();
  VersionNode node;
  for (const char* root : {"", "\\", "\\\\"}) {
    ASSERT_TRUE(FindVersionNode(resource, root, node)) << root;
    EXPECT_EQ(node.Key, u"VS_VERSION_INFO");
  }
  ASSERT_TRUE(FindVersionNode(resource, "\\StringFileInfo\\\\041904e3\\companyNAME\\", node));
  EXPECT_EQ(node.Key, u"CompanyName");
  ASSERT_TRUE(FindVersionNode(resource, "VarFileInfo\\Translation", node));
  EXPECT_EQ(node.ValueSize, 4u);
  EXPECT_EQ(resource.substr(node.ValueOffset, 4), "\x19\x04\xE3\x04");
  EXPECT_FALSE(FindVersionNode(resource, "\\StringFileInfo\\041904E3\\Company", node));
  EXPECT_FALSE(FindVersionNode(resource, "\\StringFileInfo\\041904E3\\CompanyNameX", node));
  EXPECT_FALSE(FindVersionNode(resource, "\\CompanyName", node));
  EXPECT_FALSE(FindVersionNode(resource, "\\VelkorPrograms\\ReleaseDate\\More", node));
  EXPECT_FALSE(FindVersionNode("", "\\", node));
}

class VersionQueryTest : public ::testing::Test {
 protected:
  VersionQueryTest() {
    platform.AddFile(kFile, 1000);
    platform.VersionResources[kFile] = resource;
  }

  std::string Load() {
    std::string block(platform.GetFileVersionInfoSizeA(kFile), '\0');
    EXPECT_TRUE(platform.GetFileVersionInfoA(kFile, block));
    return block;
  }

  static constexpr const char* kFile = "D:\\start.exe";
  const std::string resource = SampleResource();
  MemoryPlatform platform;
};

TEST_F(VersionQueryTest, NoFileOrNoResourceGivesNoBlock) {
  platform.AddFile("D:\\plain.exe", 1000);
  platform.AddFolder("D:\\folder.exe");
  platform.VersionResources["D:\\folder.exe"] = resource;
  platform.VersionResources["D:\\gone.exe"] = resource;
  for (const char* file : {"D:\\plain.exe", "D:\\folder.exe", "D:\\gone.exe"}) {
    EXPECT_EQ(platform.GetFileVersionInfoSizeA(file), 0u) << file;
    std::string block(100, '\0');
    EXPECT_FALSE(platform.GetFileVersionInfoA(file, block)) << file;
  }
}

TEST_F(VersionQueryTest, TextIsAnsweredInTheCodePageFromTheSecondHalf) {
  std::string block = Load();
  const void* value = nullptr;
  std::uint32_t length = 0;
  ASSERT_TRUE(platform.VerQueryValueA(block, "\\StringFileInfo\\041904E3\\FileDescription",
                                      value, length));
  const char* text = static_cast<const char*>(value);
  EXPECT_EQ(length, 30u);  // characters, the zero included
  EXPECT_EQ(std::string(text), std::string_view(Win1251(u8"Программа запуска видеофайлов")));
  // Where Windows puts it: past the resource and its signature, at the
  // offset of the UTF-16 text.
  VersionNode node;
  ASSERT_TRUE(FindVersionNode(resource, "\\StringFileInfo\\041904E3\\FileDescription", node));
  EXPECT_EQ(text - block.data(),
            static_cast<std::ptrdiff_t>(resource.size() + 4 + node.ValueOffset));
  EXPECT_EQ(block.substr(0, resource.size()), resource);  // the resource stays as it was

  ASSERT_TRUE(
      platform.VerQueryValueA(block, "\\StringFileInfo\\041904E3\\LegalCopyright", value, length));
  EXPECT_STREQ(static_cast<const char*>(value), "\xA9 2007 Velkor Programs \x97 Reelstart");

  ASSERT_TRUE(platform.VerQueryValueA(block, "\\StringFileInfo\\041904E3\\Comments", value, length));
  EXPECT_EQ(length, 1u);
  EXPECT_STREQ(static_cast<const char*>(value), "");

  ASSERT_TRUE(platform.VerQueryValueA(block, "\\StringFileInfo", value, length));
  EXPECT_EQ(length, 0u);
}

TEST_F(VersionQueryTest, AnEmptyTextAtTheVeryEndIsAnEmptyAnswer) {
  // The last node has no value: its text would start at the block's end.
  // Windows answers there, with length 0.
  platform.VersionResources[kFile] = VersionResource({Block(u"VelkorPrograms", {Block(u"Empty", {})})});
  std::string block = Load();
  const void* value = nullptr;
  std::uint32_t length = 99;
  ASSERT_TRUE(platform.VerQueryValueA(block, "\\VelkorPrograms\\Empty", value, length));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(value, block.data() + block.size());
  EXPECT_STREQ(static_cast<const char*>(value), "");
}

TEST_F(VersionQueryTest, ABlockWithoutRoomForTheTextAnswersNoText) {
  // The bare resource, as LoadResource would give it: no second half.
  std::string block = resource;
  const void* value = nullptr;
  std::uint32_t length = 0;
  EXPECT_FALSE(
      platform.VerQueryValueA(block, "\\StringFileInfo\\041904E3\\CompanyName", value, length));
  EXPECT_EQ(block, resource);
  EXPECT_TRUE(platform.VerQueryValueA(block, "\\VarFileInfo\\Translation", value, length));
}

TEST_F(VersionQueryTest, ASmallerBlockGetsWhatFits) {
  std::string block(100, '\0');
  ASSERT_TRUE(platform.GetFileVersionInfoA(kFile, block));
  EXPECT_EQ(block, resource.substr(0, 100));
  const void* value = nullptr;
  std::uint32_t length = 0;
  for (const char* path : kPaths) platform.VerQueryValueA(block, path, value, length);
}

// Truncated and damaged blocks: every answer stays inside the block. (Built
// with the address sanitizer this finds any read or write past it.)
void ExpectAnswersInside(MemoryPlatform& platform, std::string& block) {
  const void* value = nullptr;
  std::uint32_t length = 0;
  for (const char* path : kPaths) {
    if (!platform.VerQueryValueA(block, path, value, length)) continue;
    const char* begin = block.data();
    const char* at = static_cast<const char*>(value);
    ASSERT_GE(at, begin) << path;
    ASSERT_LE(at + length, begin + block.size()) << path;
  }
}

TEST_F(VersionQueryTest, TruncatedBlocksAreReadSafely) {
  const std::string whole = Load();
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    // Cut the loaded block, or the resource before it is loaded (its
    // wLength then claims more than there is).
    std::string block = whole.substr(0, size);
    ExpectAnswersInside(platform, block);
    std::string cut = resource.substr(0, std::min(size, resource.size()));
    cut.resize(cut.size() * 2 + 4, '\0');
    ExpectAnswersInside(platform, cut);
  }
}

TEST_F(VersionQueryTest, DamagedBlocksAreReadSafely) {
  const std::string whole = Load();
  std::mt19937 random(20070529);
  for (int round = 0; round < 3000; ++round) {
    std::string block = whole;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) {
      // Mostly in the headers and keys of the resource half.
      const std::size_t at = random() % (round % 3 == 0 ? block.size() : resource.size());
      block[at] = static_cast<char>(random() % 4 == 0 ? 0xFF : random());
    }
    ExpectAnswersInside(platform, block);
  }
}

TEST(Win1251Test, ConvertsBothWays) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  const std::u16string wide = Utf16FromWin1251(all);
  ASSERT_EQ(wide.size(), 255u);
  EXPECT_EQ(wide[0xA9 - 1], u'©');
  EXPECT_EQ(wide[0xB9 - 1], u'№');
  EXPECT_EQ(wide[0xC0 - 1], u'А');
  EXPECT_EQ(wide[0xFF - 1], u'я');
  std::string back = Win1251FromUtf16(wide);
  back[0x98 - 1] = '\x98';  // unassigned: WideCharToMultiByte has no byte for U+0098
  EXPECT_EQ(back, all);
  EXPECT_EQ(Win1251FromUtf16(u"Ω€ 日本"), "?\x88 ??");
}

}  // namespace
}  // namespace reelstart
