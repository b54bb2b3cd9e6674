// Failures on demand, over any platform. What it believes of Windows, and
// the platform contract's case (support/PlatformContract.h) that holds it to
// Wine: a failed CreateFileA, FindFirstFileA, FindNextFileA, WriteFile
// (nothing written), GetFileAttributesA, GetFileVersionInfoSizeA or
// GetLocaleInfoA answers what it answers when it fails of itself, and the
// error as the last error; a failed RegQueryValueExA answers the error:
// FailedCalls. Believed without a case: the other calls' answers on failure,
// as FailingPlatform.h gives them.
#include "support/FailingPlatform.h"

#include <algorithm>

#include "support/Misuse.h"

namespace reelstart {

namespace {

constexpr const char* kCallNames[FailingPlatform::kCallCount] = {
    "FindFirstFileA",
    "FindNextFileA",
    "CreateFileA",
    "GetFileSize",
    "GetFileInformationByHandle",
    "WriteFile",
    "GetFileAttributesA",
    "GetFullPathNameA",
    "FormatMessageA",
    "GetTempPathA",
    "LoadStringA",
    "GetFileVersionInfoSizeA",
    "GetFileVersionInfoA",
    "VerQueryValueA",
    "RegCreateKeyExA",
    "RegSetValueExA",
    "RegQueryValueExA",
    "CompareStringA",
    "LCMapStringA",
    "CoInitializeEx",
    "GetLocaleInfoA",
};
static_assert(kCallNames[FailingPlatform::kCallCount - 1] != nullptr, "a name for every call");

std::string Name(FailingPlatform::Call call) { return kCallNames[static_cast<std::size_t>(call)]; }

}  // namespace

FailingPlatform::FailingPlatform(Platform& inner) : inner_(inner) { previous_ = SetPlatform(this); }

FailingPlatform::~FailingPlatform() {
  for (const Fault& fault : faults_) {
    Misuse("FailCall: " + Name(fault.Which) + " was to fail at its call " +
           std::to_string(fault.Nth) + ", but was made " + std::to_string(CallCount(fault.Which)) +
           " times");
  }
  SetPlatform(previous_);
}

void FailingPlatform::FailCall(Call call, unsigned nth, long error) {
  if (nth == 0 || error == win::kErrorSuccess) {
    Misuse("FailCall(" + Name(call) +
           ") needs a call from 1 on and an error other than ERROR_SUCCESS");
    return;
  }
  faults_.push_back({call, CallCount(call) + nth, error});
}

Platform& FailingPlatform::Through() {
  lastError_ = win::kErrorSuccess;
  return inner_;
}

long FailingPlatform::Planned(Call call) {
  const unsigned count = ++calls_[static_cast<std::size_t>(call)];
  const auto fault = std::find_if(faults_.begin(), faults_.end(), [&](const Fault& f) {
    return f.Which == call && f.Nth == count;
  });
  if (fault == faults_.end()) return win::kErrorSuccess;
  const long error = fault->Error;
  faults_.erase(fault);
  return error;
}

bool FailingPlatform::Fails(Call call) {
  const long error = Planned(call);
  if (error != win::kErrorSuccess) lastError_ = error;
  return error != win::kErrorSuccess;
}

std::uint32_t FailingPlatform::GetLastError() {
  return lastError_ != win::kErrorSuccess ? static_cast<std::uint32_t>(lastError_)
                                          : inner_.GetLastError();
}

NativeHandle FailingPlatform::FindFirstFileA(const std::string& mask, FindData& data) {
  if (Fails(Call::FindFirstFileA)) return kInvalidHandleValue;
  return Through().FindFirstFileA(mask, data);
}

bool FailingPlatform::FindNextFileA(NativeHandle find, FindData& data) {
  return !Fails(Call::FindNextFileA) && Through().FindNextFileA(find, data);
}

NativeHandle FailingPlatform::CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                                          std::uint32_t shareMode,
                                          std::uint32_t creationDisposition,
                                          std::uint32_t flagsAndAttributes) {
  if (Fails(Call::CreateFileA)) return kInvalidHandleValue;
  return Through().CreateFileA(fileName, desiredAccess, shareMode, creationDisposition,
                               flagsAndAttributes);
}

std::uint32_t FailingPlatform::GetFileSize(NativeHandle file, std::uint32_t& fileSizeHigh) {
  if (Fails(Call::GetFileSize)) return win::kInvalidFileSize;
  return Through().GetFileSize(file, fileSizeHigh);
}

bool FailingPlatform::GetFileInformationByHandle(NativeHandle file, FileIdentity& identity) {
  return !Fails(Call::GetFileInformationByHandle) &&
         Through().GetFileInformationByHandle(file, identity);
}

bool FailingPlatform::WriteFile(NativeHandle file, const void* buffer, std::uint32_t bytesToWrite,
                                std::uint32_t& bytesWritten) {
  if (Fails(Call::WriteFile)) {
    bytesWritten = 0;
    return false;
  }
  return Through().WriteFile(file, buffer, bytesToWrite, bytesWritten);
}

std::uint32_t FailingPlatform::GetFileAttributesA(const std::string& fileName) {
  if (Fails(Call::GetFileAttributesA)) return win::kInvalidFileAttributes;
  return Through().GetFileAttributesA(fileName);
}

std::string FailingPlatform::GetFullPathNameA(const std::string& fileName) {
  if (Fails(Call::GetFullPathNameA)) return fileName;  // the seam's answer on failure
  return Through().GetFullPathNameA(fileName);
}

std::string FailingPlatform::FormatMessageA(std::uint32_t messageId) {
  if (Fails(Call::FormatMessageA)) return {};
  return Through().FormatMessageA(messageId);
}

std::string FailingPlatform::GetTempPathA() {
  if (Fails(Call::GetTempPathA)) return {};
  return Through().GetTempPathA();
}

std::int32_t FailingPlatform::CoInitializeEx(std::uint32_t coInit) {
  const long error = Planned(Call::CoInitializeEx);
  if (error != win::kErrorSuccess) return static_cast<std::int32_t>(error);
  return Through().CoInitializeEx(coInit);
}

std::string FailingPlatform::LoadStringA(std::uint32_t id) {
  if (Fails(Call::LoadStringA)) return {};
  return Through().LoadStringA(id);
}

std::uint32_t FailingPlatform::GetFileVersionInfoSizeA(const std::string& fileName) {
  if (Fails(Call::GetFileVersionInfoSizeA)) return 0;
  return Through().GetFileVersionInfoSizeA(fileName);
}

bool FailingPlatform::GetFileVersionInfoA(const std::string& fileName, std::string& block) {
  return !Fails(Call::GetFileVersionInfoA) && Through().GetFileVersionInfoA(fileName, block);
}

bool FailingPlatform::VerQueryValueA(std::string& block, const std::string& subBlock,
                                     const void*& value, std::uint32_t& length) {
  if (Fails(Call::VerQueryValueA)) {
    value = nullptr;
    length = 0;
    return false;
  }
  return Through().VerQueryValueA(block, subBlock, value, length);
}

long FailingPlatform::RegCreateKeyExA(RegistryKey key, const std::string& subKey,
                                      std::uint32_t options, std::uint32_t samDesired,
                                      RegistryKey& result) {
  if (const long error = Planned(Call::RegCreateKeyExA)) {
    result = 0;
    return error;
  }
  return Through().RegCreateKeyExA(key, subKey, options, samDesired, result);
}

long FailingPlatform::RegSetValueExA(RegistryKey key, const std::string& valueName,
                                     std::uint32_t type, const void* data, std::uint32_t size) {
  if (const long error = Planned(Call::RegSetValueExA)) return error;
  return Through().RegSetValueExA(key, valueName, type, data, size);
}

long FailingPlatform::RegQueryValueExA(RegistryKey key, const std::string& valueName,
                                       std::uint32_t& type, void* data, std::uint32_t& size) {
  if (const long error = Planned(Call::RegQueryValueExA)) return error;
  return Through().RegQueryValueExA(key, valueName, type, data, size);
}

int FailingPlatform::CompareStringA(std::uint32_t cmpFlags, std::string_view string1,
                                    std::string_view string2) {
  if (Fails(Call::CompareStringA)) return 0;
  return Through().CompareStringA(cmpFlags, string1, string2);
}

std::string FailingPlatform::LCMapStringA(std::uint32_t mapFlags, std::string_view source) {
  if (Fails(Call::LCMapStringA)) return {};
  return Through().LCMapStringA(mapFlags, source);
}

std::string FailingPlatform::GetLocaleInfoA(std::uint32_t lcType) {
  if (Fails(Call::GetLocaleInfoA)) return {};
  return Through().GetLocaleInfoA(lcType);
}

}  // namespace reelstart
