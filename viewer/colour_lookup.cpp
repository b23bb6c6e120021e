#include "viewer/colour_lookup.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define VELVANE_LOOKUP_AVX2 1
#include <immintrin.h>
#endif

namespace {

// A frame pixel is the 32-bit value 0xffRRGGBB, so its bytes in memory are
// B, G, R, A on a little-endian machine and A, R, G, B on a big-endian one.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr cmsUInt32Number FramePixelFormat = TYPE_ARGB_8;
constexpr int InkShift[4] = {24, 16, 8, 0};
#else
constexpr cmsUInt32Number FramePixelFormat = TYPE_BGRA_8;
constexpr int InkShift[4] = {0, 8, 16, 24};
#endif
// A grey frame pixel has B = G = R: the grey value is read from its first
// byte and the other three are passed over.
constexpr cmsUInt32Number FrameGreyFormat = COLORSPACE_SH(PT_GRAY) | EXTRA_SH(3) | CHANNELS_SH(1) | BYTES_SH(1);

constexpr std::uint32_t Opaque = 0xFF000000u;
// A grid axis entry: the cell's offset in the low bits, the far side's weight above.
constexpr std::uint32_t OffsetMask = (1u << 23) - 1;
constexpr int WeightShift = 23;
constexpr int WeightOne = 256;
// Nodes hold quarter levels, 0..1020, in 10 bits a channel.
constexpr std::uint32_t NodeMask = 1023;

// Little CMS's own choice of grid for 8-bit pixels: 33 points for three
// inputs, 17 for four.
constexpr int Grid3Points = 33;
constexpr int Grid4Points = 17;

// How far from additive a transform may be and still count as a matrix
// with tone curves, in linear light (a third of a level near black).
constexpr double AdditiveTolerance = 1e-4;

struct TProfile {
  explicit TProfile(cmsHPROFILE h) : handle(h) {}
  ~TProfile() {
    if (handle) cmsCloseProfile(handle);
  }
  TProfile(const TProfile&) = delete;
  TProfile& operator=(const TProfile&) = delete;
  cmsHPROFILE handle;
};

struct TTransform {
  explicit TTransform(cmsHTRANSFORM h) : handle(h) {}
  ~TTransform() {
    if (handle) cmsDeleteTransform(handle);
  }
  TTransform(const TTransform&) = delete;
  TTransform& operator=(const TTransform&) = delete;
  cmsHTRANSFORM handle;
};

// sRGB's primaries and white with linear tone curves: where the
// contributions of the channels add up.
cmsHPROFILE LinearSrgb(cmsContext context) {
  cmsCIExyY d65;
  if (!cmsWhitePointFromTemp(&d65, 6504)) return nullptr;
  const cmsCIExyYTRIPLE primaries{{0.6400, 0.3300, 1.0}, {0.3000, 0.6000, 1.0}, {0.1500, 0.0600, 1.0}};
  cmsToneCurve* linear = cmsBuildGamma(context, 1.0);
  if (!linear) return nullptr;
  cmsToneCurve* curves[3] = {linear, linear, linear};
  cmsHPROFILE profile = cmsCreateRGBProfileTHR(context, &d65, &primaries, curves);
  cmsFreeToneCurve(linear);
  return profile;
}

int Level16To8(unsigned v) { return static_cast<int>((v * 255u + 32767u) / 65535u); }
std::uint32_t Node(const cmsUInt16Number rgb[3]) {
  const auto quarter = [](unsigned v) { return static_cast<std::uint32_t>((v * 1020u + 32767u) / 65535u); };
  return quarter(rgb[2]) | quarter(rgb[1]) << 10 | quarter(rgb[0]) << 20;
}

}  // namespace

// The conversions, one pixel at a time and eight at a time. Both do the
// same arithmetic in the same order, so they give the same pixels.
struct TColourLookupKernels {
  static std::uint32_t Matrix(const TColourLookup& d, std::uint32_t p) {
    const float r = d.FCurve[p >> 16 & 0xFF], g = d.FCurve[256 + (p >> 8 & 0xFF)], b = d.FCurve[512 + (p & 0xFF)];
    const float* m = d.FMatrix.data();
    std::uint32_t out = Opaque;
    for (int c = 0; c < 3; ++c) {
      const float light = std::min(std::max(m[3 * c] * r + m[3 * c + 1] * g + m[3 * c + 2] * b, 0.0f), 1.0f);
      const auto index = static_cast<int>(light * float(TColourLookup::LinearScale) + 0.5f);
      out |= std::uint32_t(d.FEncode[static_cast<size_t>(index)]) << (16 - 8 * c);
    }
    return out;
  }

  // The tetrahedron of the cell that holds the point: its corners as node
  // offsets from base and their weights, from the axis entries of the three
  // interpolated axes. Sorting the far-side weights, largest first, walks the
  // cell's diagonal.
  struct TTetra {
    std::uint32_t c1, c2, c3;
    std::uint32_t w0, w1, w2, w3;
  };
  static TTetra Tetra(std::uint32_t ex, std::uint32_t sx, std::uint32_t ey, std::uint32_t sy, std::uint32_t ez,
                      std::uint32_t sz) {
    std::uint32_t k1 = (ex & ~OffsetMask) | sx, k2 = (ey & ~OffsetMask) | sy, k3 = (ez & ~OffsetMask) | sz;
    const auto order = [](std::uint32_t& hi, std::uint32_t& lo) {
      const std::uint32_t a = std::max(hi, lo), b = std::min(hi, lo);
      hi = a, lo = b;
    };
    order(k1, k2);
    order(k2, k3);
    order(k1, k2);
    const std::uint32_t f1 = k1 >> WeightShift, f2 = k2 >> WeightShift, f3 = k3 >> WeightShift;
    TTetra t;
    t.c1 = k1 & OffsetMask;
    t.c2 = t.c1 + (k2 & OffsetMask);
    t.c3 = t.c2 + (k3 & OffsetMask);
    t.w0 = WeightOne - f1, t.w1 = f1 - f2, t.w2 = f2 - f3, t.w3 = f3;
    return t;
  }
  // Interpolated R, G, B in quarter levels times WeightOne.
  static void Interpolate(const std::uint32_t* nodes, std::uint32_t base, const TTetra& t, std::uint32_t acc[3]) {
    const std::uint32_t n0 = nodes[base], n1 = nodes[base + t.c1], n2 = nodes[base + t.c2], n3 = nodes[base + t.c3];
    for (int c = 0; c < 3; ++c) {
      const int shift = 20 - 10 * c;
      acc[c] = t.w0 * (n0 >> shift & NodeMask) + t.w1 * (n1 >> shift & NodeMask) + t.w2 * (n2 >> shift & NodeMask) +
               t.w3 * (n3 >> shift & NodeMask);
    }
  }

  static std::uint32_t Grid3(const TColourLookup& d, std::uint32_t p) {
    const std::uint32_t ex = d.FAxis[2][p >> 16 & 0xFF], ey = d.FAxis[1][p >> 8 & 0xFF], ez = d.FAxis[0][p & 0xFF];
    const TTetra t = Tetra(ex, d.FStride[2], ey, d.FStride[1], ez, d.FStride[0]);
    std::uint32_t acc[3];
    Interpolate(d.FNodes.data(), (ex & OffsetMask) + (ey & OffsetMask) + (ez & OffsetMask), t, acc);
    return Opaque | Level(acc[0]) << 16 | Level(acc[1]) << 8 | Level(acc[2]);
  }
  // A level from quarter levels times WeightOne.
  static std::uint32_t Level(std::uint32_t acc) { return (acc + 512) >> 10; }
  // The same in 64ths of a level, which fit 16 bits, and back.
  static std::uint32_t Fine(std::uint32_t acc) { return (acc + 8) >> 4; }
  static std::uint32_t FineLevel(std::uint32_t acc) { return (acc + (1u << 13)) >> 14; }

  static std::uint32_t Grid4(const TColourLookup& d, std::uint32_t p) {
    const std::uint32_t ec = d.FAxis[0][p >> InkShift[0] & 0xFF];
    const std::uint32_t ex = d.FAxis[1][p >> InkShift[1] & 0xFF];
    const std::uint32_t ey = d.FAxis[2][p >> InkShift[2] & 0xFF];
    const std::uint32_t ez = d.FAxis[3][p >> InkShift[3] & 0xFF];
    const TTetra t = Tetra(ex, d.FStride[1], ey, d.FStride[2], ez, d.FStride[3]);
    const std::uint32_t base = (ec & OffsetMask) + (ex & OffsetMask) + (ey & OffsetMask) + (ez & OffsetMask);
    std::uint32_t near[3], far[3];
    Interpolate(d.FNodes.data(), base, t, near);
    Interpolate(d.FNodes.data(), base + d.FStride[0], t, far);
    const std::uint32_t fc = ec >> WeightShift;
    std::uint32_t out = Opaque;
    for (int c = 0; c < 3; ++c) out |= FineLevel(Fine(near[c]) * (WeightOne - fc) + Fine(far[c]) * fc) << (16 - 8 * c);
    return out;
  }

#ifdef VELVANE_LOOKUP_AVX2
  using V = __m256i;
#define AVX2 __attribute__((target("avx2")))
  AVX2 static V Gather(const std::uint32_t* table, V index) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
  }
  AVX2 static V Byte(V p, int shift) { return _mm256_and_si256(_mm256_srli_epi32(p, shift), _mm256_set1_epi32(0xFF)); }
  AVX2 static V Splat(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
  // Two 16-bit halves: lo's low half and hi's low half moved up.
  AVX2 static V Halves(V lo, V hiShifted) { return _mm256_blend_epi16(lo, hiShifted, 0xAA); }

  struct TTetra8 {
    V c1, c2, c3;
    V w01, w23;  // the corners' weights in pairs, as 16-bit halves
  };
  AVX2 static TTetra8 Tetra8(V ex, V sx, V ey, V sy, V ez, V sz) {
    const V weights = Splat(~OffsetMask);
    V k1 = _mm256_or_si256(_mm256_and_si256(ex, weights), sx);
    V k2 = _mm256_or_si256(_mm256_and_si256(ey, weights), sy);
    V k3 = _mm256_or_si256(_mm256_and_si256(ez, weights), sz);
    V hi = _mm256_max_epu32(k1, k2), lo = _mm256_min_epu32(k1, k2);
    k1 = hi, k2 = lo;
    hi = _mm256_max_epu32(k2, k3), lo = _mm256_min_epu32(k2, k3);
    k2 = hi, k3 = lo;
    hi = _mm256_max_epu32(k1, k2), lo = _mm256_min_epu32(k1, k2);
    k1 = hi, k2 = lo;
    const V offsets = Splat(OffsetMask);
    const V f1 = _mm256_srli_epi32(k1, WeightShift), f2 = _mm256_srli_epi32(k2, WeightShift),
            f3 = _mm256_srli_epi32(k3, WeightShift);
    TTetra8 t;
    t.c1 = _mm256_and_si256(k1, offsets);
    t.c2 = _mm256_add_epi32(t.c1, _mm256_and_si256(k2, offsets));
    t.c3 = _mm256_add_epi32(t.c2, _mm256_and_si256(k3, offsets));
    const V w0 = _mm256_sub_epi32(Splat(WeightOne), f1), w1 = _mm256_sub_epi32(f1, f2), w2 = _mm256_sub_epi32(f2, f3);
    t.w01 = Halves(w0, _mm256_slli_epi32(w1, 16));
    t.w23 = Halves(w2, _mm256_slli_epi32(f3, 16));
    return t;
  }
  // The weighted sum of a pair of nodes' channels: each channel of the two
  // put side by side in 16-bit halves and multiplied and added at once.
  AVX2 static void AddPair(V a, V b, V weights, V acc[3]) {
    const V mask = Splat(NodeMask | NodeMask << 16);
    const V red = Halves(_mm256_srli_epi32(a, 20), _mm256_srli_epi32(b, 4));
    const V green = _mm256_and_si256(Halves(_mm256_srli_epi32(a, 10), _mm256_slli_epi32(b, 6)), mask);
    const V blue = _mm256_and_si256(Halves(a, _mm256_slli_epi32(b, 16)), mask);
    acc[0] = _mm256_add_epi32(acc[0], _mm256_madd_epi16(red, weights));
    acc[1] = _mm256_add_epi32(acc[1], _mm256_madd_epi16(green, weights));
    acc[2] = _mm256_add_epi32(acc[2], _mm256_madd_epi16(blue, weights));
  }
  AVX2 static void Interpolate8(const std::uint32_t* nodes, V base, const TTetra8& t, V acc[3]) {
    acc[0] = acc[1] = acc[2] = _mm256_setzero_si256();
    AddPair(Gather(nodes, base), Gather(nodes, _mm256_add_epi32(base, t.c1)), t.w01, acc);
    AddPair(Gather(nodes, _mm256_add_epi32(base, t.c2)), Gather(nodes, _mm256_add_epi32(base, t.c3)), t.w23, acc);
  }
  AVX2 static V Level8(V acc) { return _mm256_srli_epi32(_mm256_add_epi32(acc, Splat(512)), 10); }
  AVX2 static V Fine8(V acc) { return _mm256_srli_epi32(_mm256_add_epi32(acc, Splat(8)), 4); }
  AVX2 static V FineLevel8(V acc) { return _mm256_srli_epi32(_mm256_add_epi32(acc, Splat(1 << 13)), 14); }
  AVX2 static V Pack(V r, V g, V b) {
    return _mm256_or_si256(_mm256_or_si256(Splat(Opaque), _mm256_slli_epi32(r, 16)),
                           _mm256_or_si256(_mm256_slli_epi32(g, 8), b));
  }

  AVX2 static size_t Grid3x8(const TColourLookup& d, const std::uint32_t* in, std::uint32_t* out, size_t n) {
    const V offsets = Splat(OffsetMask);
    const V sx = Splat(d.FStride[2]), sy = Splat(d.FStride[1]), sz = Splat(d.FStride[0]);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      const V p = _mm256_loadu_si256(reinterpret_cast<const V*>(in + i));
      const V ex = Gather(d.FAxis[2].data(), Byte(p, 16));
      const V ey = Gather(d.FAxis[1].data(), Byte(p, 8));
      const V ez = Gather(d.FAxis[0].data(), Byte(p, 0));
      const V base = _mm256_add_epi32(_mm256_and_si256(ex, offsets),
                                      _mm256_add_epi32(_mm256_and_si256(ey, offsets), _mm256_and_si256(ez, offsets)));
      V acc[3];
      Interpolate8(d.FNodes.data(), base, Tetra8(ex, sx, ey, sy, ez, sz), acc);
      _mm256_storeu_si256(reinterpret_cast<V*>(out + i), Pack(Level8(acc[0]), Level8(acc[1]), Level8(acc[2])));
    }
    return i;
  }

  AVX2 static size_t Grid4x8(const TColourLookup& d, const std::uint32_t* in, std::uint32_t* out, size_t n) {
    const V offsets = Splat(OffsetMask);
    const V sx = Splat(d.FStride[1]), sy = Splat(d.FStride[2]), sz = Splat(d.FStride[3]), sc = Splat(d.FStride[0]);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      const V p = _mm256_loadu_si256(reinterpret_cast<const V*>(in + i));
      const V ec = Gather(d.FAxis[0].data(), Byte(p, 0));
      const V ex = Gather(d.FAxis[1].data(), Byte(p, 8));
      const V ey = Gather(d.FAxis[2].data(), Byte(p, 16));
      const V ez = Gather(d.FAxis[3].data(), _mm256_srli_epi32(p, 24));
      const V base = _mm256_add_epi32(_mm256_add_epi32(_mm256_and_si256(ec, offsets), _mm256_and_si256(ex, offsets)),
                                      _mm256_add_epi32(_mm256_and_si256(ey, offsets), _mm256_and_si256(ez, offsets)));
      const TTetra8 t = Tetra8(ex, sx, ey, sy, ez, sz);
      V near[3], far[3];
      Interpolate8(d.FNodes.data(), base, t, near);
      Interpolate8(d.FNodes.data(), _mm256_add_epi32(base, sc), t, far);
      const V fc = _mm256_srli_epi32(ec, WeightShift);
      const V weights = Halves(_mm256_sub_epi32(Splat(WeightOne), fc), _mm256_slli_epi32(fc, 16));
      V level[3];
      for (int c = 0; c < 3; ++c)
        level[c] = FineLevel8(_mm256_madd_epi16(Halves(Fine8(near[c]), _mm256_slli_epi32(Fine8(far[c]), 16)), weights));
      _mm256_storeu_si256(reinterpret_cast<V*>(out + i), Pack(level[0], level[1], level[2]));
    }
    return i;
  }

  AVX2 static size_t Matrix8(const TColourLookup& d, const std::uint32_t* in, std::uint32_t* out, size_t n) {
    using F = __m256;
    const float* m = d.FMatrix.data();
    const F zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
    const F scale = _mm256_set1_ps(float(TColourLookup::LinearScale)), half = _mm256_set1_ps(0.5f);
    const int* encode = reinterpret_cast<const int*>(d.FEncode.data());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      const V p = _mm256_loadu_si256(reinterpret_cast<const V*>(in + i));
      const F r = _mm256_i32gather_ps(d.FCurve.data(), Byte(p, 16), 4);
      const F g = _mm256_i32gather_ps(d.FCurve.data() + 256, Byte(p, 8), 4);
      const F b = _mm256_i32gather_ps(d.FCurve.data() + 512, Byte(p, 0), 4);
      V level[3];
      for (int c = 0; c < 3; ++c) {
        const F sum = _mm256_add_ps(
            _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(m[3 * c]), r), _mm256_mul_ps(_mm256_set1_ps(m[3 * c + 1]), g)),
            _mm256_mul_ps(_mm256_set1_ps(m[3 * c + 2]), b));
        const F light = _mm256_min_ps(_mm256_max_ps(sum, zero), one);
        const V index = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(light, scale), half));
        level[c] = _mm256_and_si256(_mm256_i32gather_epi32(encode, index, 1), Splat(0xFF));
      }
      _mm256_storeu_si256(reinterpret_cast<V*>(out + i), Pack(level[0], level[1], level[2]));
    }
    return i;
  }

  AVX2 static size_t Table8(const TColourLookup& d, const std::uint32_t* in, std::uint32_t* out, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      const V p = _mm256_loadu_si256(reinterpret_cast<const V*>(in + i));
      _mm256_storeu_si256(reinterpret_cast<V*>(out + i), Gather(d.FGrey.data(), Byte(p, 0)));
    }
    return i;
  }
#undef AVX2

  static bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
  }
#endif
};

using K = TColourLookupKernels;

void TColourLookup::ConvertPlain(const std::uint32_t* in, std::uint32_t* out, std::size_t n) const {
  switch (FMethod) {
    case TMethod::None: break;
    case TMethod::Table:
      for (size_t i = 0; i < n; ++i) out[i] = FGrey[in[i] & 0xFF];
      break;
    case TMethod::Matrix:
      for (size_t i = 0; i < n; ++i) out[i] = K::Matrix(*this, in[i]);
      break;
    case TMethod::Grid3:
      for (size_t i = 0; i < n; ++i) out[i] = K::Grid3(*this, in[i]);
      break;
    case TMethod::Grid4:
      for (size_t i = 0; i < n; ++i) out[i] = K::Grid4(*this, in[i]);
      break;
  }
}

bool TColourLookup::Vectorised() const {
#ifdef VELVANE_LOOKUP_AVX2
  return K::HasAvx2() && FMethod != TMethod::None;
#else
  return false;
#endif
}

void TColourLookup::Convert(const std::uint32_t* in, std::uint32_t* out, std::size_t n) const {
  size_t done = 0;
#ifdef VELVANE_LOOKUP_AVX2
  if (Vectorised()) {
    switch (FMethod) {
      case TMethod::None: break;
      case TMethod::Table: done = K::Table8(*this, in, out, n); break;
      case TMethod::Matrix: done = K::Matrix8(*this, in, out, n); break;
      case TMethod::Grid3: done = K::Grid3x8(*this, in, out, n); break;
      case TMethod::Grid4: done = K::Grid4x8(*this, in, out, n); break;
    }
  }
#endif
  ConvertPlain(in + done, out + done, n - done);
}

std::size_t TColourLookup::Bytes() const {
  return FGrey.size() * sizeof(FGrey[0]) + FCurve.size() * sizeof(FCurve[0]) + FEncode.size() +
         FNodes.size() * sizeof(FNodes[0]) + sizeof(FAxis) + sizeof(FMatrix);
}

TColourLookup TColourLookup::Build(void* contextHandle, void* profileHandle, TInput input, unsigned intent) {
  const auto context = static_cast<cmsContext>(contextHandle);
  const auto picture = static_cast<cmsHPROFILE>(profileHandle);
  TColourLookup lookup;
  const TProfile srgb(cmsCreate_sRGBProfileTHR(context));
  if (!picture || !srgb.handle) return lookup;

  if (input == TInput::Grey) {
    const TTransform t(
        cmsCreateTransformTHR(context, picture, FrameGreyFormat, srgb.handle, FramePixelFormat, intent, 0));
    if (!t.handle) return lookup;
    std::vector<std::uint32_t> grey(256);
    for (std::uint32_t v = 0; v < 256; ++v) grey[v] = Opaque | v * 0x010101u;
    lookup.FGrey.assign(256, 0);
    cmsDoTransform(t.handle, grey.data(), lookup.FGrey.data(), 256);
    for (std::uint32_t& p : lookup.FGrey) p |= Opaque;
    lookup.FMethod = TMethod::Table;
    return lookup;
  }

  if (input == TInput::Rgb && lookup.BuildMatrix(context, picture, srgb.handle, intent)) return lookup;

  // A grid over the inputs, sampled where Little CMS samples its own.
  const int dims = input == TInput::Inks ? 4 : 3;
  const int points = dims == 4 ? Grid4Points : Grid3Points;
  const TTransform sample(cmsCreateTransformTHR(context, picture, dims == 4 ? TYPE_CMYK_16 : TYPE_RGB_16, srgb.handle,
                                                TYPE_RGB_16, intent, cmsFLAGS_NOOPTIMIZE));
  if (!sample.handle) return lookup;
  size_t count = 1;
  for (int i = 0; i < dims; ++i) count *= static_cast<size_t>(points);
  std::vector<cmsUInt16Number> at(count * dims);
  for (size_t node = 0; node < count; ++node) {
    size_t rest = node;
    for (int axis = dims - 1; axis >= 0; --axis) {  // the first input varies slowest
      const size_t i = rest % static_cast<size_t>(points);
      rest /= static_cast<size_t>(points);
      at[node * dims + static_cast<size_t>(axis)] =
          static_cast<cmsUInt16Number>(std::floor(i * 65535.0 / (points - 1) + 0.5));
    }
  }
  std::vector<cmsUInt16Number> rgb(count * 3);
  cmsDoTransform(sample.handle, at.data(), rgb.data(), static_cast<cmsUInt32Number>(count));
  lookup.FNodes.resize(count);
  for (size_t node = 0; node < count; ++node) lookup.FNodes[node] = Node(&rgb[node * 3]);

  // The axis tables, by the byte of the frame pixel value that feeds each
  // input: R, G, B are bytes 2, 1, 0; inks are read by InkShift, C first.
  const size_t rgbSlot[3] = {2, 1, 0};
  std::uint32_t stride = 1;
  for (int axis = dims - 1; axis >= 0; --axis) {
    const size_t slot = dims == 4 ? static_cast<size_t>(axis) : rgbSlot[axis];
    lookup.FStride[slot] = stride;
    for (int v = 0; v < 256; ++v) {
      const int scaled = v * (points - 1);
      const int cell = std::min(scaled / 255, points - 2);
      const int far = ((scaled - cell * 255) * WeightOne + 127) / 255;
      lookup.FAxis[slot][static_cast<size_t>(v)] =
          static_cast<std::uint32_t>(far) << WeightShift | static_cast<std::uint32_t>(cell) * stride;
    }
    stride *= static_cast<std::uint32_t>(points);
  }
  lookup.FMethod = dims == 4 ? TMethod::Grid4 : TMethod::Grid3;
  return lookup;
}

bool TColourLookup::BuildMatrix(void* contextHandle, void* pictureHandle, void* srgb, unsigned intent) {
  const auto context = static_cast<cmsContext>(contextHandle);
  const auto picture = static_cast<cmsHPROFILE>(pictureHandle);
  const TProfile linear(LinearSrgb(context));
  if (!linear.handle) return false;
  const TTransform toLinear(
      cmsCreateTransformTHR(context, picture, TYPE_RGB_8, linear.handle, TYPE_RGB_FLT, intent, 0));
  const TTransform encode(cmsCreateTransformTHR(context, linear.handle, TYPE_RGB_FLT, static_cast<cmsHPROFILE>(srgb),
                                                TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC, 0));
  if (!toLinear.handle || !encode.handle) return false;

  // Each channel's level alone, the others at 0: what it adds to linear light.
  std::vector<cmsUInt8Number> levels(3 * 3 * 256, 0);
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) levels[(c * 256 + v) * 3 + c] = static_cast<cmsUInt8Number>(v);
  std::vector<float> light(levels.size());
  cmsDoTransform(toLinear.handle, levels.data(), light.data(), 3 * 256);
  if (!std::all_of(light.begin(), light.end(), [](float v) { return std::isfinite(v) && std::fabs(v) < 8; }))
    return false;
  const auto share = [&](int c, int v, int out) { return double(light[(c * 256 + v) * 3 + out]); };

  // A matrix with tone curves: each channel's share is a multiple of its
  // primary (its share at full level), and black gives no light.
  std::vector<float> curve(3 * 256);
  for (int c = 0; c < 3; ++c) {
    const double primary[3] = {share(c, 255, 0), share(c, 255, 1), share(c, 255, 2)};
    const double norm = primary[0] * primary[0] + primary[1] * primary[1] + primary[2] * primary[2];
    if (norm < 1e-6) return false;
    for (int v = 0; v < 256; ++v) {
      const double amount =
          (share(c, v, 0) * primary[0] + share(c, v, 1) * primary[1] + share(c, v, 2) * primary[2]) / norm;
      for (int out = 0; out < 3; ++out)
        if (std::fabs(share(c, v, out) - amount * primary[out]) > AdditiveTolerance) return false;
      curve[static_cast<size_t>(c * 256 + v)] = static_cast<float>(amount);
    }
    for (int out = 0; out < 3; ++out) FMatrix[static_cast<size_t>(out * 3 + c)] = static_cast<float>(primary[out]);
  }

  // And the shares add up, whatever the channels hold together.
  static constexpr cmsUInt8Number Probe[] = {0, 1, 5, 18, 47, 90, 128, 161, 200, 233, 254, 255};
  std::vector<cmsUInt8Number> mixed;
  for (cmsUInt8Number r : Probe)
    for (cmsUInt8Number g : Probe)
      for (cmsUInt8Number b : Probe) mixed.insert(mixed.end(), {r, g, b});
  std::vector<float> together(mixed.size());
  cmsDoTransform(toLinear.handle, mixed.data(), together.data(), static_cast<cmsUInt32Number>(mixed.size() / 3));
  for (size_t i = 0; i < mixed.size(); i += 3)
    for (int out = 0; out < 3; ++out) {
      const double sum = share(0, mixed[i], out) + share(1, mixed[i + 1], out) + share(2, mixed[i + 2], out);
      if (!std::isfinite(together[i + out]) || std::fabs(sum - together[i + out]) > AdditiveTolerance) return false;
    }

  std::vector<float> ramp(3 * (LinearScale + 1));
  for (int i = 0; i <= LinearScale; ++i)
    ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = static_cast<float>(i) / LinearScale;
  std::vector<cmsUInt16Number> encoded(ramp.size());
  cmsDoTransform(encode.handle, ramp.data(), encoded.data(), LinearScale + 1);
  FEncode.assign(LinearScale + 1 + 3, 0);
  for (int i = 0; i <= LinearScale; ++i)
    FEncode[static_cast<size_t>(i)] = static_cast<std::uint8_t>(Level16To8(encoded[3 * i]));
  FCurve = std::move(curve);
  FMethod = TMethod::Matrix;
  return true;
}
