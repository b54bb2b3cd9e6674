// Russian text literals written readably in the (UTF-8) source and turned into
// Windows-1251 bytes by the compiler: Win1251(u8"Фильмы") is the 6-byte
// string_view the program writes. A character outside ASCII and the Russian
// alphabet fails the build.
#pragma once

#include <cstddef>
#include <string_view>

namespace reelstart {

template <std::size_t N>
struct AnsiLiteral {
  char bytes[N] = {};
  std::size_t size = 0;
  constexpr operator std::string_view() const { return {bytes, size}; }
};

namespace detail {
constexpr char ToWin1251(char32_t c) {
  if (c < 0x80) return static_cast<char>(c);
  if (c >= 0x410 && c <= 0x44F) return static_cast<char>(0xC0 + (c - 0x410));
  if (c == 0x401) return static_cast<char>(0xA8);  // Ё
  if (c == 0x451) return static_cast<char>(0xB8);  // ё
  throw "character not in Windows-1251 as the program uses it";
}
}  // namespace detail

template <std::size_t N>
consteval AnsiLiteral<N> Win1251(const char8_t (&utf8)[N]) {
  AnsiLiteral<N> result;
  for (std::size_t i = 0; i + 1 < N;) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t c = 0;
    if (lead < 0x80) {
      c = lead;
      i += 1;
    } else if ((lead & 0xE0) == 0xC0 && i + 2 < N) {
      c = (static_cast<char32_t>(lead & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      i += 2;
    } else {
      throw "only one- and two-byte UTF-8 characters are expected";
    }
    result.bytes[result.size++] = detail::ToWin1251(c);
  }
  return result;
}

}  // namespace reelstart
