// Frames of colour-managed pictures, drawn through the converter's own
// lookups and row bands, against Little CMS converting the same stretched
// pixels itself: an RGB profile, CMYK inks through a profile of their own and
// through the standard one, and grey through a grey profile. Also the row
// bands that split a frame's rows over threads.
#include "edit/cmyk_picture.h"
#include "platform/free_bitmap.h"
#include "viewer/colour_lookup.h"
#include "viewer/row_bands.h"
#include "viewer/screen_colour.h"
#include "viewer/stretch.h"

#include <lcms2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes SaveProfile(cmsHPROFILE profile) {
  Bytes bytes;
  cmsUInt32Number size = 0;
  if (profile && cmsSaveProfileToMem(profile, nullptr, &size)) {
    bytes.resize(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
  }
  if (profile) cmsCloseProfile(profile);
  return bytes;
}

Bytes ProPhotoProfile() {
  const cmsCIExyYTRIPLE primaries{{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  const Bytes bytes = SaveProfile(cmsCreateRGBProfile(cmsD50_xyY(), &primaries, curves));
  cmsFreeToneCurve(curve);
  return bytes;
}

Bytes GreyProfile() {
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
  const Bytes bytes = SaveProfile(cmsCreateGrayProfile(cmsD50_xyY(), curve));
  cmsFreeToneCurve(curve);
  return bytes;
}

// An RGB space that no matrix describes: each channel's light depends on the
// others (a table from RGB to Lab), so the lookup takes its grid.
int TwistedRgb(const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
  const double r = in[0] / 65535.0, g = in[1] / 65535.0, b = in[2] / 65535.0;
  cmsCIELab lab{100.0 * std::pow(0.2 * r + 0.7 * g + 0.1 * b, 0.8), 90.0 * (r - g) * (1.0 - 0.4 * b),
                80.0 * (g * r - b) + 10.0 * std::sin(6.0 * r)};
  cmsFloat2LabEncoded(out, &lab);
  return 1;
}

// A press of its own: inks that absorb unevenly and a black that is not quite
// neutral, as a table from CMYK to Lab.
int OwnPress(const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
  const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
  const double r = (1 - 0.9 * c) * (1 - 0.1 * m) * (1 - 0.85 * k);
  const double g = (1 - 0.3 * c) * (1 - 0.85 * m) * (1 - 0.05 * y) * (1 - 0.9 * k);
  const double b = (1 - 0.1 * c) * (1 - 0.2 * m) * (1 - 0.9 * y) * (1 - 0.95 * k);
  cmsCIEXYZ xyz{0.4361 * r + 0.3851 * g + 0.1431 * b, 0.2225 * r + 0.7169 * g + 0.0606 * b,
                0.0139 * r + 0.0971 * g + 0.7141 * b};
  cmsCIELab lab;
  cmsXYZ2Lab(cmsD50_XYZ(), &lab, &xyz);
  cmsFloat2LabEncoded(out, &lab);
  return 1;
}

// A profile from device values to Lab through a sampled table.
Bytes TableProfile(cmsColorSpaceSignature space, int channels, int points, cmsSAMPLER16 sampler) {
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(profile, 4.3);
  cmsSetDeviceClass(profile, space == cmsSigCmykData ? cmsSigOutputClass : cmsSigColorSpaceClass);
  cmsSetColorSpace(profile, space);
  cmsSetPCS(profile, cmsSigLabData);
  cmsPipeline* table = cmsPipelineAlloc(nullptr, static_cast<cmsUInt32Number>(channels), 3);
  cmsStage* clut = cmsStageAllocCLut16bit(nullptr, static_cast<cmsUInt32Number>(points),
                                          static_cast<cmsUInt32Number>(channels), 3, nullptr);
  cmsStageSampleCLut16bit(clut, sampler, nullptr, 0);
  // Stored as curves, table, curves: the first and last are left straight.
  cmsPipelineInsertStage(table, cmsAT_END,
                         cmsStageAllocToneCurves(nullptr, static_cast<cmsUInt32Number>(channels), nullptr));
  cmsPipelineInsertStage(table, cmsAT_END, clut);
  cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
  cmsWriteTag(profile, cmsSigAToB0Tag, table);
  cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
  cmsPipelineFree(table);
  return SaveProfile(profile);
}

// Little CMS's own conversion of frame pixels as the converter is given
// them: xRGB, a grey level repeated, or the inks in memory order.
std::vector<std::uint32_t> LittleCms(const Bytes& profileBytes, TColourLookup::TInput input, unsigned intent,
                                     const std::vector<std::uint32_t>& in) {
  const cmsUInt32Number grey = COLORSPACE_SH(PT_GRAY) | EXTRA_SH(3) | CHANNELS_SH(1) | BYTES_SH(1);
  const cmsUInt32Number format = input == TColourLookup::TInput::Inks   ? TYPE_CMYK_8
                                 : input == TColourLookup::TInput::Grey ? grey
                                                                        : TYPE_BGRA_8;
  cmsHPROFILE profile = cmsOpenProfileFromMem(profileBytes.data(), static_cast<cmsUInt32Number>(profileBytes.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM t = cmsCreateTransform(profile, format, srgb, TYPE_BGRA_8, intent, 0);
  std::vector<std::uint32_t> out(in.size(), 0);
  if (t) cmsDoTransform(t, in.data(), out.data(), static_cast<cmsUInt32Number>(in.size()));
  if (t) cmsDeleteTransform(t);
  cmsCloseProfile(srgb);
  if (profile) cmsCloseProfile(profile);
  for (std::uint32_t& p : out) p |= 0xFF000000u;
  return out;
}

int Distance(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) worst = std::max(worst, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
  return worst;
}

// How far a frame lies from the reference: the worst channel and the share
// of pixels more than a level off. The lookups are held to 2 levels at worst
// and to a level for all but one pixel in a thousand (grey is exact; a few
// pixels of ProPhoto red and of the standard press's deep shadows are 2 off,
// where Little CMS's own 8-bit path rounds differently).
struct TError {
  int worst = 0;
  double offByMore = 0;
};
TError Compare(const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& want) {
  TError e;
  size_t more = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    const int d = Distance(got[i], want[i]);
    e.worst = std::max(e.worst, d);
    if (d > 1) ++more;
  }
  e.offByMore = double(more) / double(got.size());
  return e;
}

// A picture of noise over smooth ramps, so that both neighbouring and
// far-apart values occur; with inks, its 32-bit pixels are CMYK.
FIBITMAP* Picture(unsigned bpp, bool inks, const Bytes& profile) {
  const int w = 173, h = 131;
  FIBITMAP* dib = FreeImage_Allocate(w, h, static_cast<int>(bpp));
  if (bpp == 8) {
    RGBQUAD* palette = FreeImage_GetPalette(dib);
    for (int i = 0; i < 256; ++i) palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
  }
  std::mt19937 random(11);
  const unsigned bytes = bpp / 8;
  for (int y = 0; y < h; ++y) {
    BYTE* row = FreeImage_GetScanLine(dib, y);
    for (int x = 0; x < w; ++x)
      for (unsigned c = 0; c < bytes; ++c)
        row[x * bytes + c] = static_cast<BYTE>(x % 2 ? random() : (x * (c + 1) + y * (3 - c % 3)) & 0xFF);
  }
  if (!profile.empty())
    FreeImage_CreateICCProfile(dib, const_cast<unsigned char*>(profile.data()), static_cast<long>(profile.size()));
  if (inks) FreeImage_GetICCProfile(dib)->flags |= FIICC_COLOR_IS_CMYK;
  return dib;
}

struct TKindCase {
  const char* what;
  unsigned bpp;
  bool inks;
  Bytes profile;    // embedded; empty for the standard CMYK profile
  Bytes reference;  // what Little CMS converts with
  TColourLookup::TInput input;
  unsigned intent;
};

std::vector<TKindCase> Kinds() {
  const Bytes pro = ProPhotoProfile(), twisted = TableProfile(cmsSigRgbData, 3, 17, TwistedRgb),
              press = TableProfile(cmsSigCmykData, 4, 9, OwnPress), grey = GreyProfile();
  using In = TColourLookup::TInput;
  EXPECT_FALSE(twisted.empty() || press.empty());
  std::vector<TKindCase> kinds = {
      {"ProPhoto RGB", 24, false, pro, pro, In::Rgb, INTENT_PERCEPTUAL},
      {"RGB through a table", 24, false, twisted, twisted, In::Rgb, INTENT_PERCEPTUAL},
      {"CMYK with a profile of its own", 32, true, press, press, In::Inks, CmykScreenIntent},
      {"grey", 8, false, grey, grey, In::Grey, CmykScreenIntent},
  };
  if (!StandardCmykProfile().empty())
    kinds.push_back(
        {"CMYK through the standard profile", 32, true, {}, StandardCmykProfile(), In::Inks, CmykScreenIntent});
  return kinds;
}

// Each kind of picture drawn into a frame, shrunk, enlarged and off an edge,
// as the converter draws it and as Little CMS converts the same stretch.
TEST(ColourFramesTest, FramesMatchLittleCmsPixelByPixel) {
  ASSERT_FALSE(StandardCmykProfile().empty()) << "no standard CMYK profile is installed (libgs-common)";
  const TDrawRect places[] = {{3, 2, 97, 71}, {-40, -17, 400, 300}, {0, 0, 173, 131}};
  for (const TKindCase& kind : Kinds()) {
    SCOPED_TRACE(kind.what);
    TFreeBitmap picture(Picture(kind.bpp, kind.inks, kind.profile));
    TScreenColour colour;
    ASSERT_TRUE(colour.Converts(picture.Dib()));
    for (const TDrawRect& r : places) {
      SCOPED_TRACE(std::to_string(r.width) + "x" + std::to_string(r.height));
      const int fw = 211, fh = 150;
      std::vector<std::uint32_t> drawn(fw * fh, 0xFF000000u), stretched(fw * fh, 0xFF000000u);
      ASSERT_TRUE(colour.Draw({drawn.data(), fw, fh, fw * 4}, r, picture.Dib(), picture.Version(),
                              [&](bool) { return picture.Dib(); }));
      ASSERT_TRUE(
          StretchNearest(picture.Dib(), {stretched.data(), fw, fh, fw * 4}, r.x, r.y, r.width, r.height, kind.inks));
      // Only the pixels the picture covers.
      std::vector<std::uint32_t> got, source;
      for (int y = std::max(0, r.y); y < std::min(fh, r.y + r.height); ++y)
        for (int x = std::max(0, r.x); x < std::min(fw, r.x + r.width); ++x) {
          got.push_back(drawn[y * fw + x]);
          source.push_back(stretched[y * fw + x]);
        }
      const TError e = Compare(got, LittleCms(kind.reference, kind.input, kind.intent, source));
      EXPECT_LE(e.worst, 2);
      EXPECT_LE(e.offByMore, 0.001);
    }
  }
}

// Every value the lookup can meet, through the vector path and the plain
// one: the two give the same pixels, and Little CMS's within a level or two.
TEST(ColourFramesTest, LookupsHoldToLittleCmsOverTheirWholeRange) {
  cmsContext context = cmsCreateContext(nullptr, nullptr);
  std::mt19937 random(5);
  for (const TKindCase& kind : Kinds()) {
    SCOPED_TRACE(kind.what);
    std::vector<std::uint32_t> in;
    if (kind.input == TColourLookup::TInput::Grey) {
      for (std::uint32_t v = 0; v < 256; ++v) in.push_back(0xFF000000u | v * 0x010101u);
    } else {
      const int step = kind.input == TColourLookup::TInput::Inks ? 15 : 5;  // the cells' corners and insides
      for (int a = 0; a < 256; a += step)
        for (int b = 0; b < 256; b += step)
          for (int c = 0; c < 256; c += step)
            in.push_back((kind.inks ? std::uint32_t(random()) << 24 : 0xFF000000u) | std::uint32_t(a) << 16 |
                         std::uint32_t(b) << 8 | std::uint32_t(c));
      for (int i = 0; i < 100003; ++i) in.push_back(kind.inks ? std::uint32_t(random()) : 0xFF000000u | random());
    }
    cmsHPROFILE profile =
        cmsOpenProfileFromMemTHR(context, kind.reference.data(), static_cast<cmsUInt32Number>(kind.reference.size()));
    const TColourLookup lookup = TColourLookup::Build(context, profile, kind.input, kind.intent);
    cmsCloseProfile(profile);
    ASSERT_TRUE(lookup.IsValid());
    EXPECT_LE(lookup.Bytes(), 400u * 1024);
    std::vector<std::uint32_t> fast(in.size()), plain(in.size());
    lookup.Convert(in.data(), fast.data(), in.size());
    lookup.ConvertPlain(in.data(), plain.data(), in.size());
    EXPECT_EQ(fast, plain);
    const TError e = Compare(fast, LittleCms(kind.reference, kind.input, kind.intent, in));
    EXPECT_LE(e.worst, 2);
    EXPECT_LE(e.offByMore, 0.001);
    // In place, as the frame's rows are converted.
    lookup.Convert(in.data(), in.data(), in.size());
    EXPECT_EQ(in, fast);
  }
  cmsDeleteContext(context);
}

TEST(RowBandsTest, EveryRowIsDoneOnceAcrossRunsOfEverySize) {
  TRowBands bands(3);
  std::vector<std::atomic<int>> done(1000);
  for (int run = 0; run < 200; ++run) {
    const int first = run % 7, last = first + (run * 37) % 990;
    for (auto& d : done) d = 0;
    bands.Run(
        first, last,
        [&](int y0, int y1) {
          for (int y = y0; y < y1; ++y) ++done[static_cast<size_t>(y)];
        },
        8);
    for (int y = 0; y < 1000; ++y) ASSERT_EQ(done[static_cast<size_t>(y)], y >= first && y < last ? 1 : 0) << run;
  }
}

}  // namespace
