// The platform contract's cases, each in a file beside the model of the
// stand-in it holds (X_contract.cpp beside X_mem.cpp, FailingPlatform's
// beside FailingPlatform.cpp), and the helpers they share. Read by those
// files and by the one table of cases in PlatformContract.cpp, nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "support/PlatformContract.h"
#include "support/Win32Constants.h"

namespace reelstart::contract {

inline constexpr std::uint32_t kShareAll =
    win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete;

long LastError(Context& c);
// Makes or replaces `path` holding `text`, through the seam.
void Write(Context& c, const std::string& path, const std::string& text = "0123456789",
           std::uint32_t attributes = win::kFileAttributeNormal);
// What an open answers: ERROR_SUCCESS when it opens (the handle is closed
// again), else the last error.
long OpenError(Context& c, const std::string& path, std::uint32_t access, std::uint32_t share,
               std::uint32_t disposition = win::kOpenExisting,
               std::uint32_t flags = win::kFileAttributeNormal);
// GetFileAttributesA's answer, or the last error when there is none.
long AttributesError(Context& c, const std::string& path);
// The identity of the entry at `path`, opened as the walk opens it; nothing,
// reported, when it cannot be had.
std::optional<FileIdentity> Identity(Context& c, const std::string& path);
// The names a listing of `mask` gives, sorted (the file system's order is
// its own), separated by '|'; "error N" when it gives none.
std::string Listing(Context& c, const std::string& mask, std::vector<FindData>* entries = nullptr);

// How the file system opens and lists: FileHandles_contract.cpp
void ShareModesBothWays(Context& c);
void ReadOnlyFiles(Context& c);
void WritesNeedWriteAccess(Context& c);
void ReadOnlyVolume(Context& c);
void FolderHandles(Context& c);
void ListingsOfAll(Context& c);
void ListingsOfNames(Context& c);
void FileSizes(Context& c);

// The file system's volumes and trees: FileSystem_contract.cpp
void Identities(Context& c);
void ShortNames(Context& c);
void FolderLinks(Context& c);
void IndexlessVolume(Context& c);

// How a path reads: Paths_contract.cpp
void ListingsWithWildcards(Context& c);
void TrailingDotsAndSpaces(Context& c);
void MissingPathsAndInvalidNames(Context& c);
void PathLimit(Context& c);
void FullPaths(Context& c);

// The registry: Registry_contract.cpp
void RegistryValues(Context& c);

// The locale: Locale_contract.cpp
void LocaleText(Context& c);
void LocaleTextUnderEnglishFormats(Context& c);
void LocaleDates(Context& c);

// The resources of executables: Resources_contract.cpp
void VersionBlocks(Context& c);
void StringResources(Context& c);

// The shell and COM: Shell_contract.cpp
void ShellAnswers(Context& c);
void Apartments(Context& c);

// The process and what it is told: Process_contract.cpp
void ProcessFacts(Context& c);
void Environment(Context& c);
void SpellingsOutsideTheCodePage(Context& c);
void ErrorTexts(Context& c);

// Failures on purpose: FailingPlatform_contract.cpp
void FailedCalls(Context& c);

}  // namespace reelstart::contract
