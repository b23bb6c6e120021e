#include "viewer/screen_colour.h"

#include "edit/cmyk_picture.h"
#include "viewer/stream_store.h"

#include <lcms2.h>

#include <cstring>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// What kind of values a source's frame pixels hold.
enum TKind : unsigned char { KindRgb = 'R', KindGrey = 'G', KindInks = 'C' };

// Damaged profiles are an ordinary outcome here, not something to print.
void IgnoreError(cmsContext, cmsUInt32Number, const char*) {}

bool UsableClass(cmsProfileClassSignature c) {
  return c == cmsSigInputClass || c == cmsSigDisplayClass || c == cmsSigOutputClass || c == cmsSigColorSpaceClass;
}

// Whether the lookup leaves colours as they are, to a level, over a grid
// through the whole cube: the profile describes sRGB (most camera JPEGs say
// so), and converting would only cost time.
bool IsIdentity(const TColourLookup& lookup) {
  constexpr int Steps = 16;  // 0, 17, ..., 255 on each axis
  std::vector<std::uint32_t> in;
  in.reserve(Steps * Steps * Steps);
  for (int r = 0; r < Steps; ++r)
    for (int g = 0; g < Steps; ++g)
      for (int b = 0; b < Steps; ++b)
        in.push_back(0xFF000000u | std::uint32_t(r * 17) << 16 | std::uint32_t(g * 17) << 8 | std::uint32_t(b * 17));
  std::vector<std::uint32_t> out(in.size());
  lookup.Convert(in.data(), out.data(), in.size());
  for (size_t i = 0; i < in.size(); ++i)
    for (int shift : {0, 8, 16})
      if (std::abs(int(in[i] >> shift & 0xFF) - int(out[i] >> shift & 0xFF)) > 1) return false;
  return true;
}

// The visible part of rect in frame, empty when none.
struct TVisible {
  int x0, y0, x1, y1;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
TVisible Visible(const TFrameBuffer& frame, const TDrawRect& rect) {
  return {std::max(0, rect.x), std::max(0, rect.y),
          static_cast<int>(std::min<long long>(frame.width, static_cast<long long>(rect.x) + rect.width)),
          static_cast<int>(std::min<long long>(frame.height, static_cast<long long>(rect.y) + rect.height))};
}

std::uint32_t* FrameRow(const TFrameBuffer& frame, int y) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(frame.pixels) +
                                          static_cast<size_t>(y) * frame.strideBytes);
}

}  // namespace

TScreenColour::TScreenColour() {
  FContext = cmsCreateContext(nullptr, nullptr);
  if (FContext) cmsSetLogErrorHandlerTHR(static_cast<cmsContext>(FContext), IgnoreError);
}

TScreenColour::~TScreenColour() {
  Release();
  if (FContext) cmsDeleteContext(static_cast<cmsContext>(FContext));
}

void TScreenColour::Release() {
  FLookup = TColourLookup();
  FLayer.valid = false;
  FProfile.clear();
  FHaveKey = false;
}

const TColourLookup* TScreenColour::LookupFor(FIBITMAP* source) {
  if (!source || !FContext) return nullptr;
  // CMYK pictures go through their own profile or a standard one; RGB and
  // grey ones only through a profile they carry.
  const bool inks = IsCmykPicture(source);
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(source);
  const bool embedded = icc && icc->data && icc->size > 0;
  const unsigned char* bytes = nullptr;
  size_t size = 0;
  if (embedded) {
    bytes = static_cast<const unsigned char*>(icc->data);
    size = icc->size;
  }
  if (inks && !embedded) {
    const std::vector<unsigned char>& standard = StandardCmykProfile();
    bytes = standard.data();
    size = standard.size();
  }
  if (!bytes || size == 0) return nullptr;
  // Asked only of a picture with a profile: FreeImage answers it for a
  // 32-bit picture by reading every pixel, on every paint.
  const bool grey = !inks && FreeImage_GetColorType(source) == FIC_MINISBLACK;
  const TKind kind = inks ? KindInks : grey ? KindGrey : KindRgb;
  if (FHaveKey && FKind == kind && FProfile.size() == size && std::equal(FProfile.begin(), FProfile.end(), bytes))
    return FLookup.IsValid() ? &FLookup : nullptr;

  Release();
  FProfile.assign(bytes, bytes + size);
  FKind = kind;
  FHaveKey = true;
  ++FBuilds;

  const auto context = static_cast<cmsContext>(FContext);
  cmsHPROFILE picture =
      cmsOpenProfileFromMemTHR(context, FProfile.data(), static_cast<cmsUInt32Number>(FProfile.size()));
  if (!picture && inks && embedded && !StandardCmykProfile().empty()) {
    // A damaged profile of its own: the inks are still read as a standard press's.
    const std::vector<unsigned char>& fallback = StandardCmykProfile();
    picture = cmsOpenProfileFromMemTHR(context, fallback.data(), static_cast<cmsUInt32Number>(fallback.size()));
  }
  if (!picture) return nullptr;
  const cmsColorSpaceSignature space = cmsGetColorSpace(picture);
  const cmsColorSpaceSignature wanted = inks ? cmsSigCmykData : grey ? cmsSigGrayData : cmsSigRgbData;
  if (space == wanted && UsableClass(cmsGetDeviceClass(picture))) {
    const auto input = inks   ? TColourLookup::TInput::Inks
                       : grey ? TColourLookup::TInput::Grey
                              : TColourLookup::TInput::Rgb;
    const unsigned intent = inks || grey ? CmykScreenIntent : INTENT_PERCEPTUAL;
    FLookup = TColourLookup::Build(context, picture, input, intent);
    if (FLookup.IsValid() && kind == KindRgb && IsIdentity(FLookup)) FLookup = TColourLookup();
  }
  cmsCloseProfile(picture);
  return FLookup.IsValid() ? &FLookup : nullptr;
}

bool TScreenColour::Converts(FIBITMAP* source) { return LookupFor(source) != nullptr; }

bool TScreenColour::Apply(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source) {
  if (!frame.pixels || rect.width <= 0 || rect.height <= 0) return false;
  const TVisible v = Visible(frame, rect);
  if (v.Empty()) return false;
  const TColourLookup* lookup = LookupFor(source);
  if (!lookup) return false;
  FBands.Run(v.y0, v.y1, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      std::uint32_t* row = FrameRow(frame, y) + v.x0;
      lookup->Convert(row, row, static_cast<size_t>(v.x1 - v.x0));
    }
  });
  return true;
}

bool TScreenColour::Draw(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source, std::uint64_t version,
                         const TShown& shown) {
  if (!frame.pixels) return false;
  const TColourLookup* lookup = LookupFor(source);
  if (!lookup) return false;
  const bool inks = FKind == KindInks;
  FIBITMAP* from = nullptr;
  // The bitmap to stretch, asked for once; false when there is none.
  const auto ready = [&] {
    if (!from) from = shown(inks);
    return from && CanStretch(from);
  };
  const TVisible v = Visible(frame, rect);
  if (rect.width <= 0 || rect.height <= 0 || v.Empty()) return ready();

  const auto layerRow = [&](long long y) { return FLayer.pixels.data() + static_cast<size_t>(y) * frame.width; };
  // Stretches and converts the part px0..px1, py0..py1 of the frame alone,
  // into the frame and the layer.
  const auto drawPart = [&](int px0, int py0, int px1, int py1) {
    if (px0 >= px1 || py0 >= py1) return true;
    if (!ready()) return false;
    FBands.Run(py0, py1, [&](int y0, int y1) {
      const TFrameBuffer band{FrameRow(frame, y0) + px0, px1 - px0, y1 - y0, frame.strideBytes};
      std::vector<std::uint32_t> converted(static_cast<size_t>(px1 - px0));
      StretchNearestRows(from, band, rect.x - px0, rect.y - y0, rect.width, rect.height, inks,
                         [&](int y, int x0, int n, const std::uint32_t* pixels) {
                           // A repeated row is the one converted last.
                           if (pixels) lookup->Convert(pixels, converted.data() + x0, static_cast<size_t>(n));
                           stream_store::Copy(FrameRow(frame, y0 + y) + px0 + x0, converted.data() + x0, n);
                           stream_store::Copy(layerRow(y0 + y) + px0 + x0, converted.data() + x0, n);
                         });
      stream_store::Fence();
    });
    return true;
  };

  // The layer drawn last with this picture, lookup and size: moved by
  // (dx, dy) since, or not at all.
  const bool sameLayer = FLayer.valid && FLayer.version == version && FLayer.lookup == FBuilds &&
                         FLayer.frameWidth == frame.width && FLayer.frameHeight == frame.height &&
                         FLayer.rect.width == rect.width && FLayer.rect.height == rect.height;
  const long long dx = sameLayer ? static_cast<long long>(rect.x) - FLayer.rect.x : 0;
  const long long dy = sameLayer ? static_cast<long long>(rect.y) - FLayer.rect.y : 0;
  // What the layer holds of this paint's visible part.
  const int rx0 = static_cast<int>(std::clamp<long long>(FLayer.x0 + dx, v.x0, v.x1));
  const int rx1 = static_cast<int>(std::clamp<long long>(FLayer.x1 + dx, v.x0, v.x1));
  const int ry0 = static_cast<int>(std::clamp<long long>(FLayer.y0 + dy, v.y0, v.y1));
  const int ry1 = static_cast<int>(std::clamp<long long>(FLayer.y1 + dy, v.y0, v.y1));
  if (sameLayer && rx0 < rx1 && ry0 < ry1) {
    // What was on screen before moves along (or stays); only what comes
    // into view is drawn and converted.
    for (int y = ry0; y < ry1; ++y)
      std::memcpy(FrameRow(frame, y) + rx0, layerRow(y - dy) + (rx0 - dx), sizeof(std::uint32_t) * (rx1 - rx0));
    if (dx == 0 && dy == 0 && rx0 == v.x0 && rx1 == v.x1 && ry0 == v.y0 && ry1 == v.y1) return true;
    // The layer moves along too; the parts drawn below write their own rows.
    FLayer.valid = false;
    for (int y = ry0; y < ry1; ++y)
      std::memcpy(layerRow(y) + rx0, FrameRow(frame, y) + rx0, sizeof(std::uint32_t) * (rx1 - rx0));
    if (!drawPart(v.x0, v.y0, v.x1, ry0) || !drawPart(v.x0, ry1, v.x1, v.y1) || !drawPart(v.x0, ry0, rx0, ry1) ||
        !drawPart(rx1, ry0, v.x1, ry1))
      return false;
  } else {
    FLayer.valid = false;
    FLayer.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    if (!drawPart(v.x0, v.y0, v.x1, v.y1)) return false;
  }
  FLayer.valid = true;
  FLayer.version = version;
  FLayer.lookup = FBuilds;
  FLayer.frameWidth = frame.width;
  FLayer.frameHeight = frame.height;
  FLayer.rect = rect;
  FLayer.x0 = v.x0, FLayer.y0 = v.y0, FLayer.x1 = v.x1, FLayer.y1 = v.y1;
  return true;
}
