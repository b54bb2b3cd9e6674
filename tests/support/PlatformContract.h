// What Windows answers at the platform seam, as cases that run on any
// Platform: on the host against the in-memory stand-in
// (unit/PlatformContract_test.cpp) and under Wine against Win32Platform
// (e2e/contract/contract.cpp). A case that holds on one side only is a
// stand-in that believes something Windows does not do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace reelstart::contract {

// What the cases need made that the seam cannot make.
class Fixture {
 public:
  virtual ~Fixture() = default;
  // A new empty folder on a writable volume, with its trailing backslash.
  virtual std::string NewFolder() = 0;
  virtual void MakeFolder(const std::string& path) = 0;
  // A file of `size` zero bytes (sparse where the file system can).
  virtual void MakeFile(const std::string& path, std::uint64_t size) = 0;
  // The 8.3 name a file system gives the entry at `path`: the stand-in is
  // told it, Windows makes its own.
  virtual void GiveShortName(const std::string& path, const std::string& shortName) = 0;
  // A folder, with its trailing backslash, on another volume that is
  // read-only as a disc is; it holds "film.avi", 10 bytes.
  virtual std::string ReadOnlyFolder() = 0;
  // A file whose version resource is the one below: file and product
  // version 1.2.3.4, one string table "041904E3" with CompanyName
  // "Reelstart" and ProductName "Контракт", translation 0x0419 / 1251.
  virtual std::string VersionedFile() = 0;
};

inline constexpr std::uint32_t kVersionMs = 0x00010002;
inline constexpr std::uint32_t kVersionLs = 0x00030004;
inline constexpr char kProductName[] =
    "\xCA\xEE\xED\xF2\xF0\xE0\xEA\xF2";  // "Контракт", Windows-1251
// Under HKEY_CURRENT_USER; the cases leave their values there.
inline constexpr char kRegistryKey[] = "Software\\Reelstart contract";

// One case's view: the platform under test, its fixture, a folder of its own,
// and where a broken expectation is reported.
struct Context {
  Platform& P;
  Fixture& F;
  std::string Dir;
  std::function<void(const std::string& message)> Report;

  void True(const std::string& what, bool holds) {
    if (!holds) Report(what);
  }
  template <class A, class B>
  void Eq(const std::string& what, const A& actual, const B& expected) {
    if (!(actual == expected)) Report(what + ": " + Text(actual) + ", not " + Text(expected));
  }

 private:
  template <class T>
  static std::string Text(const T& value) {
    if constexpr (std::is_convertible_v<T, std::string>) {
      return "\"" + std::string(value) + "\"";
    } else {
      return std::to_string(static_cast<unsigned long long>(value));
    }
  }
};

struct Case {
  const char* Name;
  void (*Run)(Context&);
};

const std::vector<Case>& Cases();

}  // namespace reelstart::contract
