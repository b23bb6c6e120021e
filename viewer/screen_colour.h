#pragma once

#include "viewer/colour_lookup.h"
#include "viewer/row_bands.h"
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
// The conversion is a lookup built once per profile (see colour_lookup.h)
// and kept for the paints that follow; a bitmap that replaces the working
// image with the same profile bytes reuses it. Pictures without a profile,
// with a profile that is not RGB, or with one that Little CMS refuses
// (damaged, hostile) are left as drawn, and so are profiles that turn out to
// be sRGB already.
//
// Draw stretches and converts row by row, the rows split over the machine's
// cores, and keeps the converted picture layer of its last paint: a paint of
// the same picture at the same place (the overlays, the panel, a message
// changed) copies it, and a pan converts only what comes into view.
class TScreenColour {
public:
  TScreenColour();
  ~TScreenColour();
  TScreenColour(const TScreenColour&) = delete;
  TScreenColour& operator=(const TScreenColour&) = delete;

  // Converts the part of rect inside frame, drawn from source, from the
  // profile embedded in source to sRGB. True when pixels were converted.
  bool Apply(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source);

  // The bitmap to draw the picture from: the picture itself, or a display
  // copy of it; with inks, a CMYK picture's own inks (their fourth byte is
  // kept). Null when there is none. Asked at most once a Draw, on the
  // caller's thread, and only when something has to be drawn.
  using TShown = std::function<FIBITMAP*(bool inks)>;
  // Draws source into rect of frame, converted: the visible part is taken
  // from the last layer where that holds the same pixels, and the rest is
  // stretched from shown's bitmap and converted. version names the
  // picture's pixels as they are (TFreeBitmap::Version). False, with nothing
  // drawn, when source has nothing to convert with or there is no bitmap to
  // draw from that the stretch can read.
  bool Draw(const TFrameBuffer& frame, const TDrawRect& rect, FIBITMAP* source, std::uint64_t version,
            const TShown& shown);

  // Whether source's profile is usable and differs from sRGB: what Apply
  // would convert with. Builds (and keeps) the lookup when needed.
  bool Converts(FIBITMAP* source);

  // Lookups built so far: one per distinct profile seen in a row.
  int BuildCount() const { return FBuilds; }

private:
  const TColourLookup* LookupFor(FIBITMAP* source);
  void Release();

  // The converted layer of the last Draw, frame-sized, valid over x0..x1, y0..y1.
  struct TLayer {
    bool valid = false;
    std::uint64_t version = 0;
    int lookup = 0;  // the build the layer was converted with
    int frameWidth = 0, frameHeight = 0;
    TDrawRect rect;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::vector<std::uint32_t> pixels;
  };

  void* FContext = nullptr;             // the Little CMS context, silent on errors
  TColourLookup FLookup;                // for FProfile; empty when it is unusable or sRGB
  std::vector<unsigned char> FProfile;  // the profile bytes the lookup was built from
  bool FHaveKey = false;                // FProfile/FLookup describe a profile
  unsigned char FKind = 0;              // what the frame pixels of FProfile's pictures hold
  TLayer FLayer;
  TRowBands FBands;
  int FBuilds = 0;
};
