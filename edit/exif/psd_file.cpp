#include "edit/exif/psd_file.h"

#include "edit/exif/exif_errors.h"

#include <cstring>
#include <limits>

namespace {

constexpr size_t HeaderSize = 26;
constexpr uint8_t Signature[12] = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};

uint32_t BigLong(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

void PutBigLong(std::vector<uint8_t>& out, uint32_t value) {
  out.insert(out.end(), {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)});
}

struct TResource {
  size_t Start = 0, End = 0;  // the whole resource, padding included
  uint16_t ID = 0;
  bool Ours = false;  // signature "8BIM"
  std::span<const uint8_t> Data;
};

struct TResourceSection {
  size_t LengthField = 0;     // offset of the section's length
  size_t Start = 0, End = 0;  // its resources
  std::vector<TResource> Resources;
};

// The file's structure as far as the image resources.
TResourceSection ReadResourceSection(std::span<const uint8_t> file) {
  const size_t size = file.size();
  if (size < HeaderSize + 4) throw EStreamReadError();
  const uint64_t colorModeEnd = HeaderSize + 4 + uint64_t(BigLong(file.data() + HeaderSize));
  if (colorModeEnd + 4 > size) throw EStreamReadError();
  TResourceSection section;
  section.LengthField = size_t(colorModeEnd);
  section.Start = section.LengthField + 4;
  const uint64_t end = section.Start + uint64_t(BigLong(file.data() + section.LengthField));
  if (end > size) throw EStreamReadError();
  section.End = size_t(end);

  size_t pos = section.Start;
  while (pos < section.End) {
    TResource resource;
    resource.Start = pos;
    // signature 4, ID 2, name length 1
    if (section.End - pos < 7) throw EStreamReadError();
    resource.Ours = std::memcmp(file.data() + pos, "8BIM", 4) == 0;
    resource.ID = uint16_t(file[pos + 4] << 8 | file[pos + 5]);
    const size_t nameSize = (1 + size_t(file[pos + 6]) + 1) & ~size_t(1);  // Pascal string, even length
    pos += 6 + nameSize;
    if (pos > section.End || section.End - pos < 4) throw EStreamReadError();
    const uint64_t dataSize = BigLong(file.data() + pos);
    pos += 4;
    if (dataSize > section.End - pos) throw EStreamReadError();
    resource.Data = file.subspan(pos, size_t(dataSize));
    pos += size_t(dataSize);
    if ((dataSize & 1) && pos < section.End) ++pos;  // padding to even
    resource.End = pos;
    section.Resources.push_back(resource);
  }
  return section;
}

const TResource* FirstResource(const TResourceSection& section, uint16_t id) {
  for (const TResource& resource : section.Resources)
    if (resource.Ours && resource.ID == id) return &resource;
  return nullptr;
}

// A resource with an empty name and its data padded to even length.
std::vector<uint8_t> MakeResource(uint16_t id, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out = {'8', 'B', 'I', 'M', uint8_t(id >> 8), uint8_t(id), 0, 0};
  PutBigLong(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() & 1) out.push_back(0);
  return out;
}

}  // namespace

bool IsPsd(std::span<const uint8_t> file) {
  return file.size() >= sizeof Signature && std::memcmp(file.data(), Signature, sizeof Signature) == 0;
}

TPsdMetadata ReadPsdMetadata(std::span<const uint8_t> file) {
  const TResourceSection section = ReadResourceSection(file);
  TPsdMetadata metadata;
  if (const TResource* exif = FirstResource(section, PsdResourceID::Exif)) metadata.Exif = exif->Data;
  if (const TResource* xmp = FirstResource(section, PsdResourceID::Xmp)) metadata.Xmp = xmp->Data;
  return metadata;
}

TOutputPieces RewritePsd(std::span<const uint8_t> file, std::vector<uint8_t> exifBlock,
                         std::vector<uint8_t> xmpPacket) {
  const TResourceSection section = ReadResourceSection(file);
  const TResource* oldExif = FirstResource(section, PsdResourceID::Exif);
  const TResource* oldXmp = FirstResource(section, PsdResourceID::Xmp);

  // The new resource section, built as pieces: unchanged resources point into
  // the file.
  TOutputPieces resources;
  uint64_t length = 0;
  auto add = [&](auto bytes) {
    length += bytes.size();
    resources.Append(std::move(bytes));
  };
  auto replacement = [](uint16_t id, const std::vector<uint8_t>& data) {
    return data.empty() ? std::vector<uint8_t>() : MakeResource(id, data);
  };
  for (const TResource& resource : section.Resources) {
    if (&resource == oldExif)
      add(replacement(PsdResourceID::Exif, exifBlock));
    else if (&resource == oldXmp)
      add(replacement(PsdResourceID::Xmp, xmpPacket));
    else
      add(file.subspan(resource.Start, resource.End - resource.Start));
  }
  // Bytes after the last whole resource (a damaged tail) stay where they were.
  const size_t lastEnd = section.Resources.empty() ? section.Start : section.Resources.back().End;
  add(file.subspan(lastEnd, section.End - lastEnd));
  if (!oldExif) add(replacement(PsdResourceID::Exif, exifBlock));
  if (!oldXmp) add(replacement(PsdResourceID::Xmp, xmpPacket));
  if (length > std::numeric_limits<uint32_t>::max())
    throw EExifDataTooLarge("Image resources too large for a Photoshop file");

  TOutputPieces out;
  out.Append(file.first(section.LengthField));
  std::vector<uint8_t> lengthField;
  PutBigLong(lengthField, uint32_t(length));
  out.Append(std::move(lengthField));
  out.Append(std::move(resources));
  out.Append(file.subspan(section.End));
  return out;
}
