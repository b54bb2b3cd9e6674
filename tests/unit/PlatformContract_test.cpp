// The platform contract (support/PlatformContract.h) against the in-memory
// stand-in; test_contract.py runs the same cases under Wine.
#include "support/PlatformContract.h"

#include <gtest/gtest.h>

#include "support/Platform_mem.h"
#include "support/VersionBlockBuilder.h"

namespace reelstart {

namespace contract {
void PrintTo(const Case& c, std::ostream* out) { *out << c.Name; }
}  // namespace contract

namespace {

using namespace version_builder;

// The program as test_contract.py lays it out and starts it under Wine.
constexpr char kFolder[] = "C:\\Reelstart contract\\";
constexpr char kProgram[] = "C:\\Reelstart contract\\contract program.exe";

class MemoryFixture final : public contract::Fixture {
 public:
  explicit MemoryFixture(MemoryPlatform& platform) : p_(platform) {
    p_.AddFile(kProgram, 4096);
    p_.SetShortName(kFolder, "REELST~1");
    p_.SetShortName(kProgram, "CONTRA~1.EXE");
    p_.ModuleFileName = kProgram;
    p_.ShortModuleFileName = "C:\\REELST~1\\CONTRA~1.EXE";
    p_.CommandLine = std::string("\"") + kProgram + "\" E:\\ C:\\Linked";
    for (const contract::StringResource& string : contract::Strings()) {
      if (!string.Text.empty()) p_.StringTable[string.Id] = string.Text;
    }
  }

  std::string NewFolder() override {
    p_.AddFolder("C:\\Contract");
    return "C:\\Contract\\";
  }
  void MakeFolder(const std::string& path) override { p_.AddFolder(path); }
  void MakeFile(const std::string& path, std::uint64_t size) override {
    p_.AddFile(path, static_cast<std::int64_t>(size));
  }
  void GiveShortName(const std::string& path, const std::string& shortName) override {
    p_.SetShortName(path, shortName);
  }
  std::string ReadOnlyFolder() override {
    p_.AddFile("E:\\film.avi", 10, 0x21);  // a disc's files are read-only
    p_.AddFile("E:\\writable.avi", 10);    // but for one
    p_.SetReadOnlyVolume("E:");
    return "E:\\";
  }
  std::string VersionedFile() override {
    const std::string path = kProgram;
    VersionEntry root =
        BinaryValue(u"VS_VERSION_INFO", FixedFileInfo(contract::kVersionMs, contract::kVersionLs,
                                                      contract::kVersionMs, contract::kVersionLs));
    root.Children = {
        Block(u"StringFileInfo", {Block(u"041904E3", {TextValue(u"CompanyName", u"Reelstart"),
                                                      TextValue(u"ProductName", u"Контракт")})}),
        Block(u"VarFileInfo", {BinaryValue(u"Translation", Translation(0x0419, 1251))}),
    };
    p_.VersionResources[path] = BuildVersionBlock(root);
    return path;
  }
  void SetVariable(const std::string& name, const char* value) override {
    p_.ShortEnvironment.erase(name);
    if (value != nullptr) {
      p_.Environment[name] = value;
    } else {
      p_.Environment.erase(name);
    }
  }
  std::string FolderOutsideCodePage(const std::string& name) override {
    const std::string realName = "C:\\Contract\\Caf\xC3\xA9 \xC5\x81\xC3\xB3" "d\xC5\xBA";  // UTF-8
    p_.AddFolder(realName);
    p_.SetShortName(realName, "CAFODZ~1");
    p_.Environment[name] = "C:\\Contract\\Cafe Lodz";
    p_.ShortEnvironment[name] = "C:\\Contract\\CAFODZ~1";
    return p_.Environment[name];
  }
  std::string LinkedFolder() override {
    p_.AddFile("C:\\Linked\\Target\\film.avi", 10);
    p_.AddFolderLink("C:\\Linked\\Link", "C:\\Linked\\Target");
    p_.AddFolderLink("C:\\Linked\\Target\\Back", "C:\\Linked");
    p_.AddFile("C:\\Linked\\...\\film.avi", 10);
    p_.SetShortName("C:\\Linked\\...", "5ZRJ~1");
    return "C:\\Linked\\";
  }
  std::string IndexlessFolder() override {
    p_.NoFileIndex = true;
    p_.AddFolder("F:\\Share\\a");
    p_.AddFolder("F:\\Share\\b");
    return "F:\\Share\\";
  }

 private:
  MemoryPlatform& p_;
};

class PlatformContractTest : public ::testing::TestWithParam<contract::Case> {};

TEST_P(PlatformContractTest, HoldsOnTheStandIn) {
  MemoryPlatform platform;
  if (GetParam().EnglishFormats) platform.FormatsCodePage = 1252;
  MemoryFixture fixture(platform);
  contract::Context context{platform, fixture, fixture.NewFolder(),
                            [](const std::string& what) { ADD_FAILURE() << what; }};
  GetParam().Run(context);
  EXPECT_EQ(platform.OpenHandleCount(), 0u);
  EXPECT_EQ(platform.OpenKeyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, PlatformContractTest, ::testing::ValuesIn(contract::Cases()),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace reelstart
