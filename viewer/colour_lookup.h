#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Converts frame pixels of a picture with a colour profile to sRGB frame
// pixels (0xFFRRGGBB) through tables built once from a Little CMS transform,
// at a few nanoseconds a pixel instead of the tens that a transform costs.
//
// The tables follow what Little CMS itself does with 8-bit pixels, so the
// result is its own to a level:
// - grey: one entry per grey level, exact;
// - RGB profiles that are a matrix and tone curves (the usual camera and
//   editing spaces): each channel's level read as its contribution to
//   linear-light sRGB, the three added, clipped and encoded by a table;
// - other RGB profiles: a 33-point grid, interpolated tetrahedrally;
// - CMYK: a 17-point grid over the four inks, interpolated tetrahedrally
//   over magenta, yellow and black and linearly over cyan.
// Grid nodes hold each channel to a quarter level; weights and sums are
// integers. Memory: at most about 340 KB (the CMYK grid).
class TColourLookup {
public:
  // What a frame pixel holds: xRGB, a grey level repeated in R, G and B, or
  // the four inks C, M, Y, K in memory order.
  enum class TInput { Rgb, Grey, Inks };

  TColourLookup() = default;

  // The lookup for pixels of input in the colour space of profile (a Little
  // CMS profile opened in context) to sRGB with intent. Empty when the
  // profile gives no usable transform.
  static TColourLookup Build(void* context, void* profile, TInput input, unsigned intent);

  bool IsValid() const { return FMethod != TMethod::None; }
  // Converts n pixels; in and out may be the same.
  void Convert(const std::uint32_t* in, std::uint32_t* out, std::size_t n) const;
  // The same without vector instructions: the reference the fast path is
  // held to, and the path of machines without them.
  void ConvertPlain(const std::uint32_t* in, std::uint32_t* out, std::size_t n) const;
  // Whether Convert uses vector instructions on this machine.
  bool Vectorised() const;
  // The memory the tables take.
  std::size_t Bytes() const;

  // Linear light is held in units of 1 / LinearScale.
  static constexpr int LinearScale = 8192;

private:
  bool BuildMatrix(void* context, void* picture, void* srgb, unsigned intent);

  enum class TMethod { None, Table, Matrix, Grid3, Grid4 };

  TMethod FMethod = TMethod::None;
  // Table: the pixel of each grey level.
  std::vector<std::uint32_t> FGrey;
  // Matrix: for channel c (0 R, 1 G, 2 B) and level v, how much of its
  // primary it gives, at [c * 256 + v]; the primaries in linear-light sRGB,
  // row by row; FEncode maps clipped linear light, in 1 / LinearScale, to an
  // sRGB level (three bytes of padding after it, for gathers).
  std::vector<float> FCurve;
  std::array<float, 9> FMatrix{};
  std::vector<std::uint8_t> FEncode;
  // Grids: for each byte of a frame pixel (0 the lowest) and its value, the
  // offset of the cell along that axis in nodes, plus the weight of the far
  // side (0..256) in bits 23 and up; the nodes pack B, G, R in 10 bits each,
  // in quarter levels. FStride: nodes between neighbours along each byte's
  // axis.
  std::array<std::array<std::uint32_t, 256>, 4> FAxis{};
  std::array<std::uint32_t, 4> FStride{};
  std::vector<std::uint32_t> FNodes;

  friend struct TColourLookupKernels;
};
