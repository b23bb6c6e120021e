#include "edit/jpeg_encoding.h"

#include "edit/cmyk_picture.h"
#include "edit/exif/exif_errors.h"
#include "edit/exif/jpeg_segments.h"
#include "edit/icc_profile.h"
#include "platform/free_bitmap.h"

#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

using TTable = std::array<int, 64>;

// The example tables of the JPEG standard that libjpeg scales by quality, in
// natural (row by row) order.
constexpr TTable StandardLuminance = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                      14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                      18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                      49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr TTable StandardChrominance = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                        24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                        99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                        99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Where the k-th value of a DQT segment (zig-zag order) sits in the block.
constexpr std::array<int, 64> NaturalOrder = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                              12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                              35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                              58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// libjpeg's jpeg_quality_scaling and jpeg_add_quant_table with baseline limits.
int ScaledEntry(int standard, int quality) {
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  return std::clamp((standard * scale + 50) / 100, 1, 255);
}

bool NoCoarser(const TTable& standard, const TTable& table, int quality) {
  for (int i = 0; i < 64; ++i)
    if (ScaledEntry(standard[i], quality) > table[i]) return false;
  return true;
}

bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsMetadataSegment(uint8_t marker) { return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE; }
constexpr uint8_t AdobeMarker = 0xEE;
constexpr uint8_t ProfileMarker = 0xE2;

bool DataStartsWith(std::span<const uint8_t> jpeg, const TJpegSegment& segment, std::string_view prefix) {
  return segment.DataSize >= prefix.size() &&
         std::memcmp(jpeg.data() + segment.DataStart, prefix.data(), prefix.size()) == 0;
}

// ICC_PROFILE, a zero byte, the chunk's number from 1 and the count of
// chunks, then the chunk.
constexpr std::string_view ProfileSignature{"ICC_PROFILE\0", 12};
constexpr size_t ProfileHeader = ProfileSignature.size() + 2;
constexpr size_t ProfileChunk = 65533 - ProfileHeader;

bool IsProfileSegment(std::span<const uint8_t> jpeg, const TJpegSegment& segment) {
  return segment.Marker == ProfileMarker && segment.DataSize >= ProfileHeader &&
         DataStartsWith(jpeg, segment, ProfileSignature);
}

bool IsJfifSegment(std::span<const uint8_t> jpeg, const TJpegSegment& segment) {
  return segment.Marker == JpegMarker::APP0 &&
         (DataStartsWith(jpeg, segment, {"JFIF\0", 5}) || DataStartsWith(jpeg, segment, {"JFXX\0", 5}));
}

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> jpeg, const TJpegSegment& segment) {
  out.insert(out.end(), jpeg.begin() + std::ptrdiff_t(segment.Start), jpeg.begin() + std::ptrdiff_t(segment.End()));
}

// The profile as APP2 segments; nothing for a profile too large for them.
void AppendProfile(std::vector<uint8_t>& out, std::span<const uint8_t> profile) {
  const size_t chunks = (profile.size() + ProfileChunk - 1) / ProfileChunk;
  if (chunks > 255) return;
  for (size_t i = 0; i < chunks; ++i) {
    const std::span<const uint8_t> chunk =
        profile.subspan(i * ProfileChunk, std::min(ProfileChunk, profile.size() - i * ProfileChunk));
    const size_t length = 2 + ProfileHeader + chunk.size();
    out.insert(out.end(), {0xFF, ProfileMarker, uint8_t(length >> 8), uint8_t(length)});
    out.insert(out.end(), ProfileSignature.begin(), ProfileSignature.end());
    out.insert(out.end(), {uint8_t(i + 1), uint8_t(chunks)});
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
}

// FreeImage's save flags as TurboJPEG's quality and subsampling, as
// FreeImage's own encoder reads them.
int QualityOf(int flags) {
  if (flags & JPEG_QUALITYSUPERB) return 100;
  if (flags & JPEG_QUALITYGOOD) return 75;
  if (flags & JPEG_QUALITYNORMAL) return 50;
  if (flags & JPEG_QUALITYAVERAGE) return 25;
  if (flags & JPEG_QUALITYBAD) return 10;
  const int quality = flags & 0x7F;
  return quality > 0 ? std::min(quality, 100) : 75;
}

int SubsamplingOf(int flags) {
  if ((flags & JPEG_SUBSAMPLING_444) == JPEG_SUBSAMPLING_444) return TJSAMP_444;
  if ((flags & JPEG_SUBSAMPLING_422) == JPEG_SUBSAMPLING_422) return TJSAMP_422;
  if ((flags & JPEG_SUBSAMPLING_411) == JPEG_SUBSAMPLING_411) return TJSAMP_411;
  return TJSAMP_420;
}

// A small JPEG that FreeImage's encoder wrote with the metadata of dib: its
// segments are what a JPEG of dib carries. A bare stream when it fails.
std::vector<uint8_t> FreeImageMetadataSegments(FIBITMAP* dib) {
  std::vector<uint8_t> bytes{0xFF, JpegMarker::SOI, 0xFF, JpegMarker::EOI};
  const TFreeBitmap stand(FreeImage_Allocate(8, 8, 24));
  if (!stand || !FreeImage_CloneMetadata(stand.Dib(), dib)) return bytes;
  const std::span<const uint8_t> profile = IccProfileBytes(dib);
  if (!profile.empty())
    FreeImage_CreateICCProfile(stand.Dib(), const_cast<uint8_t*>(profile.data()), long(profile.size()));
  if (FIBITMAP* thumbnail = FreeImage_GetThumbnail(dib)) FreeImage_SetThumbnail(stand.Dib(), thumbnail);
  FIMEMORY* memory = FreeImage_OpenMemory(nullptr, 0);
  BYTE* data = nullptr;
  DWORD size = 0;
  if (memory && FreeImage_SaveToMemory(FIF_JPEG, stand.Dib(), memory, JPEG_QUALITYBAD) &&
      FreeImage_AcquireMemory(memory, &data, &size))
    bytes.assign(data, data + size);
  if (memory) FreeImage_CloseMemory(memory);
  return bytes;
}

}  // namespace

TJpegEncoding ReadJpegEncoding(std::span<const uint8_t> jpeg) {
  TJpegEncoding encoding;
  std::vector<TJpegSegment> segments;
  try {
    segments = WalkJpegSegments(jpeg);
  } catch (const EExifError&) {
    return encoding;
  }
  std::array<TTable, 4> tables{};
  std::array<bool, 4> defined{};
  int lumaTable = -1, chromaTable = -1;
  for (const TJpegSegment& segment : segments) {
    const uint8_t* data = jpeg.data() + segment.DataStart;
    if (segment.Marker == 0xDB) {
      for (size_t pos = 0; pos < segment.DataSize;) {
        const int precision = data[pos] >> 4, id = data[pos] & 15;
        const size_t size = precision ? 128 : 64;
        if (id > 3 || pos + 1 + size > segment.DataSize) break;
        for (int k = 0; k < 64; ++k)
          tables[id][NaturalOrder[k]] =
              precision ? data[pos + 1 + 2 * k] << 8 | data[pos + 2 + 2 * k] : data[pos + 1 + k];
        defined[id] = true;
        pos += 1 + size;
      }
    } else if (IsFrameHeader(segment.Marker) && segment.DataSize >= 6) {
      const int components = data[5];
      if (segment.DataSize < size_t(6 + 3 * components) || components < 1) return encoding;
      encoding.Progressive =
          segment.Marker == 0xC2 || segment.Marker == 0xC6 || segment.Marker == 0xCA || segment.Marker == 0xCE;
      lumaTable = data[8] & 3;
      // Three components are YCbCr; four are CMYK, or YCCK, whose second
      // and third are subsampled as YCbCr's are.
      if (components == 3 || components == 4) {
        chromaTable = data[11] & 3;
        // Inks stored as they are share one table, scaled from the
        // luminance one.
        if (components == 4 && chromaTable == lumaTable) chromaTable = -1;
        const int h = data[7] >> 4, v = data[7] & 15, ch = data[10] >> 4, cv = data[10] & 15;
        if (ch > 0 && cv > 0 && h % ch == 0 && v % cv == 0) {
          const int across = h / ch, down = v / cv;
          if (across == 2 && down == 2)
            encoding.Subsampling = JPEG_SUBSAMPLING_420;
          else if (across == 2 && down == 1)
            encoding.Subsampling = JPEG_SUBSAMPLING_422;
          else if (across == 4 && down == 1)
            encoding.Subsampling = JPEG_SUBSAMPLING_411;
        }
        // Anything else keeps every colour sample.
        if (!encoding.Subsampling) encoding.Subsampling = JPEG_SUBSAMPLING_444;
      }
      break;
    }
  }
  if (lumaTable < 0 || !defined[lumaTable] || (chromaTable >= 0 && !defined[chromaTable])) return encoding;
  for (int quality = 1; quality <= 100; ++quality) {
    if (NoCoarser(StandardLuminance, tables[lumaTable], quality) &&
        (chromaTable < 0 || NoCoarser(StandardChrominance, tables[chromaTable], quality))) {
      encoding.Quality = quality;
      break;
    }
  }
  return encoding;
}

int JpegSaveFlags(const TJpegEncoding& encoding) {
  int flags = JPEG_BASELINE | encoding.Subsampling;
  if (encoding.Quality > 0) flags |= encoding.Quality;
  if (encoding.Progressive) flags |= JPEG_PROGRESSIVE;
  return flags;
}

std::vector<uint8_t> WithSourceSegments(std::span<const uint8_t> source, std::span<const uint8_t> encoded,
                                        std::span<const uint8_t> profile) {
  std::vector<TJpegSegment> from = WalkJpegSegments(source);
  const auto scan =
      std::find_if(from.begin(), from.end(), [](const TJpegSegment& s) { return s.Marker == JpegMarker::SOS; });
  from.erase(scan, from.end());
  const std::vector<TJpegSegment> to = WalkJpegSegments(encoded);
  // The new stream's metadata: its Adobe marker, up to its first segment
  // that is not metadata, behind which its entropy-coded data follows.
  std::vector<TJpegSegment> adobe;
  size_t rest = encoded.size();
  for (const TJpegSegment& segment : to) {
    if (!IsMetadataSegment(segment.Marker)) {
      rest = segment.Start;
      break;
    }
    if (segment.Marker == AdobeMarker) adobe.push_back(segment);
  }
  const bool inks = !adobe.empty();

  std::vector<uint8_t> sourceProfile;
  for (const TJpegSegment& segment : from)
    if (IsProfileSegment(source, segment))
      sourceProfile.insert(sourceProfile.end(), source.begin() + std::ptrdiff_t(segment.DataStart + ProfileHeader),
                           source.begin() + std::ptrdiff_t(segment.End()));
  const bool sameProfile = std::ranges::equal(sourceProfile, profile);
  bool profileWritten = sameProfile;

  std::vector<uint8_t> out{0xFF, JpegMarker::SOI};
  for (const TJpegSegment& segment : from) {
    if (!IsMetadataSegment(segment.Marker) || segment.Marker == AdobeMarker) continue;
    if (inks && IsJfifSegment(source, segment)) continue;
    if (IsProfileSegment(source, segment) && !sameProfile) {
      if (!profileWritten) AppendProfile(out, profile);
      profileWritten = true;
      continue;
    }
    Append(out, source, segment);
  }
  if (!profileWritten) AppendProfile(out, profile);
  for (const TJpegSegment& segment : adobe) Append(out, encoded, segment);
  out.insert(out.end(), encoded.begin() + std::ptrdiff_t(std::min(rest, encoded.size())), encoded.end());
  return out;
}

bool EncodeCmykJpeg(FIBITMAP* dib, int flags, std::vector<uint8_t>& out) {
  if (!IsCmykPicture(dib)) return false;
  TFreeBitmap eight;
  if (FreeImage_GetImageType(dib) == FIT_RGBA16) {
    eight.Assign(Cmyk16To8(dib));
    if (!eight) return false;
    dib = eight.Dib();
  }
  const unsigned width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
  if (width == 0 || height == 0 || width > 65535 || height > 65535) return false;
  // Top row first, each ink inverted: 0 is full ink in Adobe's CMYK JPEGs.
  const size_t row = size_t(width) * 4;
  std::vector<uint8_t> inks(row * height);
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* from = FreeImage_GetScanLine(dib, int(height - 1 - y));
    uint8_t* to = inks.data() + row * y;
    for (size_t i = 0; i < row; ++i) to[i] = uint8_t(255 - from[i]);
  }
  const std::unique_ptr<void, decltype(&tjDestroy)> encoder(tjInitCompress(), tjDestroy);
  if (!encoder) return false;
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int tjFlags = (flags & JPEG_PROGRESSIVE) ? TJFLAG_PROGRESSIVE : 0;
  // TurboJPEG stores CMYK as YCCK, whose chroma it subsamples, and marks it
  // so with Adobe's APP14.
  const bool encoded = tjCompress2(encoder.get(), inks.data(), int(width), int(row), int(height), TJPF_CMYK, &jpeg,
                                   &size, SubsamplingOf(flags), QualityOf(flags), tjFlags) == 0;
  const std::unique_ptr<unsigned char, decltype(&tjFree)> owned(jpeg, tjFree);
  if (!encoded || !jpeg || size == 0) return false;
  const std::span<const uint8_t> stream(jpeg, size);
  if (flags & JPEG_BASELINE) {
    out.assign(stream.begin(), stream.end());
    return true;
  }
  out = WithSourceSegments(FreeImageMetadataSegments(dib), stream, IccProfileBytes(dib));
  return true;
}
