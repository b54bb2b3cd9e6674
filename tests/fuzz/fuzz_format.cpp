// Indexed placeholders: Format over any format text with up to seven
// arguments (as many as the help message takes), checked against a second
// reading of the placeholder grammar.
// The input is the format, then each argument after a zero byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "common/Errors.h"
#include "common/Text.h"

namespace {

using namespace reelstart;

// No width, index or precision is larger; a larger one makes the
// placeholder malformed.
constexpr std::uint64_t kLargestNumber = 999999999;
// Outputs longer than this are not worth building here.
constexpr std::uint64_t kLargestWidth = 100000;

struct Outcome {
  enum Kind { kText, kMalformed, kNoArgument, kTooLong } kind = kText;
  std::string text;
};

bool ReadDigits(std::string_view format, std::size_t& pos, std::uint64_t& number) {
  const std::size_t start = pos;
  number = 0;
  for (; pos < format.size() && format[pos] >= '0' && format[pos] <= '9'; ++pos) {
    number = std::min<std::uint64_t>(number * 10 + (format[pos] - '0'), kLargestNumber + 1);
  }
  return pos > start;
}

//   "%" [index ":"] ["-"] [width] ["." precision] "s", "%%" for "%"; a width
// of 0 may still be followed by "-" and a width.
Outcome Expected(std::string_view format, const std::vector<std::string_view>& arguments) {
  Outcome outcome;
  std::size_t next = 0;
  std::size_t pos = 0;
  while (pos < format.size()) {
    const char c = format[pos++];
    if (c != '%') {
      outcome.text += c;
      continue;
    }
    if (pos < format.size() && format[pos] == '%') {
      outcome.text += '%';
      ++pos;
      continue;
    }
    std::uint64_t number = 0;
    std::uint64_t index = next;
    std::uint64_t width = 0;
    std::uint64_t precision = UINT64_MAX;
    bool left = false;
    bool wellFormed = true;
    if (ReadDigits(format, pos, number)) {
      if (pos < format.size() && format[pos] == ':') {
        index = number;
        ++pos;
      } else {
        width = number;
      }
    }
    if (width == 0) {
      if (pos < format.size() && format[pos] == '-') {
        left = true;
        ++pos;
      }
      ReadDigits(format, pos, width);
    }
    if (pos < format.size() && format[pos] == '.') {
      ++pos;
      wellFormed = ReadDigits(format, pos, precision);
    }
    wellFormed = wellFormed && pos < format.size() && (format[pos] == 's' || format[pos] == 'S') &&
                 index <= kLargestNumber && width <= kLargestNumber &&
                 (precision == UINT64_MAX || precision <= kLargestNumber);
    if (!wellFormed) return {Outcome::kMalformed, {}};
    ++pos;
    if (index >= arguments.size()) return {Outcome::kNoArgument, {}};
    if (width > kLargestWidth) return {Outcome::kTooLong, {}};
    const std::string_view value = arguments[index].substr(0, precision);
    next = index + 1;
    const std::size_t padding = width > value.size() ? width - value.size() : 0;
    if (!left) outcome.text.append(padding, ' ');
    outcome.text += value;
    if (left) outcome.text.append(padding, ' ');
  }
  return outcome;
}

std::string Call(std::string_view format, const std::vector<std::string_view>& a) {
  switch (a.size()) {
    case 0: return Format(format, {});
    case 1: return Format(format, {a[0]});
    case 2: return Format(format, {a[0], a[1]});
    case 3: return Format(format, {a[0], a[1], a[2]});
    case 4: return Format(format, {a[0], a[1], a[2], a[3]});
    case 5: return Format(format, {a[0], a[1], a[2], a[3], a[4]});
    case 6: return Format(format, {a[0], a[1], a[2], a[3], a[4], a[5]});
    default: return Format(format, {a[0], a[1], a[2], a[3], a[4], a[5], a[6]});
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view format = input.substr(0, input.find('\0'));
  std::vector<std::string_view> arguments;
  for (std::size_t pos = format.size(); pos < input.size() && arguments.size() < 7;) {
    const std::size_t end = std::min(input.find('\0', pos + 1), input.size());
    arguments.push_back(input.substr(pos + 1, end - pos - 1));
    pos = end;
  }

  const Outcome expected = Expected(format, arguments);
  if (expected.kind == Outcome::kTooLong) return 0;
  try {
    const std::string text = Call(format, arguments);
    FUZZ_CHECK(expected.kind == Outcome::kText);
    FUZZ_CHECK(text == expected.text);
    if (format.find('%') == std::string_view::npos) FUZZ_CHECK(text == format);
  } catch (const EConvertError& error) {
    // Malformed placeholders are the caller's fault, reported as such.
    const std::string f(format);
    if (expected.kind == Outcome::kMalformed) {
      FUZZ_CHECK(error.Message() == "Format '" + f + "' invalid or incompatible with argument");
    } else {
      FUZZ_CHECK(expected.kind == Outcome::kNoArgument);
      FUZZ_CHECK(error.Message() == "No argument for format '" + f + "'");
    }
  }
  return 0;
}
