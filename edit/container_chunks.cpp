#include "edit/container_chunks.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

// PNG and WebP (RIFF) both are a header and then chunks of a four-letter type,
// a length and the data; they differ in byte order, a CRC and padding.
struct TChunk {
  size_t Start = 0;  // the first byte of the chunk (its length field)
  size_t End = 0;    // just past it (CRC, padding)
  std::string_view Type;
  size_t DataStart = 0, DataSize = 0;
};

constexpr std::array<uint8_t, 8> PngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t BigEndian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t LittleEndian(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
void PutBigEndian(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}
void PutLittleEndian(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}

bool IsPng(std::span<const uint8_t> data) {
  return data.size() >= PngSignature.size() && std::equal(PngSignature.begin(), PngSignature.end(), data.begin());
}

// The chunks of a PNG, up to IEND or the first one cut short.
std::vector<TChunk> PngChunks(std::span<const uint8_t> png) {
  std::vector<TChunk> chunks;
  if (!IsPng(png)) return chunks;
  for (size_t pos = PngSignature.size(); pos + 12 <= png.size();) {
    const uint32_t length = BigEndian(png.data() + pos);
    if (length > png.size() - pos - 12) break;
    TChunk chunk;
    chunk.Start = pos;
    chunk.Type = std::string_view(reinterpret_cast<const char*>(png.data() + pos + 4), 4);
    chunk.DataStart = pos + 8;
    chunk.DataSize = length;
    chunk.End = pos + 12 + length;
    chunks.push_back(chunk);
    if (chunk.Type == "IEND") break;
    pos = chunk.End;
  }
  return chunks;
}

bool IsWebP(std::span<const uint8_t> data) {
  return data.size() >= 12 && std::memcmp(data.data(), "RIFF", 4) == 0 && std::memcmp(data.data() + 8, "WEBP", 4) == 0;
}

// The chunks of a WebP file's RIFF container, up to the first one cut short.
std::vector<TChunk> WebPChunks(std::span<const uint8_t> webp) {
  std::vector<TChunk> chunks;
  if (!IsWebP(webp)) return chunks;
  for (size_t pos = 12; pos + 8 <= webp.size();) {
    const uint32_t size = LittleEndian(webp.data() + pos + 4);
    if (size > webp.size() - pos - 8) break;
    TChunk chunk;
    chunk.Start = pos;
    chunk.Type = std::string_view(reinterpret_cast<const char*>(webp.data() + pos), 4);
    chunk.DataStart = pos + 8;
    chunk.DataSize = size;
    chunk.End = std::min(webp.size(), pos + 8 + size + (size & 1));
    chunks.push_back(chunk);
    pos = chunk.End;
  }
  return chunks;
}

bool Holds(const std::vector<TChunk>& chunks, std::string_view type) {
  return std::any_of(chunks.begin(), chunks.end(), [type](const TChunk& c) { return c.Type == type; });
}

// The CRC of PNG chunks (ISO 3309), over the type and the data.
uint32_t PngCrc(const uint8_t* data, size_t size) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> PngChunkBytes(std::string_view type, std::span<const uint8_t> data) {
  // A chunk's length is 31 bits.
  if (data.size() > 0x7FFFFFFF) return {};
  std::vector<uint8_t> chunk(12 + data.size());
  PutBigEndian(chunk.data(), uint32_t(data.size()));
  std::memcpy(chunk.data() + 4, type.data(), 4);
  std::copy(data.begin(), data.end(), chunk.begin() + 8);
  PutBigEndian(chunk.data() + 8 + data.size(), PngCrc(chunk.data() + 4, 4 + data.size()));
  return chunk;
}

// Ancillary chunks that describe the pixels' colours or the picture as a
// whole, not their layout; all may stand before PLTE and IDAT.
constexpr std::string_view CarriedPngChunks[] = {"gAMA", "cHRM", "sRGB", "sBIT", "eXIf", "tIME"};
// Chunks whose data is laid out by the colour type and bit depth: carried
// only into a file of the same ones. bKGD stands after PLTE.
constexpr std::string_view SampleLayoutPngChunks[] = {"sBIT", "bKGD"};

// The bit depth and colour type an IHDR chunk states, as two bytes.
uint16_t PngSampleLayout(std::span<const uint8_t> png, const TChunk& ihdr) {
  if (ihdr.Type != "IHDR" || ihdr.DataSize < 10) return 0xFFFF;
  return uint16_t(png[ihdr.DataStart + 8] << 8 | png[ihdr.DataStart + 9]);
}

}  // namespace

unsigned PngFrameCount(std::span<const uint8_t> png) {
  for (const TChunk& chunk : PngChunks(png)) {
    if (chunk.Type == "IDAT") break;
    if (chunk.Type == "acTL" && chunk.DataSize >= 8) return std::max(1u, BigEndian(png.data() + chunk.DataStart));
  }
  return 1;
}

std::vector<uint8_t> WithSourcePngChunks(std::span<const uint8_t> source, std::vector<uint8_t> encoded,
                                         const TExifBlockChange& transformExif) {
  const std::vector<TChunk> from = PngChunks(source);
  const std::vector<TChunk> to = PngChunks(encoded);
  if (from.empty() || to.empty() || to.front().Type != "IHDR") return encoded;
  const auto listed = [](const auto& list, std::string_view type) {
    return std::find(std::begin(list), std::end(list), type) != std::end(list);
  };
  const bool sameLayout = PngSampleLayout(source, from.front()) == PngSampleLayout(encoded, to.front());
  std::vector<uint8_t> added, background;
  for (const TChunk& chunk : from) {
    if (chunk.Type == "IDAT") break;
    const bool carried = listed(CarriedPngChunks, chunk.Type) || chunk.Type == "bKGD";
    if (!carried || Holds(to, chunk.Type) || (listed(SampleLayoutPngChunks, chunk.Type) && !sameLayout)) continue;
    const std::span<const uint8_t> data = source.subspan(chunk.DataStart, chunk.DataSize);
    std::vector<uint8_t> bytes;
    if (chunk.Type == "eXIf" && transformExif)
      bytes = PngChunkBytes(chunk.Type, transformExif(data));
    else
      bytes.assign(source.begin() + std::ptrdiff_t(chunk.Start), source.begin() + std::ptrdiff_t(chunk.End));
    std::vector<uint8_t>& into = chunk.Type == "bKGD" ? background : added;
    into.insert(into.end(), bytes.begin(), bytes.end());
  }
  const auto firstData =
      std::find_if(to.begin(), to.end(), [](const TChunk& c) { return c.Type == "IDAT" || c.Type == "IEND"; });
  if (firstData != to.end())
    encoded.insert(encoded.begin() + std::ptrdiff_t(firstData->Start), background.begin(), background.end());
  encoded.insert(encoded.begin() + std::ptrdiff_t(to.front().End), added.begin(), added.end());
  return encoded;
}

std::vector<uint8_t> WithPngPixelsOf(std::span<const uint8_t> pixels, std::vector<uint8_t> encoded) {
  const std::vector<TChunk> from = PngChunks(pixels);
  const std::vector<TChunk> kept = PngChunks(encoded);
  if (from.empty() || from.front().Type != "IHDR" || kept.empty() || kept.back().Type != "IEND") return encoded;
  // Chunks whose data is laid out by the colour type, and the pixels.
  constexpr std::string_view Replaced[] = {"IHDR", "PLTE", "tRNS", "bKGD", "sBIT", "hIST", "IDAT", "IEND"};
  const auto append = [](std::vector<uint8_t>& out, std::span<const uint8_t> file, const TChunk& chunk) {
    out.insert(out.end(), file.begin() + std::ptrdiff_t(chunk.Start), file.begin() + std::ptrdiff_t(chunk.End));
  };
  std::vector<uint8_t> out(PngSignature.begin(), PngSignature.end());
  append(out, pixels, from.front());
  // What stood after the pixels in encoded (text, time) may stand before them.
  for (const TChunk& chunk : kept)
    if (std::find(std::begin(Replaced), std::end(Replaced), chunk.Type) == std::end(Replaced))
      append(out, encoded, chunk);
  for (const TChunk& chunk : from)
    if (chunk.Type == "IDAT" || chunk.Type == "IEND") append(out, pixels, chunk);
  return out;
}

unsigned PsdLayerCount(std::span<const uint8_t> psd) {
  // Header (26 bytes), then three sections each led by its length: colour
  // mode data, image resources, layer and mask information (8 bytes long in
  // the large format, version 2).
  if (psd.size() < 26 || std::memcmp(psd.data(), "8BPS", 4) != 0) return 0;
  const bool large = psd[4] == 0 && psd[5] == 2;
  size_t pos = 26;
  for (int section = 0; section < 2; ++section) {
    if (pos + 4 > psd.size()) return 0;
    pos += 4 + size_t(BigEndian(psd.data() + pos));
  }
  pos += large ? 8 : 4;  // the layer and mask section's length
  const size_t lengthSize = large ? 8 : 4;
  if (pos + lengthSize + 2 > psd.size()) return 0;
  const uint64_t layerInfo = large ? uint64_t(BigEndian(psd.data() + pos)) << 32 | BigEndian(psd.data() + pos + 4)
                                   : BigEndian(psd.data() + pos);
  if (layerInfo < 2) return 0;
  const auto count = int16_t(uint16_t(psd[pos + lengthSize] << 8 | psd[pos + lengthSize + 1]));
  return unsigned(count < 0 ? -count : count);
}

TWebPFacts ReadWebPFacts(std::span<const uint8_t> webp) {
  TWebPFacts facts;
  facts.IsWebP = IsWebP(webp);
  unsigned frames = 0;
  bool first = true;
  for (const TChunk& chunk : WebPChunks(webp)) {
    if (chunk.Type == "ANMF") {
      ++frames;
      // An animation frame holds its own chunks after 16 bytes of placement.
      if (first && chunk.DataSize >= 20)
        facts.Lossless = std::memcmp(webp.data() + chunk.DataStart + 16, "VP8L", 4) == 0;
      first = false;
    } else if (first && (chunk.Type == "VP8 " || chunk.Type == "VP8L")) {
      facts.Lossless = chunk.Type == "VP8L";
      first = false;
    }
  }
  facts.Frames = std::max(1u, frames);
  return facts;
}

std::vector<uint8_t> WithValidWebPExif(std::vector<uint8_t> webp, const TExifBlockChange& change) {
  static constexpr uint8_t Prefix[] = {'E', 'x', 'i', 'f', 0, 0};
  for (const TChunk& chunk : WebPChunks(webp)) {
    if (chunk.Type != "EXIF") continue;
    const bool prefixed =
        chunk.DataSize >= sizeof Prefix && std::memcmp(webp.data() + chunk.DataStart, Prefix, sizeof Prefix) == 0;
    if (!prefixed && !change) break;
    // The chunk is rebuilt with its new size and padding; the RIFF size follows.
    const std::span<const uint8_t> data(webp.data() + chunk.DataStart + (prefixed ? sizeof Prefix : 0),
                                        chunk.DataSize - (prefixed ? sizeof Prefix : 0));
    const std::vector<uint8_t> block = change ? change(data) : std::vector<uint8_t>(data.begin(), data.end());
    std::vector<uint8_t> replacement(8 + block.size() + (block.size() & 1), 0);
    std::memcpy(replacement.data(), "EXIF", 4);
    PutLittleEndian(replacement.data() + 4, uint32_t(block.size()));
    std::copy(block.begin(), block.end(), replacement.begin() + 8);
    webp.erase(webp.begin() + std::ptrdiff_t(chunk.Start), webp.begin() + std::ptrdiff_t(chunk.End));
    webp.insert(webp.begin() + std::ptrdiff_t(chunk.Start), replacement.begin(), replacement.end());
    PutLittleEndian(webp.data() + 4, uint32_t(webp.size() - 8));
    break;
  }
  return webp;
}

namespace {

// Flags of the extended header (VP8X).
constexpr uint8_t WebPIcc = 0x20, WebPAlpha = 0x10, WebPExif = 0x08, WebPXmp = 0x04;

std::vector<uint8_t> WebPChunk(std::string_view type, std::span<const uint8_t> data) {
  std::vector<uint8_t> chunk(8 + data.size() + (data.size() & 1), 0);
  std::memcpy(chunk.data(), type.data(), 4);
  PutLittleEndian(chunk.data() + 4, uint32_t(data.size()));
  std::copy(data.begin(), data.end(), chunk.begin() + 8);
  return chunk;
}

// The canvas size and alpha of a simple WebP's bitstream; false when it
// cannot be read.
bool BitstreamCanvas(std::span<const uint8_t> webp, const TChunk& chunk, uint32_t& width, uint32_t& height,
                     bool& alpha) {
  const uint8_t* data = webp.data() + chunk.DataStart;
  if (chunk.Type == "VP8L" && chunk.DataSize >= 5 && data[0] == 0x2F) {
    const uint32_t bits = LittleEndian(data + 1);
    width = (bits & 0x3FFF) + 1;
    height = ((bits >> 14) & 0x3FFF) + 1;
    alpha = (bits >> 28) & 1;
    return true;
  }
  if (chunk.Type == "VP8 " && chunk.DataSize >= 10 && data[3] == 0x9D && data[4] == 0x01 && data[5] == 0x2A) {
    width = (uint32_t(data[6]) | uint32_t(data[7]) << 8) & 0x3FFF;
    height = (uint32_t(data[8]) | uint32_t(data[9]) << 8) & 0x3FFF;
    alpha = false;
    return true;
  }
  return false;
}

}  // namespace

std::vector<uint8_t> WithSourceWebPChunks(std::span<const uint8_t> source, std::vector<uint8_t> encoded,
                                          const TExifBlockChange& change) {
  encoded = WithValidWebPExif(std::move(encoded), change);
  const std::vector<TChunk> from = WebPChunks(source);
  const std::vector<TChunk> to = WebPChunks(encoded);
  if (from.empty() || to.empty()) return encoded;
  std::vector<std::vector<uint8_t>> added;  // ICCP, EXIF, XMP in the order the container wants them
  uint8_t flags = 0;
  for (const auto& [type, flag] :
       {std::pair{std::string_view("ICCP"), WebPIcc}, std::pair{std::string_view("EXIF"), WebPExif},
        std::pair{std::string_view("XMP "), WebPXmp}}) {
    const auto found = std::find_if(from.begin(), from.end(), [type](const TChunk& c) { return c.Type == type; });
    if (found == from.end() || Holds(to, type)) {
      added.emplace_back();
      continue;
    }
    std::span<const uint8_t> data = source.subspan(found->DataStart, found->DataSize);
    static constexpr uint8_t Prefix[] = {'E', 'x', 'i', 'f', 0, 0};
    if (type == "EXIF" && data.size() >= sizeof Prefix && std::memcmp(data.data(), Prefix, sizeof Prefix) == 0)
      data = data.subspan(sizeof Prefix);
    added.push_back(WebPChunk(type, type == "EXIF" && change ? std::span<const uint8_t>(change(data)) : data));
    flags |= flag;
  }
  if (!flags) return encoded;

  // The extended header: the new file's own, or one made for a simple file.
  std::vector<uint8_t> header;
  size_t bodyStart = to.front().Start;
  if (to.front().Type == "VP8X" && to.front().DataSize >= 10) {
    header.assign(encoded.begin() + std::ptrdiff_t(to.front().Start), encoded.begin() + std::ptrdiff_t(to.front().End));
    bodyStart = to.front().End;
  } else {
    uint32_t width = 0, height = 0;
    bool alpha = false;
    if (!BitstreamCanvas(encoded, to.front(), width, height, alpha) || width == 0 || height == 0) return encoded;
    std::vector<uint8_t> data(10, 0);
    data[0] = alpha ? WebPAlpha : 0;
    data[4] = uint8_t(width - 1), data[5] = uint8_t((width - 1) >> 8), data[6] = uint8_t((width - 1) >> 16);
    data[7] = uint8_t(height - 1), data[8] = uint8_t((height - 1) >> 8), data[9] = uint8_t((height - 1) >> 16);
    header = WebPChunk("VP8X", data);
  }
  header[8] |= flags;

  std::vector<uint8_t> out(encoded.begin(), encoded.begin() + 12);
  out.insert(out.end(), header.begin(), header.end());
  // ICCP goes before the picture, EXIF and XMP after it.
  out.insert(out.end(), added[0].begin(), added[0].end());
  out.insert(out.end(), encoded.begin() + std::ptrdiff_t(bodyStart), encoded.end());
  for (size_t i = 1; i < added.size(); ++i) out.insert(out.end(), added[i].begin(), added[i].end());
  PutLittleEndian(out.data() + 4, uint32_t(out.size() - 8));
  return out;
}
