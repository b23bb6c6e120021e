#pragma once

#include "viewer/stretch.h"
#include "viewer/view_geometry.h"

#include <FreeImage.h>

#include <cstdint>
#include <vector>

// Shows pictures that carry an embedded ICC profile in sRGB, the colour space
// the screen is taken to have. It converts the rendered frame, not the
// working image: only the pixels the painter drew are touched, so the cost is
// one pass over the visible picture per paint, and every pixel operation and
// every save still sees the file's own values.
//
// The colour transform is built once per profile and kept for the paints
// that follow; a bitmap that replaces the working image with the same
// profile bytes reuses it. Pictures without a profile, with a profile that
// is not RGB, or with one that Little CMS refuses (damaged, hostile) are
// left as drawn, and so are profiles that turn out to be sRGB already.
class TScreenColour {
public:
  TScreenColour();
  ~TScreenColour();
  TScreenColour(const TScreenColour&) = delete;
  TScreenColour& operator=(const TScreenColour&) = delete;

  // Converts the part of rect inside frame, drawn from source, from the
  // profile embedded in source to sRGB. True when pixels were converted.
  bool Apply(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source);

  // Whether source's profile is usable and differs from sRGB: what Apply
  // would convert with. Builds (and keeps) the transform when needed.
  bool Converts(FIBITMAP* source);

  // Transforms built so far: one per distinct profile seen in a row.
  int BuildCount() const { return FBuilds; }

private:
  void* TransformFor(FIBITMAP* source);
  void Release();

  void* FContext = nullptr;            // the Little CMS context, silent on errors
  void* FTransform = nullptr;          // for FProfile; null when it is unusable or sRGB
  std::vector<unsigned char> FProfile; // the profile bytes the transform was built from
  bool FHaveKey = false;               // FProfile/FTransform describe a profile
  std::vector<std::uint32_t> FRawRow;  // the last converted row as it was drawn
  int FBuilds = 0;
};
