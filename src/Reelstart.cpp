// Reelstart: plays the films of the folder tree it is started from.
#include "common/Errors.h"
#include "platform/Platform_win.h"
#include "platform/Win32.h"
#include "videofiles/QVVideoFilesProcessor.h"

#include <cstdlib>

// Every error ends in the program's own report, so an exception can never
// escape to std::terminate. The runtime's default handler would print there
// (to a console a GUI program does not have) and pull in the C++ demangler,
// a third of the executable's size: end the process plainly instead.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  reelstart::Win32Platform platform;
  reelstart::SetPlatform(&platform);
  return reelstart::RunWithErrorReport(&reelstart::TQVVideoFilesProcessor::Execute);
}
