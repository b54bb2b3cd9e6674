// The platform contract's cases for how the stand-in reads a path
// (Paths_mem.cpp), held to Windows under Wine.
#include "support/ContractCases.h"

#include <string>

namespace reelstart::contract {

using namespace win;

// '?' in a mask stands for one character, as '*' for any run of them.
void ListingsWithWildcards(Context& c) {
  Write(c, c.Dir + "film.avi");
  Write(c, c.Dir + "film.mpg");
  c.Eq("fil?.avi", Listing(c, c.Dir + "fil?.avi"), std::string("film.avi"));
  c.Eq("?ilm.*", Listing(c, c.Dir + "?ilm.*"), std::string("film.avi|film.mpg"));
  c.Eq("*.mpg", Listing(c, c.Dir + "*.mpg"), std::string("film.mpg"));
  c.Eq("x?.avi", Listing(c, c.Dir + "x?.avi"), std::string("error 2"));
}

// A path's last name loses its trailing dots and spaces; a folder's name
// with more after it one trailing dot.
void TrailingDotsAndSpaces(Context& c) {
  Write(c, c.Dir + "film.avi");
  c.F.MakeFolder(c.Dir + "Sub");
  Write(c, c.Dir + "Sub\\in.avi");
  const struct {
    const char* path;
    long expected;
  } rows[] = {
      {"film.avi.", kErrorSuccess},         {"film.avi ", kErrorSuccess},
      {"film.avi. . ", kErrorSuccess},      {"Sub.\\in.avi", kErrorSuccess},
      {"Sub\\in.avi...", kErrorSuccess},    {"Sub..\\in.avi", kErrorPathNotFound},
      {"Sub \\in.avi", kErrorPathNotFound}, {"film.av", kErrorFileNotFound},
  };
  for (const auto& row : rows) {
    c.Eq(std::string("attributes of ") + row.path, AttributesError(c, c.Dir + row.path),
         row.expected);
    c.Eq(std::string("open of ") + row.path,
         OpenError(c, c.Dir + row.path, kGenericRead, kFileShareRead), row.expected);
  }
}

void MissingPathsAndInvalidNames(Context& c) {
  Write(c, c.Dir + "film.avi");
  const struct {
    const char* path;
    long expected;
  } rows[] = {
      {"none.avi", kErrorFileNotFound},    {"Missing\\none.avi", kErrorPathNotFound},
      {"fil?.avi", kErrorInvalidName},     {"fil*.avi", kErrorInvalidName},
      {"film.avi\\x", kErrorPathNotFound},
  };
  for (const auto& row : rows) {
    c.Eq(std::string("open of ") + row.path,
         OpenError(c, c.Dir + row.path, kGenericRead, kFileShareRead), row.expected);
    c.Eq(std::string("attributes of ") + row.path, AttributesError(c, c.Dir + row.path),
         row.expected);
  }
  c.Eq("made in no such folder",
       OpenError(c, c.Dir + "Missing\\new.asx", kGenericWrite, 0, kCreateAlways),
       kErrorPathNotFound);
  c.Eq("made with '?'", OpenError(c, c.Dir + "new?.asx", kGenericWrite, 0, kCreateAlways),
       kErrorInvalidName);
}

// The ANSI calls take paths of MAX_PATH - 1 characters at most. (Wine takes
// one more, so no path here is exactly MAX_PATH long.)
void PathLimit(Context& c) {
  const auto path = [&](std::size_t length) {
    return c.Dir + std::string(length - c.Dir.size(), 'x');
  };
  Write(c, path(259));
  c.Eq("259 characters", OpenError(c, path(259), kGenericRead, kFileShareRead), kErrorSuccess);
  c.Eq("261 characters", OpenError(c, path(261), kGenericRead, kFileShareRead),
       kErrorFilenameExcedRange);
  c.Eq("attributes of 261", AttributesError(c, path(261)), kErrorFilenameExcedRange);
  c.Eq("made with 261", OpenError(c, path(261), kGenericWrite, 0, kCreateAlways),
       kErrorFilenameExcedRange);
  c.Eq("listing of 261", Listing(c, path(261)),
       "error " + std::to_string(kErrorFilenameExcedRange));
}

// Full paths read as a lookup reads them; longer than MAX_PATH, whole.
void FullPaths(Context& c) {
  const std::string longName(300 - c.Dir.size(), 'x');
  const struct {
    std::string path, full;  // under the case's folder
  } rows[] = {
      {"film.avi. . ", "film.avi"}, {"Sub\\..\\film.avi", "film.avi"},
      {"Sub\\.\\film.avi", "Sub\\film.avi"}, {"Sub\\\\film.avi", "Sub\\film.avi"},
      {"Sub.\\film.avi", "Sub\\film.avi"}, {"Sub\\", "Sub\\"},
      {longName, longName},
  };
  for (const auto& row : rows) {
    c.Eq("full path of " + row.path.substr(0, 20), c.P.GetFullPathNameA(c.Dir + row.path),
         c.Dir + row.full);
  }
}

}  // namespace reelstart::contract
