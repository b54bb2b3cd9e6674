// The run sequence.
#include "videofiles/QVVideoFilesProcessor.h"

#include "common/Paths.h"
#include "platform/Platform.h"

namespace reelstart {

void TQVVideoFilesProcessor::Execute() {
  Platform& platform = ThePlatform();
  const std::string exePath = platform.GetModuleFileNameA();

  TQVVideoFilesEnumerator enumerator;
  enumerator.FindFiles(ExtractFilePath(exePath) + "*.*");

  std::string playlistFile;
  if (enumerator.CreatePlaylist("", "", "", playlistFile)) {
    // The player's start is the shell's business: a missing association is
    // not reported.
    platform.ShellExecuteA("open", playlistFile, win::kSwShowNormal);
  }
}

}  // namespace reelstart
