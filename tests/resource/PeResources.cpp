#include "PeResources.h"

#include <algorithm>
#include <stdexcept>

namespace reelstart {

namespace {

constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kNamedEntry = 0x80000000u;

class Image {
 public:
  explicit Image(const std::string& bytes) : bytes_(bytes) {}

  [[nodiscard]] std::uint32_t Read(std::size_t offset, std::size_t size) const {
    if (offset > bytes_.size() || bytes_.size() - offset < size) {
      throw std::runtime_error("read past the end of the file at " + std::to_string(offset));
    }
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
      value = value << 8 | static_cast<unsigned char>(bytes_[offset + i]);
    }
    return value;
  }
  [[nodiscard]] std::uint32_t Word(std::size_t offset) const { return Read(offset, 2); }
  [[nodiscard]] std::uint32_t Dword(std::size_t offset) const { return Read(offset, 4); }
  [[nodiscard]] std::string Bytes(std::size_t offset, std::size_t size) const {
    if (offset > bytes_.size() || bytes_.size() - offset < size) {
      throw std::runtime_error("resource data past the end of the file");
    }
    return bytes_.substr(offset, size);
  }

 private:
  const std::string& bytes_;
};

struct Section {
  std::uint32_t VirtualAddress, VirtualSize, RawOffset, RawSize;
};

std::size_t FileOffset(const std::vector<Section>& sections, std::uint32_t rva) {
  for (const Section& s : sections) {
    const std::uint32_t size = std::max(s.VirtualSize, s.RawSize);
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size) {
      if (rva - s.VirtualAddress >= s.RawSize) throw std::runtime_error("data not in the file");
      return s.RawOffset + (rva - s.VirtualAddress);
    }
  }
  throw std::runtime_error("address outside every section");
}

}  // namespace

std::vector<PeResource> ReadPeResources(const std::string& bytes) {
  const Image image(bytes);
  if (image.Word(0) != 0x5A4D) throw std::runtime_error("no MZ header");
  const std::size_t pe = image.Dword(0x3C);
  if (image.Dword(pe) != 0x00004550) throw std::runtime_error("no PE signature");
  const std::uint32_t sectionCount = image.Word(pe + 6);
  const std::uint32_t optionalSize = image.Word(pe + 20);
  const std::size_t optional = pe + 24;
  if (image.Word(optional) != 0x10B) throw std::runtime_error("not a PE32 image");
  if (image.Dword(optional + 92) < 3) return {};  // no resource directory entry
  const std::uint32_t resourceRva = image.Dword(optional + 112);
  if (resourceRva == 0) return {};

  std::vector<Section> sections;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::size_t header = optional + optionalSize + i * 40;
    sections.push_back(
        {image.Dword(header + 12), image.Dword(header + 8), image.Dword(header + 20),
         image.Dword(header + 16)});
  }
  const std::size_t base = FileOffset(sections, resourceRva);

  // Entries of the directory at `offset` (relative to the resource base).
  struct Entry {
    std::uint32_t Id;
    bool Named;
    std::uint32_t Target;
  };
  const auto entries = [&](std::uint32_t offset) {
    std::vector<Entry> list;
    const std::size_t directory = base + offset;
    const std::uint32_t count = image.Word(directory + 12) + image.Word(directory + 14);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t entry = directory + 16 + i * 8;
      const std::uint32_t name = image.Dword(entry);
      list.push_back({name & ~kNamedEntry, (name & kNamedEntry) != 0, image.Dword(entry + 4)});
    }
    return list;
  };

  std::vector<PeResource> resources;
  for (const Entry& type : entries(0)) {
    if ((type.Target & kSubdirectory) == 0) throw std::runtime_error("type without names");
    for (const Entry& name : entries(type.Target & ~kSubdirectory)) {
      if ((name.Target & kSubdirectory) == 0) throw std::runtime_error("name without languages");
      for (const Entry& language : entries(name.Target & ~kSubdirectory)) {
        if ((language.Target & kSubdirectory) != 0) throw std::runtime_error("too deep");
        const std::size_t data = base + language.Target;
        PeResource resource;
        resource.Type = type.Id;
        resource.Name = name.Id;
        resource.Language = language.Id;
        resource.Named = type.Named || name.Named || language.Named;
        resource.Data = image.Bytes(FileOffset(sections, image.Dword(data)), image.Dword(data + 4));
        resources.push_back(std::move(resource));
      }
    }
  }
  return resources;
}

}  // namespace reelstart
