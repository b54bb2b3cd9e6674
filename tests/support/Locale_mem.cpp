// The stand-in's locale. What it believes of Windows, and the platform
// contract's cases (support/PlatformContract.h) that hold it to Wine:
// - CompareStringA with NORM_IGNORECASE, and the sort keys LCMapStringA
//   makes with it compared byte by byte, order names alike: case counts for
//   nothing; ё is е first, then after it; symbols before digits, digits
//   (no numbers) before Latin letters, Latin before Cyrillic; a space is a
//   symbol; a hyphen or an apostrophe weighs nothing first and then more than
//   nothing; a soft hyphen weighs nothing at all; CharUpperBuffA folds
//   Cyrillic with Latin; Windows-1251 has no lead bytes: LocaleText;
// - without LOCALE_USE_CP_ACP the bytes are read in the Formats locale's
//   code page (1252 for English Formats: "Ё" is "¨", a symbol; "Я" is "ß",
//   an s), with it in the ANSI one: LocaleTextUnderEnglishFormats;
// - a Russian locale's short date is "dd.MM.yyyy", its separator "."; an
//   item the locale lacks reads as empty; the clock gives dates that can
//   be, with their day of the week, and runs forward: LocaleDates.
// Believed without a case, unlike Windows, which no comparison here relies
// on: the other Cyrillic letters follow я, and symbols follow one another in
// code order. Lead bytes of a double-byte code page (SetCodePage) as
// Microsoft's code page tables give them.
#include "support/Locale_mem.h"

#include <algorithm>
#include <array>

#include "platform/Win1251.h"
#include "support/CaseFold.h"

namespace reelstart {

namespace {

// The first-level weight of a character other than a hyphen or an apostrophe:
// its group (2 symbols, 3 digits, 4 Latin, 5 Russian, 6 other Cyrillic letters)
// and its rank within the group, each at least 2.
std::pair<char, char> Weight(unsigned char byte) {
  static const std::array<unsigned char, 256> symbolRanks = [] {
    std::array<unsigned char, 256> ranks{};
    int next = 2;
    for (int b = 0; b < 256; ++b) {
      const char16_t upper = FoldCase(Utf16FromWin1251(std::string(1, static_cast<char>(b)))[0]);
      const bool symbol = !(upper >= u'0' && upper <= u'9') && !(upper >= u'A' && upper <= u'Z') &&
                          !(upper >= 0x400 && upper <= 0x4FF);
      if (symbol) ranks[static_cast<std::size_t>(b)] = static_cast<unsigned char>(next++);
    }
    return ranks;
  }();
  const char16_t upper = FoldCase(Utf16FromWin1251(std::string(1, static_cast<char>(byte)))[0]);
  const auto weight = [](int group, int rank) {
    return std::pair{static_cast<char>(group), static_cast<char>(2 + rank)};
  };
  if (upper >= u'0' && upper <= u'9') return weight(3, upper - u'0');
  if (upper >= u'A' && upper <= u'Z') return weight(4, upper - u'A');
  if (upper == 0x401) return weight(5, 0x415 - 0x410);  // Ё is Е here
  if (upper >= 0x410 && upper <= 0x42F) return weight(5, upper - 0x410);
  if (upper >= 0x400 && upper <= 0x4FF) return weight(6, upper & 0xFF);
  return {2, static_cast<char>(symbolRanks[byte])};
}

// The first-level weight of a byte of Windows-1252, as a locale that reads
// the bytes in that code page weighs it: the ASCII bytes as above, a Latin
// letter with a diacritic as its base letter (À as A, ß as S), any other
// byte a symbol.
std::pair<char, char> Weight1252(unsigned char byte) {
  // 0xC0 to 0xFF; '*' a symbol (× and ÷). Þ reads as T, ð as D.
  static constexpr char kBase[] = "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTSAAAAAAACEEEEIIIIDNOOOOO*OUUUUYTY";
  char base = 0;
  if (byte >= 0xC0) {
    base = kBase[byte - 0xC0];
  } else if (byte == 0x8A || byte == 0x9A) {
    base = 'S';  // Š š
  } else if (byte == 0x8E || byte == 0x9E) {
    base = 'Z';  // Ž ž
  } else if (byte == 0x8C || byte == 0x9C) {
    base = 'O';  // Œ œ
  } else if (byte == 0x9F) {
    base = 'Y';  // Ÿ
  }
  if (byte < 0x80) return Weight(byte);
  if (base == 0 || base == '*') return {2, static_cast<char>(2 + (byte - 0x80))};
  return Weight(static_cast<unsigned char>(base));
}

// A sort key of a text as the user's locale makes it, in four levels: the
// letters, digits and other symbols (all symbols before all digits, digits
// before Latin letters, Latin before Cyrillic, ё with е); then the
// diacritics (ё after е); then the case (lower before upper), unless
// `ignoreCase`; then hyphens and apostrophes, which weigh nothing on the first
// levels (a word sort). The levels are separated by 1 and the key ends in 0,
// so keys compare byte by byte. The bytes are Windows-1251, or Windows-1252
// where `codePage` says so. Russian letters are in their alphabet's order;
// the other Cyrillic letters follow я, and symbols follow one another in code
// order (both unlike Windows, which no comparison here relies on).
std::string SortKey(std::string_view text, bool ignoreCase, unsigned codePage = 1251) {
  std::string letters, diacritics, cases, specials;
  std::size_t position = 0;
  for (const char byte : text) {
    const auto b = static_cast<unsigned char>(byte);
    if (b == '-' || b == '\'') {
      specials += static_cast<char>(2 + position / 250);
      specials += static_cast<char>(2 + position % 250);
      specials += b == '-' ? '\3' : '\2';
      continue;
    }
    if (b == 0xAD) continue;  // a soft hyphen weighs nothing at all
    const bool latin = codePage == 1252;
    const auto [group, rank] = latin ? Weight1252(b) : Weight(b);
    letters += group;
    letters += rank;
    const bool marked = latin ? b >= 0xC0 && b != 0xD7 && b != 0xF7 : b == 0xA8 || b == 0xB8;
    diacritics += marked ? '\3' : '\2';  // Ё, ё; À, à ...
    cases += FoldCase(b) != b ? '\2' : '\3';
    ++position;
  }
  std::string key = letters + '\1' + diacritics + '\1';
  if (!ignoreCase) key += cases + '\1';
  return key + specials + '\0';
}

}  // namespace

void MemoryLocale::SetCodePage(unsigned codePage) {
  leadBytes_.clear();
  if (codePage == 932) {
    leadBytes_ = {{0x81, 0x9F}, {0xE0, 0xFC}};
  } else if (codePage == 936 || codePage == 949 || codePage == 950) {
    leadBytes_ = {{0x81, 0xFE}};
  }
}

int MemoryLocale::CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                                 std::string_view string2) {
  if ((cmpFlags & ~(win::kNormIgnoreCase | win::kLocaleUseCpAcp)) != 0) {
    lastError_.Set(win::kErrorInvalidFlags);
    return 0;
  }
  const bool ignoreCase = (cmpFlags & win::kNormIgnoreCase) != 0;
  const unsigned codePage = ReadingCodePage(cmpFlags);
  const int order =
      SortKey(string1, ignoreCase, codePage).compare(SortKey(string2, ignoreCase, codePage));
  lastError_.Succeeded();
  return order < 0 ? win::kCstrLessThan : order == 0 ? win::kCstrEqual : win::kCstrGreaterThan;
}

// Only sort keys, and only with the flags the stand-in knows.
std::string MemoryLocale::LCMapStringA(std::uint32_t mapFlags, std::string_view source) {
  if ((mapFlags & ~(win::kLcmapSortKey | win::kNormIgnoreCase | win::kLocaleUseCpAcp)) != 0 ||
      (mapFlags & win::kLcmapSortKey) == 0) {
    lastError_.Set(win::kErrorInvalidFlags);
    return {};
  }
  lastError_.Succeeded();
  return SortKey(source, (mapFlags & win::kNormIgnoreCase) != 0, ReadingCodePage(mapFlags));
}

unsigned MemoryLocale::ReadingCodePage(std::uint32_t flags) const {
  return (flags & win::kLocaleUseCpAcp) != 0 ? 1251 : FormatsCodePage;
}

bool MemoryLocale::IsDBCSLeadByte(unsigned char byte) {
  return std::any_of(leadBytes_.begin(), leadBytes_.end(),
                     [byte](auto range) { return byte >= range.first && byte <= range.second; });
}

std::string MemoryLocale::CharUpperBuffA(std::string text) {
  lastError_.Succeeded();
  return Folded(std::move(text));
}

std::string MemoryLocale::GetLocaleInfoA(std::uint32_t lcType) {
  LocaleInfoReads.push_back(lcType);
  const auto found = LocaleInfo.find(lcType);
  if (found == LocaleInfo.end()) {
    lastError_.Set(win::kErrorInvalidFlags);
    return {};
  }
  lastError_.Succeeded();
  return found->second;
}

}  // namespace reelstart
