// The run sequence, the switches and the help message.
#include "videofiles/QVVideoFilesProcessor.h"

#include "common/CommandLine.h"
#include "common/Locale.h"
#include "common/Module.h"
#include "common/Paths.h"
#include "platform/Platform.h"
#include "platform/ScopedCom.h"
#include "version/QVVersion.h"
#include "videofiles/QVStatistics.h"
#include "videofiles/QVVideoFilesEnumerator.h"

namespace reelstart {

namespace {

constexpr std::uint32_t kHelpMessage = 65437;

// In the order they are written.
constexpr RegistryKey kRegistryRoots[] = {kHkeyLocalMachine, kHkeyCurrentUser};

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

void TQVVideoFilesProcessor::ShowHelp(const TQVFileVersionInfo& versionInfo,
                                      const TLeadBytes& leadBytes) {
  Platform& platform = ThePlatform();
  const std::string program = platform.CharUpperBuffA(
      ChangeFileExt(ExtractFileName(versionInfo.FileName, leadBytes), "", leadBytes));
  const std::string text = Format(platform.LoadStringA(kHelpMessage),
                                  {program, "name", "size", "no", "asc", "desc", "?"});
  platform.MessageBoxA(text, versionInfo.ProductName, win::kMbOk | win::kMbIconInformation);
}

void TQVVideoFilesProcessor::Execute() {
  Platform& platform = ThePlatform();
  const TFormatSettings settings = GetLocaleFormatSettings();
  // The program's own path always comes from the module, never from the
  // command line.
  const std::string exePath = ExecutablePath();
  TQVFileVersionInfo versionInfo;
  versionInfo.SetFileName(exePath);

  if (FindSwitch("?") || FindSwitch("help")) {
    ShowHelp(versionInfo, settings.LeadBytes);
    return;
  }

  TQVVideoFilesEnumerator enumerator(settings.LeadBytes);
  enumerator.SortMode = GetSortMode();
  enumerator.FindFiles(ExtractFilePath(exePath, settings.LeadBytes) + "*.*");

  std::string playlistFile;
  if (enumerator.CreatePlaylist(versionInfo.Author, versionInfo.CompanyName,
                                versionInfo.LegalCopyright, playlistFile)) {
    // The player's start is the shell's business: a missing association is
    // not reported. The shell may hand the request to an extension of its
    // own, which Microsoft documents as needing COM in a single-threaded
    // apartment.
    const ScopedCom com(win::kCoinitApartmentThreaded | win::kCoinitDisableOle1Dde);
    platform.ShellExecuteA("open", playlistFile, win::kSwShowNormal);
  }
  // After the playlist is open, so that the registry never holds up playback;
  // also when nothing was found.
  SaveStatistics(enumerator, versionInfo, settings);
}

void TQVVideoFilesProcessor::SaveStatistics(const TQVVideoFilesEnumerator& enumerator,
                                            const TQVFileVersionInfo& versionInfo,
                                            const TFormatSettings& settings) {
  Platform& platform = ThePlatform();
  const SystemTime now = platform.GetLocalTime();
  TDateTime today = 0;
  TryEncodeDate(now.Year, now.Month, now.Day, today);

  const std::string keyPath =
      Format("Software\\%s\\%s\\%s",
             {versionInfo.CompanyName, versionInfo.InternalName, versionInfo.ProductVersion});
  TStartStatistics statistics;
  statistics.LastStart = DateToStr(today, settings);
  statistics.VideoFilesCount = static_cast<std::uint32_t>(enumerator.Count());
  statistics.ReleaseDate = DateToStr(versionInfo.GetReleaseDate(), settings);
  statistics.PublisherSite = versionInfo.PublisherSite;
  statistics.Build = versionInfo.FileVersion;
  statistics.StartDirectory = StartDirectory(ExecutablePath(), settings.LeadBytes);
  for (const RegistryKey root : kRegistryRoots) WriteStartStatistics(root, keyPath, statistics);
}

}  // namespace reelstart
