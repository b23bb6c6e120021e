#pragma once

#include "viewer/stretch.h"
#include "viewer/view_geometry.h"

#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <vector>

// Shows pictures that carry an embedded ICC profile (RGB, grey, CMYK) and CMYK
// pictures without one (through a standard CMYK profile) in sRGB, the colour
// space the screen is taken to have. It converts the rendered frame, not the
// working image: only the pixels the painter drew are touched, so the cost is
// one pass over the visible picture per paint, and every pixel operation and
// every save still sees the file's own values.
//
// The colour transform is built once per profile and kept for the paints
// that follow; a bitmap that replaces the working image with the same
// profile bytes reuses it. Pictures without a profile, with a profile that
// is not RGB, or with one that Little CMS refuses (damaged, hostile) are
// left as drawn, and so are profiles that turn out to be sRGB already.
//
// Converting costs far more than drawing (tens of nanoseconds a pixel, over a
// hundred for CMYK), so Draw keeps the converted picture layer of its last
// paint: a paint of the same picture at the same place (the overlays, the
// panel, a message changed) copies it, and a pan converts only what comes
// into view.
class TScreenColour {
public:
  TScreenColour();
  ~TScreenColour();
  TScreenColour(const TScreenColour&) = delete;
  TScreenColour& operator=(const TScreenColour&) = delete;

  // Converts the part of rect inside frame, drawn from source, from the
  // profile embedded in source to sRGB. True when pixels were converted.
  bool Apply(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source);

  // Draws the picture source into rect of frame, placed at (x, y) in a part
  // of the frame, as it is (inks: a CMYK picture, whose fourth byte must be
  // kept). True when it did.
  using TStretch = std::function<bool(const TFrameBuffer& part, int x, int y, bool inks)>;
  // Draws source into rect of frame, converted: the visible part is taken
  // from the last layer where that holds the same pixels, and the rest is
  // drawn by stretch and converted. version names the picture's pixels as
  // they are (TFreeBitmap::Version). False, with nothing drawn, when source
  // has nothing to convert with or stretch failed.
  bool Draw(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source, std::uint64_t version,
            const TStretch& stretch);

  // Whether source's profile is usable and differs from sRGB: what Apply
  // would convert with. Builds (and keeps) the transform when needed.
  bool Converts(FIBITMAP* source);

  // Transforms built so far: one per distinct profile seen in a row.
  int BuildCount() const { return FBuilds; }

private:
  void* TransformFor(FIBITMAP* source);
  void Release();
  void ConvertRows(const TFrameBuffer& frame, int x0, int y0, int x1, int y1);
  void ConvertSpan(std::uint32_t* pixels, size_t count);

  // The converted layer of the last Draw, frame-sized, valid over x0..x1, y0..y1.
  struct TLayer {
    bool valid = false;
    std::uint64_t version = 0;
    void* transform = nullptr;
    int frameWidth = 0, frameHeight = 0;
    TDrawRect rect;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::vector<std::uint32_t> pixels;
  };

  void* FContext = nullptr;            // the Little CMS context, silent on errors
  void* FTransform = nullptr;          // for FProfile; null when it is unusable or sRGB
  std::vector<unsigned char> FProfile; // the profile bytes the transform was built from
  bool FHaveKey = false;               // FProfile/FTransform describe a profile
  unsigned char FKind = 0;             // what the frame pixels of FProfile's pictures hold
  TLayer FLayer;
  std::vector<std::uint32_t> FRawRow;  // the last converted row as it was drawn
  int FBuilds = 0;
};
