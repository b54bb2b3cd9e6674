// Whole integers and release dates: TryStrToInt over any text, checked
// against a second reading built on std::from_chars, and GetReleaseDate over
// the same text as a ReleaseDate value.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "common/Dates.h"
#include "common/Text.h"
#include "version/QVVersion.h"

namespace {

using namespace reelstart;

// Optional spaces, an optional sign, then decimal digits or hexadecimal ones
// after "$", "x" or "0x"; the whole text, within a signed 32-bit integer.
std::optional<int> ReadInteger(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  int base = 10;
  const std::string_view rest = text.substr(pos);
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    base = 16;
    pos += 1;
  } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
    base = 16;
    pos += 2;
  }
  const std::string_view digits = text.substr(pos);
  if (digits.empty()) return std::nullopt;
  std::uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) return std::nullopt;
  return static_cast<int>(negative ? -static_cast<std::int64_t>(magnitude)
                                   : static_cast<std::int64_t>(magnitude));
}

void CheckInteger(std::string_view text) {
  constexpr int kUntouched = 0x5A5A5A5A;
  int value = kUntouched;
  const bool read = TryStrToInt(text, value);
  const std::optional<int> expected = ReadInteger(text);
  FUZZ_CHECK(read == expected.has_value());
  FUZZ_CHECK(value == (read ? *expected : kUntouched));
}

void CheckReleaseDate(const std::string& text) {
  TQVFileVersionInfo info;
  info.ReleaseDate = text;
  const TDateTime date = info.GetReleaseDate();

  TDateTime expected = 0;
  const std::size_t dot1 = text.find('.');
  const std::size_t dot2 = dot1 == std::string::npos ? dot1 : text.find('.', dot1 + 1);
  if (dot2 != std::string::npos) {
    const std::string_view view = text;
    const std::optional<int> year = ReadInteger(view.substr(0, dot1));
    const std::optional<int> month = ReadInteger(view.substr(dot1 + 1, dot2 - dot1 - 1));
    const std::optional<int> day = ReadInteger(view.substr(dot2 + 1));
    if (year && month && day && TryEncodeDate(*year, *month, *day, expected)) {
      int y = 0;
      int m = 0;
      int d = 0;
      DecodeDate(expected, y, m, d);
      FUZZ_CHECK(y == *year && m == *month && d == *day);
    }
  }
  FUZZ_CHECK(date == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckInteger(text);
  CheckReleaseDate(text);
  return 0;
}
