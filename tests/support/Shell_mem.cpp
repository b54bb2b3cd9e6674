// The stand-in's shell, message boxes and COM. What it believes of Windows,
// and the platform contract's cases (support/PlatformContract.h) that hold it
// to Wine:
// - ShellExecuteA answers SE_ERR_NOASSOC for a file whose type nothing
//   opens, SE_ERR_FNF for a file that is not there: ShellAnswers (Windows 8
//   and later may offer to choose a program instead, which no case answers);
// - CoInitializeEx answers S_OK first, S_FALSE after (each to be released),
//   RPC_E_CHANGED_MODE for another kind of apartment, S_OK again once all
//   are released: Apartments.
// Believed without a case: MessageBoxA answers IDOK (its answer is the
// user's: PlatformContract.h's kUncalled); a type with an association is
// taken by the shell, whatever opens it.
#include "support/Shell_mem.h"

#include <algorithm>

#include "support/CaseFold.h"
#include "support/Misuse.h"
#include "support/Win32Constants.h"

namespace reelstart {

int MemoryShell::ShellExecuteA(const std::string& operation, const std::string& file,
                               int showCommand) {
  ShellRequests.push_back({operation, file, showCommand, apartments_.empty() ? 0 : apartments_[0]});
  if (!files_.IsFile(file)) return win::kSeErrFnf;
  const std::size_t dot = file.rfind('.');
  const std::string type = dot == std::string::npos ? std::string() : file.substr(dot);
  const bool associated = std::any_of(Associations.begin(), Associations.end(),
                                      [&](const std::string& known) { return SameName(known, type); });
  return associated ? 42 : win::kSeErrNoAssoc;  // any answer above 32 means the shell took it
}

std::int32_t MemoryShell::CoInitializeEx(std::uint32_t coInit) {
  if (CoInitializeAnswer < 0) return CoInitializeAnswer;
  constexpr std::uint32_t kSingleThreaded = win::kCoinitApartmentThreaded;
  if (!apartments_.empty() && (apartments_[0] & kSingleThreaded) != (coInit & kSingleThreaded)) {
    return win::kRpcEChangedMode;
  }
  apartments_.push_back(coInit);
  return apartments_.size() == 1 ? CoInitializeAnswer : win::kSFalse;
}

void MemoryShell::CoUninitialize() {
  if (apartments_.empty()) {
    Misuse("CoUninitialize without a CoInitializeEx to release");
    return;
  }
  apartments_.pop_back();
}

int MemoryShell::MessageBoxA(const std::string& text, const std::string& caption,
                             std::uint32_t type) {
  MessageBoxes.push_back({text, caption, type});
  return 1;  // IDOK
}

}  // namespace reelstart
