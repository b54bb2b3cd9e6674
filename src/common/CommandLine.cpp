#include "common/CommandLine.h"

#include "platform/Platform.h"

namespace reelstart {

namespace {

constexpr bool IsSeparator(char c) {
  return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}

// Reads the argument starting at `pos` into `argument` and answers where the
// next one may start. No double-byte character can hide a quote or a
// separator: trail bytes are 0x40 or above on every double-byte code page.
std::size_t NextArgument(std::string_view line, std::size_t pos, std::string& argument) {
  argument.clear();
  for (;;) {
    while (pos < line.size() && IsSeparator(line[pos])) ++pos;
    if (pos + 1 < line.size() && line[pos] == '"' && line[pos + 1] == '"') {
      pos += 2;
    } else {
      break;
    }
  }
  while (pos < line.size() && static_cast<unsigned char>(line[pos]) > ' ') {
    if (line[pos] == '"') {
      const std::size_t close = line.find('"', pos + 1);
      const std::size_t end = close == std::string_view::npos ? line.size() : close;
      argument.append(line.substr(pos + 1, end - pos - 1));
      pos = close == std::string_view::npos ? end : close + 1;
    } else {
      argument += line[pos++];
    }
  }
  return pos;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  // A NUL ends the command line as it ends the C string Windows gives.
  commandLine = commandLine.substr(0, commandLine.find('\0'));
  std::vector<std::string> arguments;
  std::string argument;
  std::size_t pos = NextArgument(commandLine, 0, argument);
  arguments.push_back(argument);  // the program, possibly empty
  for (;;) {
    pos = NextArgument(commandLine, pos, argument);
    // Only the end of the line reads as an empty argument.
    if (argument.empty()) break;
    arguments.push_back(argument);
  }
  return arguments;
}

bool FindSwitch(std::string_view name) {
  Platform& platform = ThePlatform();
  const std::vector<std::string> arguments = SplitCommandLine(platform.GetCommandLineA());
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument[0] != '-' && argument[0] != '/') continue;
    // The line is in the ANSI code page, whatever the Formats locale's is.
    if (platform.CompareStringA(win::kNormIgnoreCase | win::kLocaleUseCpAcp, argument.substr(1),
                                name) == win::kCstrEqual) {
      return true;
    }
  }
  return false;
}

}  // namespace reelstart
