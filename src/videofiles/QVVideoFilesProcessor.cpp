// The run sequence.
#include "videofiles/QVVideoFilesProcessor.h"

#include "common/Paths.h"
#include "platform/Platform.h"
#include "version/QVVersion.h"

namespace reelstart {

void TQVVideoFilesProcessor::Execute() {
  Platform& platform = ThePlatform();
  FormatSettings = GetLocaleFormatSettings();
  // The program's own path always comes from the module, never from the
  // command line.
  const std::string exePath = platform.GetModuleFileNameA();
  TQVFileVersionInfo versionInfo;
  versionInfo.SetFileName(exePath);

  TQVVideoFilesEnumerator enumerator;
  enumerator.FindFiles(ExtractFilePath(exePath) + "*.*");

  std::string playlistFile;
  if (enumerator.CreatePlaylist(versionInfo.Author, versionInfo.CompanyName,
                                versionInfo.LegalCopyright, playlistFile)) {
    // The player's start is the shell's business: a missing association is
    // not reported.
    platform.ShellExecuteA("open", playlistFile, win::kSwShowNormal);
  }
  // After the playlist is open, so that the registry never holds up playback;
  // also when nothing was found.
  SaveStatistics(enumerator, versionInfo);
}

}  // namespace reelstart
