// The ASX playlist writer.
#include "common/Errors.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "platform/Win1251.h"
#include "platform/ScopedHandle.h"
#include "videofiles/QVVideoFilesProcessor.h"

namespace reelstart {

namespace {

// Lines 1 to 4 of the playlist with the CR LF pairs between them (137 bytes
// before formatting); Author, Publisher, Copyright fill the placeholders.
constexpr auto kPlaylistHeader = Win1251(
    u8"<ASX Version=\"3.0\">\r\n"
    u8"<Author>Автор программы: %s Издатель: %s</Author>\r\n"
    u8"<Copyright>Авторские права: %s</Copyright>\r\n"
    u8"<Title>Фильмы</Title>");

// The item's file name without its extension.
std::string Title(const std::string& path) {
  return ChangeFileExt(ExtractFileName(path), "");
}

// The system's text for `code` without the trailing blanks, line breaks and
// periods FormatMessageA ends it with.
std::string SysErrorMessage(std::uint32_t code) {
  const std::string text = ThePlatform().FormatMessageA(code);
  return std::string(TrimRight(text, [](unsigned char c) { return c <= ' ' || c == '.'; }));
}

// Creates `fileName` (or truncates it) and writes `text` with one write.
// Raises EFCreateError when the file cannot be created, EWriteError when
// fewer bytes were written; the file is closed on every path.
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

// The folder the playlist goes to: "TMP" as it is set, trailing backslash and
// all. Unset or empty, the system's temporary folder: the root of the current
// drive, which is where "\" + name would land, is often the read-only disc.
std::string PlaylistFolder() {
  Platform& platform = ThePlatform();
  std::string tmpDir = platform.GetEnvironmentVariableA("TMP");
  if (tmpDir.empty()) tmpDir = ExcludeTrailingBackslash(platform.GetTempPathA());
  return tmpDir;
}

}  // namespace

std::string TQVVideoFilesEnumerator::PlaylistText(const std::string& author,
                                                  const std::string& publisher,
                                                  const std::string& copyright) const {
  std::string text = Format(kPlaylistHeader, {author, publisher, copyright});
  text += "\r\n";
  for (const TVideoFile& file : files_) {
    text += "\t<Entry>\r\n\t\t<Ref href=\"";
    text += file.Path;
    text += "\"/>\r\n\t\t<Title>";
    text += Title(file.Path);
    text += "</Title>\r\n\t</Entry>\r\n";
  }
  text += "</ASX>\r\n";
  return text;
}

bool TQVVideoFilesEnumerator::CreatePlaylist(const std::string& author,
                                             const std::string& publisher,
                                             const std::string& copyright,
                                             std::string& playlistFile) {
  playlistFile.clear();
  if (Count() == 0) return false;
  Sort();
  const std::string tmpDir = PlaylistFolder();
  const std::string text = PlaylistText(author, publisher, copyright);
  playlistFile = tmpDir + "\\" +
                 ChangeFileExt(ExtractFileName(ThePlatform().GetModuleFileNameA()), ".asx");
  SaveToFile(playlistFile, text);
  return true;
}

}  // namespace reelstart
