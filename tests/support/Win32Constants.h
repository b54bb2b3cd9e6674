// Win32 values only the tests use; the program's own are in
// platform/Platform.h. Values as in the Windows headers: the Windows side of
// the platform contract (e2e/contract/contract.cpp) holds each to them.
#pragma once

#include <cstdint>

namespace reelstart::win {

inline constexpr std::uint32_t kMaxPath = 260;
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
// Access rights of a file.
inline constexpr std::uint32_t kFileReadData = 0x0001;
inline constexpr std::uint32_t kFileWriteData = 0x0002;
inline constexpr std::uint32_t kFileAppendData = 0x0004;
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kGenericAll = 0x10000000;
inline constexpr int kCstrLessThan = 1;
inline constexpr int kCstrGreaterThan = 3;
inline constexpr long kErrorPathNotFound = 3;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorNotEnoughMemory = 8;
inline constexpr long kErrorNoMoreFiles = 18;
inline constexpr long kErrorNotReady = 21;
inline constexpr long kErrorSharingViolation = 32;
inline constexpr long kErrorNetNameDeleted = 64;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorInvalidName = 123;
inline constexpr long kErrorAlreadyExists = 183;
inline constexpr long kErrorEnvvarNotFound = 203;
inline constexpr long kErrorFilenameExcedRange = 206;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorMrMidNotFound = 317;
inline constexpr long kErrorInvalidFlags = 1004;
inline constexpr long kErrorKeyDeleted = 1018;
inline constexpr long kErrorResourceTypeNotFound = 1813;
inline constexpr long kErrorResourceNameNotFound = 1814;
// ShellExecuteA's answers when it fails.
// HRESULTs.
inline constexpr std::int32_t kSFalse = 1;
inline constexpr std::int32_t kRpcEChangedMode = static_cast<std::int32_t>(0x80010106u);
inline constexpr int kSeErrFnf = 2;
inline constexpr int kSeErrNoAssoc = 31;
inline constexpr std::uint32_t kRegBinary = 3;

}  // namespace reelstart::win
