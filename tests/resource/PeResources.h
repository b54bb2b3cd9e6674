// Reads the resources of a 32-bit Windows executable (PE32) on any host: the
// resource directory's three levels (type, name, language) down to the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reelstart {

struct PeResource {
  // Identifiers; a level named by a string instead of a number is flagged.
  std::uint32_t Type = 0;
  std::uint32_t Name = 0;
  std::uint32_t Language = 0;
  bool Named = false;
  std::string Data;
};

// Every resource of the executable `image`, in directory order. Throws
// std::runtime_error when the image is no PE32 file or its resource
// directory leads outside the file.
std::vector<PeResource> ReadPeResources(const std::string& image);

}  // namespace reelstart
