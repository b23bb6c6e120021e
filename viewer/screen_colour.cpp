#include "viewer/screen_colour.h"

#include "edit/cmyk_picture.h"

#include <lcms2.h>

#include <cstring>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// A frame pixel is the 32-bit value 0xffRRGGBB, so its bytes in memory are
// B, G, R, A on a little-endian machine and A, R, G, B on a big-endian one.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr cmsUInt32Number FramePixelFormat = TYPE_ARGB_8;
#else
constexpr cmsUInt32Number FramePixelFormat = TYPE_BGRA_8;
#endif
// A grey frame pixel has B = G = R: the grey value is read from its first
// byte and the other three are passed over.
constexpr cmsUInt32Number FrameGreyFormat = COLORSPACE_SH(PT_GRAY) | EXTRA_SH(3) | CHANNELS_SH(1) | BYTES_SH(1);
// A frame pixel drawn from a CMYK picture holds its inks as they are.
constexpr cmsUInt32Number FrameInkFormat = TYPE_CMYK_8;

// What kind of values a source's frame pixels hold.
enum TKind : unsigned char { KindRgb = 'R', KindGrey = 'G', KindInks = 'C' };

// Damaged profiles are an ordinary outcome here, not something to print.
void IgnoreError(cmsContext, cmsUInt32Number, const char*) {}

bool UsableClass(cmsProfileClassSignature c) {
  return c == cmsSigInputClass || c == cmsSigDisplayClass || c == cmsSigOutputClass ||
         c == cmsSigColorSpaceClass;
}

// Whether the transform leaves colours as they are, to a level, over a grid
// through the whole cube: the profile describes sRGB (most camera JPEGs say
// so), and converting would only cost time.
bool IsIdentity(cmsHTRANSFORM transform) {
  constexpr int Steps = 16;  // 0, 17, ..., 255 on each axis
  std::vector<std::uint32_t> in;
  in.reserve(Steps * Steps * Steps);
  for (int r = 0; r < Steps; ++r)
    for (int g = 0; g < Steps; ++g)
      for (int b = 0; b < Steps; ++b)
        in.push_back(0xFF000000u | std::uint32_t(r * 17) << 16 | std::uint32_t(g * 17) << 8 | std::uint32_t(b * 17));
  std::vector<std::uint32_t> out(in.size());
  cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(in.size()));
  for (size_t i = 0; i < in.size(); ++i)
    for (int shift : {0, 8, 16})
      if (std::abs(int(in[i] >> shift & 0xFF) - int(out[i] >> shift & 0xFF)) > 1) return false;
  return true;
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
  if (FTransform) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(FTransform));
  FTransform = nullptr;
  FLayer.valid = false;
  FProfile.clear();
  FHaveKey = false;
}

void* TScreenColour::TransformFor(FIBITMAP* source) {
  if (!source || !FContext) return nullptr;
  // CMYK pictures go through their own profile or a standard one; RGB and
  // grey ones only through a profile they carry.
  const bool inks = IsCmykPicture(source);
  const bool grey = !inks && FreeImage_GetColorType(source) == FIC_MINISBLACK;
  const TKind kind = inks ? KindInks : grey ? KindGrey : KindRgb;
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(source);
  const bool embedded = icc && icc->data && icc->size > 0;
  const std::vector<unsigned char>* standard = nullptr;
  const unsigned char* bytes = nullptr;
  size_t size = 0;
  if (embedded) {
    bytes = static_cast<const unsigned char*>(icc->data);
    size = icc->size;
  }
  if (inks && !embedded) {
    standard = &StandardCmykProfile();
    bytes = standard->data();
    size = standard->size();
  }
  if (!bytes || size == 0) return nullptr;
  if (FHaveKey && FKind == kind && FProfile.size() == size && std::equal(FProfile.begin(), FProfile.end(), bytes))
    return FTransform;

  Release();
  FProfile.assign(bytes, bytes + size);
  FKind = kind;
  FHaveKey = true;
  ++FBuilds;

  const auto context = static_cast<cmsContext>(FContext);
  cmsHPROFILE picture = cmsOpenProfileFromMemTHR(context, FProfile.data(), static_cast<cmsUInt32Number>(FProfile.size()));
  if (!picture && inks && embedded && !StandardCmykProfile().empty()) {
    // A damaged profile of its own: the inks are still read as a standard press's.
    const std::vector<unsigned char>& fallback = StandardCmykProfile();
    picture = cmsOpenProfileFromMemTHR(context, fallback.data(), static_cast<cmsUInt32Number>(fallback.size()));
  }
  if (!picture) return nullptr;
  const cmsColorSpaceSignature space = cmsGetColorSpace(picture);
  const cmsColorSpaceSignature wanted = inks ? cmsSigCmykData : grey ? cmsSigGrayData : cmsSigRgbData;
  if (space == wanted && UsableClass(cmsGetDeviceClass(picture))) {
    if (cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context)) {
      const cmsUInt32Number input = inks ? FrameInkFormat : grey ? FrameGreyFormat : FramePixelFormat;
      // No cmsFLAGS_COPY_ALPHA: the frame is converted in place, and the
      // fourth byte is set opaque afterwards where it held an ink.
      const cmsUInt32Number intent = inks || grey ? CmykScreenIntent : INTENT_PERCEPTUAL;
      cmsHTRANSFORM transform = cmsCreateTransformTHR(context, picture, input, srgb, FramePixelFormat, intent, 0);
      if (transform && !inks && !grey && IsIdentity(transform)) {
        cmsDeleteTransform(transform);
        transform = nullptr;
      }
      FTransform = transform;
      cmsCloseProfile(srgb);
    }
  }
  cmsCloseProfile(picture);
  return FTransform;
}

bool TScreenColour::Converts(FIBITMAP* source) { return TransformFor(source) != nullptr; }

void TScreenColour::ConvertSpan(std::uint32_t* pixels, size_t count) {
  if (count == 0) return;
  cmsDoTransform(static_cast<cmsHTRANSFORM>(FTransform), pixels, pixels, static_cast<cmsUInt32Number>(count));
  if (FKind == KindInks)
    for (size_t i = 0; i < count; ++i) pixels[i] |= 0xFF000000u;  // where K was
}

bool TScreenColour::Apply(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source) {
  if (!frame.pixels || rect.width <= 0 || rect.height <= 0) return false;
  const int x0 = std::max(0, rect.x);
  const int y0 = std::max(0, rect.y);
  const int x1 = static_cast<int>(std::min<long long>(frame.width, static_cast<long long>(rect.x) + rect.width));
  const int y1 = static_cast<int>(std::min<long long>(frame.height, static_cast<long long>(rect.y) + rect.height));
  if (x0 >= x1 || y0 >= y1) return false;
  if (!TransformFor(source)) return false;
  ConvertRows(frame, x0, y0, x1, y1);
  return true;
}

void TScreenColour::ConvertRows(const TFrameBuffer& frame, int x0, int y0, int x1, int y1) {
  // In place: input and output have the same size, pixel for pixel. An
  // enlarged picture repeats rows; a repeat is copied from the row above,
  // converted already, rather than converted again.
  const size_t width = static_cast<size_t>(x1 - x0);
  FRawRow.resize(width);
  auto* base = reinterpret_cast<unsigned char*>(frame.pixels);
  std::uint32_t* previous = nullptr;
  for (int y = y0; y < y1; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(base + static_cast<size_t>(y) * frame.strideBytes) + x0;
    if (previous && std::equal(row, row + width, FRawRow.begin())) {
      std::copy(previous, previous + width, row);
    } else {
      std::copy(row, row + width, FRawRow.begin());
      ConvertSpan(row, width);
    }
    previous = row;
  }
}

bool TScreenColour::Draw(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source, std::uint64_t version,
                         const TStretch& stretch) {
  if (!frame.pixels || !TransformFor(source)) return false;
  const bool inks = FKind == KindInks;
  const int x0 = std::max(0, rect.x);
  const int y0 = std::max(0, rect.y);
  const int x1 = static_cast<int>(std::min<long long>(frame.width, static_cast<long long>(rect.x) + rect.width));
  const int y1 = static_cast<int>(std::min<long long>(frame.height, static_cast<long long>(rect.y) + rect.height));
  if (rect.width <= 0 || rect.height <= 0 || x0 >= x1 || y0 >= y1) return stretch(frame, rect.x, rect.y, inks);

  auto* base = reinterpret_cast<unsigned char*>(frame.pixels);
  const auto frameRow = [&](int y) {
    return reinterpret_cast<std::uint32_t*>(base + static_cast<size_t>(y) * frame.strideBytes);
  };
  const auto layerRow = [&](long long y) { return FLayer.pixels.data() + static_cast<size_t>(y) * frame.width; };
  // Draws and converts the part px0..px1, py0..py1 of the frame alone.
  const auto drawPart = [&](int px0, int py0, int px1, int py1) {
    if (px0 >= px1 || py0 >= py1) return true;
    const TFrameBuffer part{frameRow(py0) + px0, px1 - px0, py1 - py0, frame.strideBytes};
    if (!stretch(part, rect.x - px0, rect.y - py0, inks)) return false;
    ConvertRows(frame, px0, py0, px1, py1);
    return true;
  };

  // The layer drawn last with this picture, transform and size: moved by
  // (dx, dy) since, or not at all.
  const bool sameLayer = FLayer.valid && FLayer.version == version && FLayer.transform == FTransform &&
                         FLayer.frameWidth == frame.width && FLayer.frameHeight == frame.height &&
                         FLayer.rect.width == rect.width && FLayer.rect.height == rect.height;
  const long long dx = sameLayer ? static_cast<long long>(rect.x) - FLayer.rect.x : 0;
  const long long dy = sameLayer ? static_cast<long long>(rect.y) - FLayer.rect.y : 0;
  // What the layer holds of this paint's visible part.
  const int rx0 = static_cast<int>(std::clamp<long long>(FLayer.x0 + dx, x0, x1));
  const int rx1 = static_cast<int>(std::clamp<long long>(FLayer.x1 + dx, x0, x1));
  const int ry0 = static_cast<int>(std::clamp<long long>(FLayer.y0 + dy, y0, y1));
  const int ry1 = static_cast<int>(std::clamp<long long>(FLayer.y1 + dy, y0, y1));
  if (sameLayer && rx0 < rx1 && ry0 < ry1) {
    // What was on screen before moves along (or stays); only what comes
    // into view is drawn and converted.
    for (int y = ry0; y < ry1; ++y)
      std::memcpy(frameRow(y) + rx0, layerRow(y - dy) + (rx0 - dx), sizeof(std::uint32_t) * (rx1 - rx0));
    if (dx == 0 && dy == 0 && rx0 == x0 && rx1 == x1 && ry0 == y0 && ry1 == y1) return true;
    if (!drawPart(x0, y0, x1, ry0) || !drawPart(x0, ry1, x1, y1) || !drawPart(x0, ry0, rx0, ry1) ||
        !drawPart(rx1, ry0, x1, ry1))
      return false;
  } else if (!drawPart(x0, y0, x1, y1)) {
    return false;
  }
  FLayer.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
  for (int y = y0; y < y1; ++y) std::memcpy(layerRow(y) + x0, frameRow(y) + x0, sizeof(std::uint32_t) * (x1 - x0));
  FLayer.valid = true;
  FLayer.version = version;
  FLayer.transform = FTransform;
  FLayer.frameWidth = frame.width;
  FLayer.frameHeight = frame.height;
  FLayer.rect = rect;
  FLayer.x0 = x0, FLayer.y0 = y0, FLayer.x1 = x1, FLayer.y1 = y1;
  return true;
}
