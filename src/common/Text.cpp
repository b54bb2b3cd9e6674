#include "common/Text.h"

#include <cstdint>
#include <vector>

#include "common/Errors.h"

namespace reelstart {

namespace {

constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// No width, index or precision is larger. A placeholder with a larger one is
// malformed: reading only part of its digits would take the rest for another
// number ("%1234567890123s" for a width of 123).
constexpr std::size_t kLargestNumber = 999999999;

// Reads all the digits at `pos` as a number, kLargestNumber + 1 for any larger
// one; false when there are none.
bool ReadNumber(std::string_view text, std::size_t& pos, std::size_t& number) {
  const std::size_t start = pos;
  number = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    const auto digit = static_cast<std::size_t>(text[pos++] - '0');
    number = number > kLargestNumber / 10 ? kLargestNumber + 1 : number * 10 + digit;
  }
  return pos > start;
}

}  // namespace

std::string HexDigits(std::uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) {
    text[static_cast<std::size_t>(i)] = kDigits[value & 15];
  }
  return text;
}

std::string AsciiLowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiLower(c);
  return result;
}

int AsciiCompareText(std::string_view text1, std::string_view text2) {
  const std::size_t common = std::min(text1.size(), text2.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto c1 = static_cast<unsigned char>(AsciiUpper(text1[i]));
    const auto c2 = static_cast<unsigned char>(AsciiUpper(text2[i]));
    if (c1 != c2) return c1 < c2 ? -1 : 1;
  }
  if (text1.size() == text2.size()) return 0;
  return text1.size() < text2.size() ? -1 : 1;
}

bool TryStrToInt(std::string_view text, int& value) {
  std::size_t pos = text.find_first_not_of(' ');
  if (pos == std::string_view::npos) return false;
  bool negative = false;
  if (text[pos] == '+' || text[pos] == '-') negative = text[pos++] == '-';
  unsigned base = 10;
  if (pos < text.size() && (text[pos] == '$' || text[pos] == 'x' || text[pos] == 'X')) {
    base = 16;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' &&
             (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    base = 16;
    pos += 2;
  }
  if (pos >= text.size()) return false;
  constexpr std::uint64_t kLimit = 0x80000000u;  // magnitude of the smallest int
  std::uint64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    unsigned digit = 0;
    if (IsDigit(c)) {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f') {
      digit = static_cast<unsigned>(AsciiLower(c) - 'a' + 10);
    } else {
      return false;
    }
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) return false;
  }
  if (!negative && magnitude == kLimit) return false;
  value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<int>(magnitude);
  return true;
}

std::string Format(std::string_view format, std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> arguments(args);
  std::string result;
  result.reserve(format.size());
  std::size_t next = 0;  // argument taken by a placeholder without index
  std::size_t pos = 0;
  while (pos < format.size()) {
    const std::size_t percent = format.find('%', pos);
    result.append(format.substr(pos, percent - pos));
    if (percent == std::string_view::npos) break;
    pos = percent + 1;
    if (pos < format.size() && format[pos] == '%') {
      result += '%';
      ++pos;
      continue;
    }
    std::size_t number = 0;
    std::size_t index = next;
    std::size_t width = 0;
    std::size_t precision = std::string_view::npos;
    bool leftJustify = false;
    bool valid = true;
    if (ReadNumber(format, pos, number)) {
      if (pos < format.size() && format[pos] == ':') {
        index = number;
        ++pos;
      } else {
        width = number;
      }
    }
    if (width == 0) {
      if (pos < format.size() && format[pos] == '-') {
        leftJustify = true;
        ++pos;
      }
      ReadNumber(format, pos, width);
    }
    if (pos < format.size() && format[pos] == '.') {
      ++pos;
      valid = ReadNumber(format, pos, precision) && precision <= kLargestNumber;
    }
    if (!valid || index > kLargestNumber || width > kLargestNumber || pos >= format.size() ||
        AsciiLower(format[pos]) != 's') {
      Raise<EConvertError>(
          Format("Format '%s' invalid or incompatible with argument", {format}));
    }
    ++pos;
    if (index >= arguments.size()) {
      Raise<EConvertError>(Format("No argument for format '%s'", {format}));
    }
    const std::string_view value = arguments[index].substr(0, precision);
    next = index + 1;
    const std::size_t padding = width > value.size() ? width - value.size() : 0;
    if (!leftJustify) result.append(padding, ' ');
    result.append(value);
    if (leftJustify) result.append(padding, ' ');
  }
  return result;
}

}  // namespace reelstart
