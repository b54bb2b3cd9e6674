// The version record: the named values of an executable's version resource.
#pragma once

#include <string>

#include "common/Dates.h"

namespace reelstart {

class TQVFileVersionInfo {
 public:
  // All fields start empty; only the maker's own files fill the three custom
  // values (Author, PublisherSite, ReleaseDate).
  std::string Author;
  std::string Comments;
  std::string CompanyName;
  std::string FileDescription;
  std::string FileName;
  std::string FileVersion;
  std::string InternalName;
  std::string Language;  // first translation, 8 upper-case hex digits: "041904E3"
  std::string LegalCopyright;
  std::string LegalTrademarks;
  std::string OriginalFilename;
  std::string ProductName;
  std::string ProductVersion;
  std::string PublisherSite;
  std::string ReleaseDate;  // year.month.day

  // Stores `fileName` and loads the record from it at once (Refresh).
  void SetFileName(const std::string& fileName);
  // Reloads every field from FileName. Raises EInOutError with string
  // resource 65436 ("Файл "%s" не найден.") when no file is there (a folder
  // is no file); a file without version resource leaves the fields empty.
  void Refresh();
  // Empties every field but FileName and Language.
  void Clear();
  // The value "\StringFileInfo\" + Language + "\" + `name` of the loaded
  // resource `block` (which the query writes its ANSI text into); empty when
  // the block does not hold it.
  [[nodiscard]] std::string QueryStringValue(std::string& block, const std::string& name) const;
  // ReleaseDate as a date; 0 (30 December 1899) when it is empty or no date.
  // Never raises.
  [[nodiscard]] TDateTime GetReleaseDate() const;
};

}  // namespace reelstart
