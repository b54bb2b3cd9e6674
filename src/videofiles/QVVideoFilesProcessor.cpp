// The run sequence, the switches and the help message.
#include "videofiles/QVVideoFilesProcessor.h"

#include "common/CommandLine.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "platform/Platform.h"
#include "version/QVVersion.h"

namespace reelstart {

namespace {

constexpr std::uint32_t kHelpMessage = 65437;

}  // namespace

TSortMode TQVVideoFilesProcessor::GetSortMode() {
  if (FindSwitch("no")) return smNone;
  const bool asc = FindSwitch("asc");
  const bool desc = FindSwitch("desc");
  if (FindSwitch("size") || !FindSwitch("name")) {
    return desc || !asc ? smSizeDesc : smSizeAsc;
  }
  return asc || !desc ? smNameAsc : smNameDesc;
}

void TQVVideoFilesProcessor::ShowHelp(const TQVFileVersionInfo& versionInfo) {
  Platform& platform = ThePlatform();
  const std::string program =
      platform.CharUpperBuffA(ChangeFileExt(ExtractFileName(versionInfo.FileName), ""));
  const std::string text = Format(platform.LoadStringA(kHelpMessage),
                                  {program, "name", "size", "no", "asc", "desc", "?"});
  platform.MessageBoxA(text, versionInfo.ProductName, win::kMbOk | win::kMbIconInformation);
}

void TQVVideoFilesProcessor::Execute() {
  Platform& platform = ThePlatform();
  FormatSettings = GetLocaleFormatSettings();
  // The program's own path always comes from the module, never from the
  // command line.
  const std::string exePath = platform.GetModuleFileNameA();
  TQVFileVersionInfo versionInfo;
  versionInfo.SetFileName(exePath);

  if (FindSwitch("?") || FindSwitch("help")) {
    ShowHelp(versionInfo);
    return;
  }

  TQVVideoFilesEnumerator enumerator;
  enumerator.SortMode = GetSortMode();
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
