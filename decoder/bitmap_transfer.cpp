#include "decoder/bitmap_transfer.h"

#include "platform/free_bitmap.h"

#include <cstring>
#include <limits>
#include <string>

// FreeImage 3.18 exports this (and documents it), but Debian's header lacks it.
extern "C" FIBITMAP* DLL_CALLCONV FreeImage_AllocateHeaderForBits(BYTE* ext_bits, unsigned ext_pitch,
                                                                  FREE_IMAGE_TYPE type, int width, int height, int bpp,
                                                                  unsigned red_mask, unsigned green_mask,
                                                                  unsigned blue_mask);

namespace decoder {

namespace {

constexpr std::uint32_t BlobMagic = 0x4D425656;  // "VVBM"
constexpr std::uint32_t BlobVersion = 1;
constexpr int LastModel = FIMD_EXIF_RAW;

class TWriter {
public:
  template <typename T>
  void Put(T value) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    FBytes.insert(FBytes.end(), p, p + sizeof(T));
  }
  void PutBytes(const void* data, std::size_t n) {
    Put<std::uint64_t>(n);
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (n) FBytes.insert(FBytes.end(), p, p + n);
  }
  void PutString(const char* s) { PutBytes(s, s ? std::strlen(s) : 0); }
  std::vector<std::uint8_t> Take() { return std::move(FBytes); }

private:
  std::vector<std::uint8_t> FBytes;
};

// Reads what TWriter wrote; every read is checked against the end, and a
// failed read leaves the reader failed for good.
class TReader {
public:
  TReader(const std::uint8_t* data, std::size_t n) : FData(data), FLeft(n) {}
  template <typename T>
  T Get() {
    T value{};
    if (!Ok() || FLeft < sizeof(T)) {
      FOk = false;
      return value;
    }
    std::memcpy(&value, FData, sizeof(T));
    FData += sizeof(T);
    FLeft -= sizeof(T);
    return value;
  }
  // A length-prefixed run of bytes, pointing into the description.
  const std::uint8_t* GetBytes(std::size_t& n) {
    const auto len = Get<std::uint64_t>();
    if (!Ok() || len > FLeft) {
      FOk = false;
      n = 0;
      return nullptr;
    }
    const std::uint8_t* p = FData;
    FData += len;
    FLeft -= static_cast<std::size_t>(len);
    n = static_cast<std::size_t>(len);
    return p;
  }
  std::string GetString() {
    std::size_t n = 0;
    const std::uint8_t* p = GetBytes(n);
    return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
  }
  bool Ok() const { return FOk; }
  std::size_t Left() const { return FLeft; }

private:
  const std::uint8_t* FData;
  std::size_t FLeft;
  bool FOk = true;
};

void DescribeInto(TWriter& w, FIBITMAP* dib, bool withPixels);

void DescribeMetadata(TWriter& w, FIBITMAP* dib) {
  for (int model = FIMD_COMMENTS; model <= LastModel; ++model) {
    const auto mdmodel = static_cast<FREE_IMAGE_MDMODEL>(model);
    std::vector<FITAG*> tags;
    FITAG* tag = nullptr;
    // FreeImage's search over a model left empty (TIFF's decoder leaves
    // such) hands out a stray tag: only models with tags are searched.
    FIMETADATA* search =
        FreeImage_GetMetadataCount(mdmodel, dib) ? FreeImage_FindFirstMetadata(mdmodel, dib, &tag) : nullptr;
    if (search) {
      do {
        if (tag) tags.push_back(tag);
      } while (FreeImage_FindNextMetadata(search, &tag));
      FreeImage_FindCloseMetadata(search);
    }
    w.Put<std::uint32_t>(static_cast<std::uint32_t>(tags.size()));
    for (FITAG* t : tags) {
      w.PutString(FreeImage_GetTagKey(t));
      w.PutString(FreeImage_GetTagDescription(t));
      w.Put<std::uint16_t>(FreeImage_GetTagID(t));
      w.Put<std::uint16_t>(static_cast<std::uint16_t>(FreeImage_GetTagType(t)));
      w.Put<std::uint32_t>(FreeImage_GetTagCount(t));
      const void* value = FreeImage_GetTagValue(t);
      w.PutBytes(value, value ? FreeImage_GetTagLength(t) : 0);
    }
  }
}

void DescribeInto(TWriter& w, FIBITMAP* dib, bool withPixels) {
  w.Put(BlobMagic);
  w.Put(BlobVersion);
  w.Put<std::int32_t>(FreeImage_GetImageType(dib));
  w.Put<std::int32_t>(static_cast<std::int32_t>(FreeImage_GetWidth(dib)));
  w.Put<std::int32_t>(static_cast<std::int32_t>(FreeImage_GetHeight(dib)));
  w.Put<std::int32_t>(static_cast<std::int32_t>(FreeImage_GetBPP(dib)));
  w.Put<std::uint32_t>(FreeImage_GetPitch(dib));
  w.Put<std::uint32_t>(FreeImage_GetRedMask(dib));
  w.Put<std::uint32_t>(FreeImage_GetGreenMask(dib));
  w.Put<std::uint32_t>(FreeImage_GetBlueMask(dib));
  w.Put<std::uint32_t>(FreeImage_GetDotsPerMeterX(dib));
  w.Put<std::uint32_t>(FreeImage_GetDotsPerMeterY(dib));

  const RGBQUAD* palette = FreeImage_GetPalette(dib);
  w.PutBytes(palette, palette ? FreeImage_GetColorsUsed(dib) * sizeof(RGBQUAD) : 0);

  // The transparency flag is readable only below 32 bits (FreeImage answers
  // from the alpha channel there), so a 32-bit image sends its answer.
  w.Put<std::uint8_t>(FreeImage_IsTransparent(dib) ? 1 : 0);
  w.PutBytes(FreeImage_GetTransparencyTable(dib), FreeImage_GetTransparencyCount(dib));

  RGBQUAD background{};
  const bool hasBackground = FreeImage_HasBackgroundColor(dib) && FreeImage_GetBackgroundColor(dib, &background);
  w.Put<std::uint8_t>(hasBackground ? 1 : 0);
  w.Put(background);

  const FIICCPROFILE* icc = FreeImage_GetICCProfile(dib);
  w.Put<std::uint16_t>(icc ? icc->flags : 0);
  w.PutBytes(icc ? icc->data : nullptr, icc && icc->data ? icc->size : 0);

  DescribeMetadata(w, dib);

  FIBITMAP* thumbnail = FreeImage_GetThumbnail(dib);
  w.Put<std::uint8_t>(thumbnail ? 1 : 0);
  if (thumbnail) {
    TWriter inner;
    DescribeInto(inner, thumbnail, true);
    const std::vector<std::uint8_t> bytes = inner.Take();
    w.PutBytes(bytes.data(), bytes.size());
  }
  if (withPixels) w.PutBytes(FreeImage_GetBits(dib), PixelBytes(dib));
}

bool RestoreMetadata(TReader& r, FIBITMAP* dib) {
  for (int model = FIMD_COMMENTS; model <= LastModel; ++model) {
    const auto count = r.Get<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && r.Ok(); ++i) {
      const std::string key = r.GetString();
      const std::string description = r.GetString();
      const auto id = r.Get<std::uint16_t>();
      const auto type = r.Get<std::uint16_t>();
      const auto tagCount = r.Get<std::uint32_t>();
      std::size_t length = 0;
      const std::uint8_t* value = r.GetBytes(length);
      if (!r.Ok() || length > std::numeric_limits<DWORD>::max()) return false;

      FITAG* tag = FreeImage_CreateTag();
      if (!tag) return false;
      FreeImage_SetTagKey(tag, key.c_str());
      if (!description.empty()) FreeImage_SetTagDescription(tag, description.c_str());
      FreeImage_SetTagID(tag, id);
      // SetTagValue insists on count x width = length, which some decoders'
      // own tags do not meet (TIFF's text tags): the bytes go in as bytes,
      // and type and count are set as they were afterwards. SetMetadata then
      // stores a copy made by the final type.
      FreeImage_SetTagType(tag, FIDT_BYTE);
      FreeImage_SetTagCount(tag, static_cast<DWORD>(length));
      FreeImage_SetTagLength(tag, static_cast<DWORD>(length));
      if (value) FreeImage_SetTagValue(tag, value);
      FreeImage_SetTagType(tag, static_cast<FREE_IMAGE_MDTYPE>(type));
      FreeImage_SetTagCount(tag, tagCount);
      FreeImage_SetMetadata(static_cast<FREE_IMAGE_MDMODEL>(model), dib, key.c_str(), tag);
      FreeImage_DeleteTag(tag);
    }
  }
  return r.Ok();
}

// pixels null: the rows follow in the description (a thumbnail) and are
// copied into a bitmap of FreeImage's own. A description is not trusted
// blindly: a thumbnail holds no thumbnail of its own, and no bitmap is
// allocated for rows the description does not carry.
FIBITMAP* RebuildFrom(TReader& r, std::uint8_t* pixels, std::size_t pixelBytes, bool isThumbnail) {
  if (r.Get<std::uint32_t>() != BlobMagic || r.Get<std::uint32_t>() != BlobVersion) return nullptr;
  const auto type = static_cast<FREE_IMAGE_TYPE>(r.Get<std::int32_t>());
  const auto width = r.Get<std::int32_t>();
  const auto height = r.Get<std::int32_t>();
  const auto bpp = r.Get<std::int32_t>();
  const auto pitch = r.Get<std::uint32_t>();
  const auto redMask = r.Get<std::uint32_t>();
  const auto greenMask = r.Get<std::uint32_t>();
  const auto blueMask = r.Get<std::uint32_t>();
  const auto dpmX = r.Get<std::uint32_t>();
  const auto dpmY = r.Get<std::uint32_t>();
  if (!r.Ok() || width <= 0 || height <= 0 || bpp <= 0 || bpp > 128 || pitch == 0) return nullptr;
  const std::uint64_t rows = static_cast<std::uint64_t>(pitch) * static_cast<std::uint64_t>(height);
  // The pitch must hold a row and keep FreeImage's 4-byte row alignment.
  if (pitch % 4 != 0 || static_cast<std::uint64_t>(pitch) * 8 < static_cast<std::uint64_t>(width) * bpp) return nullptr;
  if (!pixels && rows > r.Left()) return nullptr;

  std::size_t paletteBytes = 0;
  const std::uint8_t* palette = r.GetBytes(paletteBytes);
  const bool transparent = r.Get<std::uint8_t>() != 0;
  std::size_t transparencyCount = 0;
  const std::uint8_t* transparency = r.GetBytes(transparencyCount);
  const bool hasBackground = r.Get<std::uint8_t>() != 0;
  RGBQUAD background = r.Get<RGBQUAD>();
  const auto iccFlags = r.Get<std::uint16_t>();
  std::size_t iccBytes = 0;
  const std::uint8_t* icc = r.GetBytes(iccBytes);
  if (!r.Ok() || transparencyCount > 256 || iccBytes > std::numeric_limits<long>::max()) return nullptr;

  TFreeBitmap owned;
  if (pixels) {
    if (rows > pixelBytes) return nullptr;
    owned.Assign(
        FreeImage_AllocateHeaderForBits(pixels, pitch, type, width, height, bpp, redMask, greenMask, blueMask));
  } else {
    owned.Assign(FreeImage_AllocateT(type, width, height, bpp, redMask, greenMask, blueMask));
  }
  FIBITMAP* dib = owned.Dib();
  if (!dib) return nullptr;
  bool ok = FreeImage_GetPitch(dib) == pitch;

  if (ok && paletteBytes) {
    RGBQUAD* target = FreeImage_GetPalette(dib);
    ok = target && paletteBytes == FreeImage_GetColorsUsed(dib) * sizeof(RGBQUAD);
    if (ok) std::memcpy(target, palette, paletteBytes);
  }
  if (ok) {
    FreeImage_SetDotsPerMeterX(dib, dpmX);
    FreeImage_SetDotsPerMeterY(dib, dpmY);
    if (transparencyCount)
      FreeImage_SetTransparencyTable(dib, const_cast<BYTE*>(transparency), static_cast<int>(transparencyCount));
    FreeImage_SetTransparent(dib, transparent ? TRUE : FALSE);
    if (hasBackground) FreeImage_SetBackgroundColor(dib, &background);
    if (iccBytes) {
      FIICCPROFILE* profile =
          FreeImage_CreateICCProfile(dib, const_cast<std::uint8_t*>(icc), static_cast<long>(iccBytes));
      if (profile) profile->flags = iccFlags;
    } else if (FIICCPROFILE* profile = FreeImage_GetICCProfile(dib)) {
      profile->flags = iccFlags;
    }
    ok = RestoreMetadata(r, dib);
  }
  if (ok && r.Get<std::uint8_t>() != 0) {
    ok = !isThumbnail;
    std::size_t innerBytes = 0;
    const std::uint8_t* inner = r.GetBytes(innerBytes);
    TReader innerReader(inner, innerBytes);
    const TFreeBitmap thumbnail(ok && inner ? RebuildFrom(innerReader, nullptr, 0, true) : nullptr);
    ok = thumbnail.IsValid();
    if (ok) FreeImage_SetThumbnail(dib, thumbnail.Dib());  // keeps a clone
  }
  if (ok && !pixels) {
    std::size_t n = 0;
    const std::uint8_t* rowsData = r.GetBytes(n);
    ok = rowsData && n == rows;
    if (ok) std::memcpy(FreeImage_GetBits(dib), rowsData, n);
  }
  if (!ok || !r.Ok()) return nullptr;
  return owned.Release();
}

}  // namespace

std::size_t PixelBytes(FIBITMAP* dib) {
  if (!dib || !FreeImage_HasPixels(dib)) return 0;
  return static_cast<std::size_t>(FreeImage_GetPitch(dib)) * FreeImage_GetHeight(dib);
}

std::vector<std::uint8_t> DescribeBitmap(FIBITMAP* dib) {
  TWriter w;
  if (dib) DescribeInto(w, dib, false);
  return w.Take();
}

FIBITMAP* RebuildBitmap(const std::uint8_t* blob, std::size_t blobBytes, std::uint8_t* pixels, std::size_t pixelBytes) {
  if (!blob || !pixels) return nullptr;
  TReader r(blob, blobBytes);
  return RebuildFrom(r, pixels, pixelBytes, false);
}

}  // namespace decoder
