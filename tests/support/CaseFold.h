// Case folding as a Russian Windows does it for names and keys: the ASCII
// letters and the Cyrillic ones (Ё, Ђ, Ў, Ґ... included), lower case to upper.
// One rule for UTF-16 keys (version resources) and for Windows-1251 names.
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "platform/Win1251.h"

namespace reelstart {

constexpr char16_t FoldCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);  // а..я
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);  // ѐ..џ
  if (c == 0x491) return 0x490;                                           // ґ
  return c;
}

namespace detail {
constexpr std::array<unsigned char, 256> kFold1251 = [] {
  std::array<unsigned char, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    const char16_t c = byte < 0x80    ? static_cast<char16_t>(byte)
                       : byte < 0xC0 ? kWin1251High[byte - 0x80]
                                     : static_cast<char16_t>(0x410 + (byte - 0xC0));
    const int folded = c == 0 && byte != 0 ? -1 : Win1251Byte(FoldCase(c));
    table[static_cast<std::size_t>(byte)] = static_cast<unsigned char>(folded < 0 ? byte : folded);
  }
  return table;
}();
}  // namespace detail

// The same folding for a byte of Windows-1251.
constexpr unsigned char FoldCase(unsigned char c) { return detail::kFold1251[c]; }

// A Windows-1251 text folded as above, as names and keys are compared.
inline std::string Folded(std::string text) {
  for (char& c : text) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  return text;
}

// Whether two Windows-1251 names are one, case aside.
inline bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(static_cast<unsigned char>(x)) == FoldCase(static_cast<unsigned char>(y));
         });
}

}  // namespace reelstart
