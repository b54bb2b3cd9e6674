// What Windows answers at the platform seam, as cases that run on any
// Platform: on the host against the in-memory stand-in
// (unit/PlatformContract_test.cpp) and under Wine against Win32Platform
// (e2e/contract/contract.cpp). A case that holds on one side only is a
// stand-in that believes something Windows does not do. The cases lie beside
// the models of the stand-in they hold (support/ContractCases.h says where),
// listed in one table (PlatformContract.cpp).
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
  // read-only as a disc is; it holds "film.avi", 10 bytes, read-only, and
  // "writable.avi", 10 bytes, whose attributes say it could be written.
  virtual std::string ReadOnlyFolder() = 0;
  // The running program, kProgramName in a folder named kProgramFolder: its
  // version resource is the one below (file and product version 1.2.3.4, one
  // string table "041904E3" with CompanyName "Reelstart" and ProductName
  // "Контракт", translation 0x0419 / 1251), its string resources kStrings.
  virtual std::string VersionedFile() = 0;
  // Sets the process's environment variable `name` to `value`; unsets it
  // when `value` is null.
  virtual void SetVariable(const std::string& name, const char* value) = 0;
  // Makes a new folder whose name the ANSI code page cannot spell ("Café
  // Łódź" on a Russian system) and sets the environment variable `name` to
  // its path; answers that path as the code page spells it, a look-alike
  // that reaches nothing.
  virtual std::string FolderOutsideCodePage(const std::string& name) = 0;
  // A folder, with its trailing backslash, laid out where the platform's own
  // calls cannot make it: "Target\film.avi"; "Link", a folder link to
  // "Target"; "Target\Back", a folder link to the folder itself; and
  // "...\film.avi" in a folder named of dots alone.
  virtual std::string LinkedFolder() = 0;
  // A folder, with its trailing backslash, holding "a\" and "b\" on a volume
  // that answers file index 0 for everything (as some network redirectors
  // do); empty where there is none to be had.
  virtual std::string IndexlessFolder() = 0;
};

inline constexpr std::uint32_t kVersionMs = 0x00010002;
inline constexpr std::uint32_t kVersionLs = 0x00030004;
inline constexpr char kProductName[] =
    "\xCA\xEE\xED\xF2\xF0\xE0\xEA\xF2";  // "Контракт", Windows-1251
// The program's own name and its folder's: long names with spaces, so that
// the 8.3 forms differ.
inline constexpr char kProgramName[] = "contract program.exe";
inline constexpr char kProgramFolder[] = "Reelstart contract";
// The program's string resources (contract.rc holds the same): a Cyrillic
// text, one of 1100 characters (LoadStringA's 1024-byte buffer takes 1023),
// and id 3 missing from the block of ids 0 to 15 that holds the others.
struct StringResource {
  std::uint32_t Id;
  std::string Text;  // Windows-1251; empty: no such string
};
std::vector<StringResource> Strings();
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
  // Held on the stand-in alone: Windows gives no way to set it up here.
  bool StandInOnly = false;
  // Held with the user's Formats locale English (United States), the ANSI
  // code page still 1251: the stand-in's FormatsCodePage 1252, and under
  // Wine a run of its own with LC_MESSAGES=en_US.UTF-8 (test_contract.py).
  bool EnglishFormats = false;
};

// The platform's methods no case calls, and why: a belief about Windows
// that the stand-in cannot act on.
inline constexpr const char* kUncalled[] = {
    "MessageBoxA: its answer is the user's, its display nothing the program reads",
};

const std::vector<Case>& Cases();

}  // namespace reelstart::contract
