// Text helpers over 8-bit ANSI strings.
#pragma once

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace reelstart {

// The bytes that start a double-byte character in the ANSI code page; none
// for a single-byte one such as Windows-1251. Read once a run
// (GetAnsiLeadBytes) and handed to every helper that splits text by bytes.
using TLeadBytes = std::bitset<256>;

// Folds only the ASCII letters A to Z; every other byte stays as it is.
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
std::string AsciiLowerCase(std::string_view text);

// The low `digits` hexadecimal digits of `value`, upper case, leading zeros kept.
std::string HexDigits(std::uint32_t value, int digits);

// Byte comparison with only the ASCII letters a to z folded to A to Z; the
// first differing byte decides as an unsigned value, and a prefix comes first.
// Answers a negative number, 0 or a positive number.
int AsciiCompareText(std::string_view text1, std::string_view text2);

// Fills the placeholders of `format` with `args`, all of them text:
//   "%" [index ":"] ["-"] [width] ["." precision] "s", and "%%" for "%".
// Without an index a placeholder takes the argument after the one used last,
// so "%s %s %0:s %s" with a, b gives "a b a b". Width pads with spaces (on the
// right with "-"), precision cuts. Raises EConvertError "Format '%s' invalid
// or incompatible with argument" for a malformed placeholder and "No argument
// for format '%s'" for an index past the last argument.
std::string Format(std::string_view format, std::initializer_list<std::string_view> args);

// Reads `text` as a whole integer: optional leading spaces (0x20 only), an
// optional '+' or '-', then decimal digits, or hexadecimal digits after '$',
// 'x' or '0x' (letters in either case). Nothing may follow the digits and the
// value must fit a signed 32-bit integer. False, `value` untouched, otherwise.
bool TryStrToInt(std::string_view text, int& value);

// `text` without its trailing bytes for which `drop` holds.
template <class Predicate>
std::string_view TrimRight(std::string_view text, Predicate drop) {
  while (!text.empty() && drop(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

}  // namespace reelstart
