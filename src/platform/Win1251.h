// Windows-1251, the code page of the program's Russian texts.
//
// Literals are written readably in the (UTF-8) source and turned into
// Windows-1251 bytes by the compiler: Win1251(u8"Фильмы") is the 6-byte
// string_view the program writes. A character the code page lacks fails the
// build. At run time Win1251FromUtf16 and Utf16FromWin1251 convert as
// WideCharToMultiByte and MultiByteToWideChar do for code page 1251: a
// character the code page lacks becomes '?', the unassigned byte 0x98 U+0098.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace reelstart {

template <std::size_t N>
struct AnsiLiteral {
  char bytes[N] = {};
  std::size_t size = 0;
  constexpr operator std::string_view() const { return {bytes, size}; }
};

namespace detail {
// The characters of bytes 0x80 to 0xBF (0x98 is unassigned); 0xC0 to 0xFF are
// А to я in alphabetical order.
inline constexpr char16_t kWin1251High[64] = {
    u'\u0402', u'\u0403', u'\u201A', u'\u0453', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u20AC', u'\u2030', u'\u0409', u'\u2039', u'\u040A', u'\u040C', u'\u040B', u'\u040F',
    u'\u0452', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\0',     u'\u2122', u'\u0459', u'\u203A', u'\u045A', u'\u045C', u'\u045B', u'\u045F',
    u'\u00A0', u'\u040E', u'\u045E', u'\u0408', u'\u00A4', u'\u0490', u'\u00A6', u'\u00A7',
    u'\u0401', u'\u00A9', u'\u0404', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u0407',
    u'\u00B0', u'\u00B1', u'\u0406', u'\u0456', u'\u0491', u'\u00B5', u'\u00B6', u'\u00B7',
    u'\u0451', u'\u2116', u'\u0454', u'\u00BB', u'\u0458', u'\u0405', u'\u0455', u'\u0457',
};

// The byte of `c` in Windows-1251; -1 when the code page lacks it.
constexpr int Win1251Byte(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  if (c >= 0x410 && c <= 0x44F) return static_cast<int>(0xC0 + (c - 0x410));
  for (int i = 0; i < 64; ++i) {
    if (kWin1251High[i] != 0 && kWin1251High[i] == c) return 0x80 + i;
  }
  return -1;
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
    } else if ((lead & 0xF0) == 0xE0 && i + 3 < N) {
      c = (static_cast<char32_t>(lead & 0x0F) << 12) |
          (static_cast<char32_t>(utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      i += 3;
    } else {
      throw "only characters of the Basic Multilingual Plane are expected";
    }
    const int byte = detail::Win1251Byte(c);
    if (byte < 0) throw "character not in Windows-1251";
    result.bytes[result.size++] = static_cast<char>(byte);
  }
  return result;
}

inline std::string Win1251FromUtf16(std::u16string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char16_t c : text) {
    const int byte = detail::Win1251Byte(c);
    result += static_cast<char>(byte < 0 ? '?' : byte);
  }
  return result;
}

inline std::u16string Utf16FromWin1251(std::string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80 || c == 0x98) {
      result += static_cast<char16_t>(c);
    } else if (c < 0xC0) {
      result += detail::kWin1251High[c - 0x80];
    } else {
      result += static_cast<char16_t>(0x410 + (c - 0xC0));
    }
  }
  return result;
}

}  // namespace reelstart
