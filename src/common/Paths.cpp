#include "common/Paths.h"

namespace reelstart {

namespace {

// Position where the extension of `path` starts; path.size() when it has none.
std::size_t ExtensionStart(std::string_view path, const TLeadBytes& leadBytes) {
  const std::size_t dot = LastDelimiter(".\\:", path, leadBytes);
  return dot != std::string_view::npos && path[dot] == '.' ? dot : path.size();
}

}  // namespace

std::size_t LastDelimiter(std::string_view delimiters, std::string_view text,
                          const TLeadBytes& leadBytes) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (leadBytes[static_cast<unsigned char>(text[i])]) {
      ++i;  // the trail byte is part of this character, never a delimiter
    } else if (delimiters.find(text[i]) != std::string_view::npos) {
      last = i;
    }
  }
  return last;
}

std::string ExtractFilePath(std::string_view path, const TLeadBytes& leadBytes) {
  const std::size_t end = LastDelimiter("\\:", path, leadBytes);
  return std::string(end == std::string_view::npos ? std::string_view{} : path.substr(0, end + 1));
}

std::string ExtractFileName(std::string_view path, const TLeadBytes& leadBytes) {
  const std::size_t end = LastDelimiter("\\:", path, leadBytes);
  return std::string(end == std::string_view::npos ? path : path.substr(end + 1));
}

std::string ExtractFileExt(std::string_view path, const TLeadBytes& leadBytes) {
  return std::string(path.substr(ExtensionStart(path, leadBytes)));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension,
                          const TLeadBytes& leadBytes) {
  std::string result(path.substr(0, ExtensionStart(path, leadBytes)));
  result += extension;
  return result;
}

std::string ExcludeTrailingBackslash(std::string_view path, const TLeadBytes& leadBytes) {
  const std::size_t last = LastDelimiter("\\", path, leadBytes);
  if (last != std::string_view::npos && last + 1 == path.size()) path.remove_suffix(1);
  return std::string(path);
}

}  // namespace reelstart
