#include "videofiles/QVPlaylist.h"

#include "common/Errors.h"
#include "common/Module.h"
#include "common/Paths.h"
#include "platform/ScopedHandle.h"
#include "platform/Win1251.h"

namespace reelstart {

namespace {

// Lines 1 to 4 of the playlist with the CR LF pairs between them (137 bytes
// before formatting); Author, Publisher, Copyright fill the placeholders.
constexpr auto kPlaylistHeader = Win1251(
    u8"<ASX Version=\"3.0\">\r\n"
    u8"<Author>Автор программы: %s Издатель: %s</Author>\r\n"
    u8"<Copyright>Авторские права: %s</Copyright>\r\n"
    u8"<Title>Фильмы</Title>");

// The system's text for `code` without the trailing blanks, line breaks and
// periods FormatMessageA ends it with.
std::string SysErrorMessage(std::uint32_t code) {
  const std::string text = ThePlatform().FormatMessageA(code);
  return std::string(TrimRight(text, [](unsigned char c) { return c <= ' ' || c == '.'; }));
}

// The folder the playlist goes to: "TMP" as it is set, trailing backslash and
// all. Unset or empty, the system's temporary folder: the root of the current
// drive, which is where "\" + name would land, is often the read-only disc.
// Either may name a folder the ANSI code page cannot spell (a user profile
// named "Łukasz" on a Russian system): its 8.3 path then, which the playlist
// is written to and opened by. Without one the path stays as the code page
// spells it, and fails as such.
std::string PlaylistFolder(const TLeadBytes& leadBytes) {
  Platform& platform = ThePlatform();
  const auto spelled = [](std::string ansi, std::string shortForm) {
    return shortForm.empty() ? ansi : shortForm;
  };
  const std::string tmpDir = platform.GetEnvironmentVariableA("TMP");
  if (!tmpDir.empty()) return spelled(tmpDir, platform.GetShortEnvironmentVariableA("TMP"));
  return ExcludeTrailingBackslash(spelled(platform.GetTempPathA(), platform.GetShortTempPathA()),
                                  leadBytes);
}

}  // namespace

void SaveToFile(const std::string& fileName, const std::string& text) {
  Platform& platform = ThePlatform();
  const ScopedFileHandle file(platform.CreateFileA(fileName, win::kGenericRead | win::kGenericWrite,
                                                   0, win::kCreateAlways,
                                                   win::kFileAttributeNormal));
  if (!file.IsValid()) {
    const std::uint32_t error = platform.GetLastError();  // before any other call resets it
    Raise<EFCreateError>(Format("Cannot create file \"%s\". %s",
                                {platform.GetFullPathNameA(fileName), SysErrorMessage(error)}));
  }
  std::uint32_t written = 0;
  const auto size = static_cast<std::uint32_t>(text.size());
  if (!platform.WriteFile(file.Get(), text.data(), size, written) || written != size) {
    Raise<EWriteError>("Stream write error");
  }
}

std::string PlaylistText(const TVideoFileList& files, const std::string& author,
                         const std::string& publisher, const std::string& copyright,
                         const TLeadBytes& leadBytes) {
  std::string text = Format(kPlaylistHeader, {author, publisher, copyright});
  text += "\r\n";
  for (const TVideoFile& file : files) {
    text += "\t<Entry>\r\n\t\t<Ref href=\"";
    text += file.Path;
    text += "\"/>\r\n\t\t<Title>";
    text += ChangeFileExt(ExtractFileName(file.Path, leadBytes), "", leadBytes);
    text += "</Title>\r\n\t</Entry>\r\n";
  }
  text += "</ASX>\r\n";
  return text;
}

std::string PlaylistFileName(const TLeadBytes& leadBytes) {
  const std::string exeName = ExtractFileName(ExecutablePath(), leadBytes);
  return PlaylistFolder(leadBytes) + "\\" + ChangeFileExt(exeName, ".asx", leadBytes);
}

}  // namespace reelstart
