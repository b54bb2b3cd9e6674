// The platform contract's cases for the stand-in's shell and COM
// (Shell_mem.cpp), held to Windows under Wine.
#include "support/ContractCases.h"

#include <string>

namespace reelstart::contract {

using namespace win;

// What the shell answers when it cannot open a file: nothing opens its type;
// no such file. (Wine answers at once; Windows 8 and later may instead offer
// to choose a program, which no case here can answer.)
void ShellAnswers(Context& c) {
  Write(c, c.Dir + "film.rsq");
  c.Eq("no association", c.P.ShellExecuteA("open", c.Dir + "film.rsq", kSwShowNormal),
       kSeErrNoAssoc);
  c.Eq("no such file", c.P.ShellExecuteA("open", c.Dir + "none.asx", kSwShowNormal), kSeErrFnf);
}

// COM on the calling thread: initialised once, then again as S_FALSE (each
// to be released), and refused in another apartment's kind.
void Apartments(Context& c) {
  constexpr std::uint32_t kSingleThreaded = kCoinitApartmentThreaded | kCoinitDisableOle1Dde;
  c.Eq("first", c.P.CoInitializeEx(kSingleThreaded), 0);
  c.Eq("again", c.P.CoInitializeEx(kSingleThreaded), kSFalse);
  c.Eq("multithreaded", c.P.CoInitializeEx(0), kRpcEChangedMode);
  c.P.CoUninitialize();
  c.P.CoUninitialize();
  c.Eq("after release", c.P.CoInitializeEx(0), 0);
  c.P.CoUninitialize();
}

}  // namespace reelstart::contract
