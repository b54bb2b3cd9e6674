#include "version/QVVersion.h"

#include <cstring>
#include <functional>

#include "common/Errors.h"
#include "common/Module.h"
#include "common/Text.h"
#include "platform/Platform.h"

namespace reelstart {

namespace {

constexpr std::uint32_t kFileNotFoundMessage = 65436;  // "Файл "%s" не найден."
constexpr char kMakersCompany[] = "Velkor Programs";

// The text a version query found, up to its terminating zero; empty when the
// query found nothing. The text lies in the block, so the block's end bounds
// it (the reported length counts characters, fewer than the bytes on a
// double-byte code page).
std::string QueryText(std::string& block, const std::string& subBlock) {
  const void* value = nullptr;
  std::uint32_t length = 0;
  if (!ThePlatform().VerQueryValueA(block, subBlock, value, length) || length == 0 ||
      value == nullptr) {
    return {};
  }
  const auto* text = static_cast<const char*>(value);
  const char* const begin = block.data();
  const char* const end = begin + block.size();
  const std::size_t room = std::less_equal<>()(begin, text) && std::less<>()(text, end)
                               ? static_cast<std::size_t>(end - text)
                               : length;
  return std::string(text, ::strnlen(text, room));
}

}  // namespace

void TQVFileVersionInfo::SetFileName(const std::string& fileName) {
  FileName = fileName;
  Refresh();
}

void TQVFileVersionInfo::Clear() {
  Author.clear();
  Comments.clear();
  CompanyName.clear();
  FileDescription.clear();
  FileVersion.clear();
  InternalName.clear();
  LegalCopyright.clear();
  LegalTrademarks.clear();
  OriginalFilename.clear();
  ProductName.clear();
  ProductVersion.clear();
  PublisherSite.clear();
  ReleaseDate.clear();
}

std::string TQVFileVersionInfo::QueryStringValue(std::string& block,
                                                 const std::string& name) const {
  return QueryText(block, "\\StringFileInfo\\" + Language + "\\" + name);
}

void TQVFileVersionInfo::Refresh() {
  Platform& platform = ThePlatform();
  Clear();
  if (!FileExists(FileName)) {
    Raise<EInOutError>(Format(platform.LoadStringA(kFileNotFoundMessage), {FileName}));
  }
  const std::uint32_t size = platform.GetFileVersionInfoSizeA(FileName);
  if (size == 0) return;
  // A block that fails to load stays zero-filled: every query then misses.
  std::string block(size, '\0');
  platform.GetFileVersionInfoA(FileName, block);

  const void* translation = nullptr;
  std::uint32_t length = 0;
  if (platform.VerQueryValueA(block, "\\VarFileInfo\\Translation", translation, length) &&
      length >= 4 && translation != nullptr) {
    unsigned char words[4];
    std::memcpy(words, translation, sizeof words);
    Language = HexDigits(words[0] | words[1] << 8, 4) + HexDigits(words[2] | words[3] << 8, 4);
  }

  Comments = QueryStringValue(block, "Comments");
  CompanyName = QueryStringValue(block, "CompanyName");
  FileDescription = QueryStringValue(block, "FileDescription");
  FileVersion = QueryStringValue(block, "FileVersion");
  InternalName = QueryStringValue(block, "InternalName");
  LegalCopyright = QueryStringValue(block, "LegalCopyright");
  LegalTrademarks = QueryStringValue(block, "LegalTrademarks");
  OriginalFilename = QueryStringValue(block, "OriginalFilename");
  ProductName = QueryStringValue(block, "ProductName");
  ProductVersion = QueryStringValue(block, "ProductVersion");

  // The maker's own values live outside "\StringFileInfo", and only the
  // maker's files are trusted to carry them.
  if (CompanyName == kMakersCompany) {
    Author = QueryText(block, "\\VelkorPrograms\\Author");
    PublisherSite = QueryText(block, "\\VelkorPrograms\\PublisherSite");
    ReleaseDate = QueryText(block, "\\VelkorPrograms\\ReleaseDate");
  }
}

TDateTime TQVFileVersionInfo::GetReleaseDate() const {
  const std::string_view text = ReleaseDate;
  const std::size_t dot1 = text.find('.');
  if (dot1 == std::string_view::npos) return 0;
  const std::size_t dot2 = text.find('.', dot1 + 1);
  if (dot2 == std::string_view::npos) return 0;
  int year = 0;
  int month = 0;
  int day = 0;
  TDateTime date = 0;
  if (!TryStrToInt(text.substr(0, dot1), year) ||
      !TryStrToInt(text.substr(dot1 + 1, dot2 - dot1 - 1), month) ||
      !TryStrToInt(text.substr(dot2 + 1), day) || !TryEncodeDate(year, month, day, date)) {
    return 0;
  }
  return date;
}

}  // namespace reelstart
