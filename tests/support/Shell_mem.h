// The stand-in's shell and user interface: the requests to open a file and
// the message boxes the program makes, captured instead of carried out (the
// shell answers as it would: no association, no such file), and COM on the
// calling thread. What it believes of Windows, and the contract cases that
// hold it, are in Shell_mem.cpp. A part of MemoryPlatform
// (support/Platform_mem.h), through which the tests reach it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/FileSystem_mem.h"

namespace reelstart {

class MemoryShell {
 public:
  // The files it opens are those of `files`.
  explicit MemoryShell(const MemoryFileSystem& files) : files_(files) {}

  struct ShellRequest {
    std::string Operation;
    std::string File;
    int ShowCommand = 0;
    // The flags COM was initialised with on the thread then; 0: it was not.
    std::uint32_t Apartment = 0;
  };
  // The file types ShellExecuteA opens ("open" verb); any other answers
  // SE_ERR_NOASSOC, a file not there SE_ERR_FNF.
  std::vector<std::string> Associations = {".asx"};
  // CoInitializeEx's answer to the first initialisation: S_OK, or a failure
  // (RPC_E_CHANGED_MODE ...), after which COM is not up. Later ones answer
  // S_FALSE, as Windows does.
  std::int32_t CoInitializeAnswer = 0;
  // Initialisations of COM not yet released.
  [[nodiscard]] std::size_t ComInitialisations() const { return apartments_.size(); }
  struct MessageBoxCall {
    std::string Text;
    std::string Caption;
    std::uint32_t Type = 0;
  };
  std::vector<ShellRequest> ShellRequests;
  std::vector<MessageBoxCall> MessageBoxes;

  // --- The calls, as Platform describes them.
  int ShellExecuteA(const std::string& operation, const std::string& file, int showCommand);
  std::int32_t CoInitializeEx(std::uint32_t coInit);
  void CoUninitialize();
  int MessageBoxA(const std::string& text, const std::string& caption, std::uint32_t type);

 private:
  const MemoryFileSystem& files_;
  std::vector<std::uint32_t> apartments_;  // COM initialisations not yet released
};

}  // namespace reelstart
