// Indexed placeholders. Two halves:
// - any bytes as a format: Format never fails but with EConvertError and one
//   of its two messages, and a format without '%' comes back unchanged;
// - a format built from the input piece by piece (text, "%%", "%s",
//   "%n:s", widths, precisions, left justification), whose result is known
//   from how it was built: Format must give exactly that, or "No argument"
//   at the first placeholder past the last argument.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "common/Errors.h"
#include "common/Text.h"

namespace {

using namespace reelstart;

// Seven, as the help message has; one holds a placeholder of its own, which
// must come through as text.
constexpr std::string_view kArguments[] = {"", "a", "bc", "def", "\xD4\xE8\xEB\xFC\xEC", "%s", "x y"};
constexpr std::size_t kCount = sizeof kArguments / sizeof kArguments[0];

std::string Fill(std::string_view format) {
  return Format(format, {kArguments[0], kArguments[1], kArguments[2], kArguments[3],
                         kArguments[4], kArguments[5], kArguments[6]});
}

// Widths of six digits and more would only make the runs slow: the unit
// tests cover them.
bool HasLongNumber(std::string_view text) {
  std::size_t run = 0;
  for (const char c : text) {
    run = c >= '0' && c <= '9' ? run + 1 : 0;
    if (run > 5) return true;
  }
  return false;
}

void AnyFormat(std::string_view format) {
  if (HasLongNumber(format)) return;
  try {
    const std::string text = Fill(format);
    if (format.find('%') == std::string_view::npos) FUZZ_CHECK(text == format);
  } catch (const EConvertError& error) {
    const std::string f(format);
    FUZZ_CHECK(error.Message() == "Format '" + f + "' invalid or incompatible with argument" ||
               error.Message() == "No argument for format '" + f + "'");
  }
}

void BuiltFormat(std::string_view input) {
  std::string format;
  std::string expected;
  std::size_t next = 0;  // the argument a placeholder without index takes
  bool missing = false;
  for (std::size_t pos = 0; pos + 1 < input.size() && !missing; pos += 2) {
    const auto op = static_cast<unsigned char>(input[pos]);
    const auto value = static_cast<unsigned char>(input[pos + 1]);
    std::size_t index = next;
    std::string placeholder = "%";
    std::size_t width = 0;
    bool left = false;
    std::size_t precision = std::string_view::npos;
    switch (op % 5) {
      case 0:  // text; a '%' written as "%%"
        format += value == '%' ? "%%" : std::string(1, static_cast<char>(value));
        expected += static_cast<char>(value);
        continue;
      case 1:
        break;
      case 2:
        index = value % 9;
        placeholder += std::to_string(index) + ":";
        break;
      case 3:
        width = 1 + value % 12;
        left = (value & 0x80) != 0;
        placeholder += (left ? "-" : "") + std::to_string(width);
        break;
      default:
        precision = value % 6;
        placeholder += "." + std::to_string(precision);
        break;
    }
    format += placeholder + ((op & 0x80) != 0 ? "S" : "s");
    if (index >= kCount) {
      missing = true;
      break;
    }
    const std::string_view text = kArguments[index].substr(0, precision);
    const std::string padding(width > text.size() ? width - text.size() : 0, ' ');
    expected += left ? std::string(text) + padding : padding + std::string(text);
    next = index + 1;
  }
  try {
    const std::string text = Fill(format);
    FUZZ_CHECK(!missing);
    FUZZ_CHECK(text == expected);
  } catch (const EConvertError& error) {
    FUZZ_CHECK(missing);
    FUZZ_CHECK(error.Message() == "No argument for format '" + format + "'");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  AnyFormat(input);
  BuiltFormat(input);
  return 0;
}
