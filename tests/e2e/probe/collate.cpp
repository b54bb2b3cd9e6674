// Probe used by test_name_order.py: how Windows (here Wine) compares file
// names, straight from CompareStringA, with nothing of Reelstart in between.
//
//   collate.exe NAMES OUT
//
// NAMES holds one name a line (ANSI, CR LF or LF). OUT gets one line per
// name i: for every name j the result of CompareStringA(LOCALE_USER_DEFAULT,
// NORM_IGNORECASE, name i, name j) as '<', '=' or '>' ('0' on failure).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 2;
  std::FILE* in = std::fopen(__argv[1], "rb");
  if (in == nullptr) return 3;
  std::vector<std::string> names;
  std::string line;
  for (int c; (c = std::fgetc(in)) != EOF;) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      names.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  if (!line.empty()) names.push_back(line);
  std::fclose(in);

  std::FILE* out = std::fopen(__argv[2], "wb");
  if (out == nullptr) return 4;
  for (const std::string& a : names) {
    std::string row;
    for (const std::string& b : names) {
      const int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                                   static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
      row += r == CSTR_LESS_THAN ? '<' : r == CSTR_EQUAL ? '=' : r == CSTR_GREATER_THAN ? '>' : '0';
    }
    row += '\n';
    std::fwrite(row.data(), 1, row.size(), out);
  }
  std::fclose(out);
  return 0;
}
