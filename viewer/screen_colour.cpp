#include "viewer/screen_colour.h"

#include <lcms2.h>

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
  FProfile.clear();
  FHaveKey = false;
}

void* TScreenColour::TransformFor(FIBITMAP* source) {
  if (!source || !FContext) return nullptr;
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(source);
  if (!icc || !icc->data || icc->size == 0) return nullptr;
  const auto* bytes = static_cast<const unsigned char*>(icc->data);
  if (FHaveKey && FProfile.size() == icc->size && std::equal(FProfile.begin(), FProfile.end(), bytes))
    return FTransform;

  Release();
  FProfile.assign(bytes, bytes + icc->size);
  FHaveKey = true;
  ++FBuilds;

  const auto context = static_cast<cmsContext>(FContext);
  cmsHPROFILE picture = cmsOpenProfileFromMemTHR(context, FProfile.data(), static_cast<cmsUInt32Number>(FProfile.size()));
  if (!picture) return nullptr;
  if (cmsGetColorSpace(picture) == cmsSigRgbData && UsableClass(cmsGetDeviceClass(picture))) {
    if (cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context)) {
      // No cmsFLAGS_COPY_ALPHA: the frame is converted in place, so the
      // opaque alpha byte that lcms skips stays as the painter wrote it.
      cmsHTRANSFORM transform = cmsCreateTransformTHR(context, picture, FramePixelFormat, srgb, FramePixelFormat,
                                                      INTENT_PERCEPTUAL, 0);
      if (transform && IsIdentity(transform)) {
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

bool TScreenColour::Apply(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source) {
  if (!frame.pixels || rect.width <= 0 || rect.height <= 0) return false;
  const int x0 = std::max(0, rect.x);
  const int y0 = std::max(0, rect.y);
  const int x1 = static_cast<int>(std::min<long long>(frame.width, static_cast<long long>(rect.x) + rect.width));
  const int y1 = static_cast<int>(std::min<long long>(frame.height, static_cast<long long>(rect.y) + rect.height));
  if (x0 >= x1 || y0 >= y1) return false;
  const auto transform = static_cast<cmsHTRANSFORM>(TransformFor(source));
  if (!transform) return false;

  // In place: input and output have the same layout, pixel for pixel. An
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
      cmsDoTransform(transform, row, row, static_cast<cmsUInt32Number>(width));
    }
    previous = row;
  }
  return true;
}
