// CMYK and grey pictures reach the screen through their colour profiles, as
// ImageMagick converts them; a CMYK working image stays CMYK, and each
// command that needs red, green and blue, and each save into a format
// without CMYK, gets sRGB through the profile.
#include "tfmain_fixture.h"

#include "edit/cmyk_picture.h"
#include "edit/rescale_picture.h"
#include "edit/save_picture.h"
#include "viewer/image_loader.h"
#include "viewer/picture_painter.h"
#include "viewer/screen_colour.h"

#include "support/images.h"
#include "support/temp_folder.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

const QString GhostscriptIcc = QStringLiteral("/usr/share/color/icc/ghostscript/");

class CmykColourTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(StandardCmykProfile().empty()) << "no standard CMYK profile is installed (libgs-common)";
    // A photo-like sRGB picture: two gradients across each other.
    source = dir.File("source.png");
    ASSERT_EQ(Magick({"-size", "96x64", "gradient:#d08030-#2070b0", "(", "-size", "64x96", "gradient:#f0e0a0-#102040",
                      "-rotate", "90", ")", "-compose", "multiply", "-composite", "-depth", "8", source}),
              0);
  }
  static int Magick(const QStringList& args) { return QProcess::execute(QStringLiteral("convert"), args); }
  // Draws the picture one to one and returns the mean colour of the frame.
  void PaintedMean(const TFreeBitmap& picture, double mean[3]) {
    const int w = static_cast<int>(picture.Width()), h = static_cast<int>(picture.Height());
    QImage frame(w, h, QImage::Format_RGB32);
    TViewState view;
    view.bZoomToFit = view.bShrinkToFit = false;
    TFreeBitmap copy;
    PaintPicture(frame, picture, view, copy, &colour);
    double sum[3] = {};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const QRgb p = frame.pixel(x, y);
        sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
      }
    for (int i = 0; i < 3; ++i) mean[i] = sum[i] / (w * h);
  }
  void ExpectNear(const double got[3], const double want[3], double levels) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], levels) << "channel " << i;
  }
  TempFolder dir;
  QString source;
  TFreeBitmap bitmap;
  TScreenColour colour;
};

// With its own profile, and without one (then a standard press profile,
// the one found at run time), in JPEG and TIFF.
TEST_F(CmykColourTest, CmykFilesAreShownThroughTheirProfileAsImageMagickConvertsThem) {
  const QString srgb = GhostscriptIcc + QStringLiteral("srgb.icc");
  const QString cmykIcc = GhostscriptIcc + QStringLiteral("default_cmyk.icc");
  struct TCase {
    const char* name;
    bool profile;
  } cases[] = {{"with-profile.jpg", true}, {"with-profile.tif", true}, {"without-profile.jpg", false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString file = dir.File(QLatin1String(c.name));
    QStringList make{source, QStringLiteral("-profile"), srgb, QStringLiteral("-profile"), cmykIcc};
    if (!c.profile) make << QStringLiteral("+profile") << QStringLiteral("*");
    ASSERT_EQ(Magick(make << file), 0);
    ASSERT_TRUE(LoadImageFile(bitmap, file, true));
    ASSERT_TRUE(IsCmykPicture(bitmap.Dib())) << "decoded as its inks";
    EXPECT_EQ(FreeImage_GetICCProfile(bitmap.Dib())->size > 0, c.profile);
    double shown[3], magick[3];
    PaintedMean(bitmap, shown);
    QStringList convert;
    if (!c.profile) convert << QStringLiteral("-profile") << cmykIcc;
    convert << QStringLiteral("-profile") << srgb;
    ASSERT_TRUE(testimg::MagickMeanRgb(file, convert, magick));
    ExpectNear(shown, magick, 3.0);
  }
}

TEST_F(CmykColourTest, AGreyPictureIsShownThroughItsGreyProfile) {
  const QString file = dir.File("grey.jpg");
  const QString grey = GhostscriptIcc + QStringLiteral("default_gray.icc");
  ASSERT_EQ(Magick({source, "-colorspace", "Gray", "-level", "10%,70%", "-profile", grey, file}), 0);
  ASSERT_TRUE(LoadImageFile(bitmap, file, true));
  ASSERT_EQ(FreeImage_GetColorType(bitmap.Dib()), FIC_MINISBLACK);
  double shown[3], magick[3];
  PaintedMean(bitmap, shown);
  ASSERT_TRUE(testimg::MagickMeanRgb(file, {"-profile", GhostscriptIcc + "srgb.icc"}, magick));
  ExpectNear(shown, magick, 3.0);
  EXPECT_GT(colour.BuildCount(), 0);
}

// Tone and grey-scale need red, green and blue; a save into PNG writes sRGB
// and into TIFF keeps the inks, as independent readers see it; rescaling
// keeps a CMYK picture CMYK, with or without a profile of its own.
TEST_F(CmykColourTest, CommandsAndSavesNeverTakeInksForRed) {
  const QString file = dir.File("inks.jpg");
  ASSERT_EQ(Magick({source, "-profile", GhostscriptIcc + "srgb.icc", "-profile", GhostscriptIcc + "default_cmyk.icc",
                    "+profile", "*", file}),
            0);
  ASSERT_TRUE(LoadImageFile(bitmap, file, true));
  ASSERT_TRUE(IsCmykPicture(bitmap.Dib()));
  double shown[3];
  PaintedMean(bitmap, shown);

  TFreeBitmap rgb(CmykToSrgb(bitmap.Dib()));
  ASSERT_TRUE(rgb.IsValid());
  EXPECT_EQ(rgb.BPP(), 24u);
  EXPECT_FALSE(IsCmykPicture(rgb.Dib()));
  double converted[3];
  PaintedMean(rgb, converted);
  ExpectNear(converted, shown, 1.0);

  FIBITMAP* dib = FreeImage_Clone(bitmap.Dib());
  ASSERT_TRUE(RescalePicture(dib, 48, 32, 0));
  TFreeBitmap rescaled(dib);
  EXPECT_TRUE(IsCmykPicture(rescaled.Dib())) << "rescaling keeps the inks and says so";

  const QString png = dir.File("saved.png");
  ASSERT_TRUE(SavePicture(bitmap.Dib(), png.toStdString()).Ok());
  double written[3];
  ASSERT_TRUE(testimg::MagickMeanRgb(png, {}, written));
  ExpectNear(written, shown, 2.0);
  const QString tiff = dir.File("saved.tif");
  ASSERT_TRUE(SavePicture(bitmap.Dib(), tiff.toStdString()).Ok());
  QProcess identify;
  identify.start(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%[colorspace]"), tiff});
  ASSERT_TRUE(identify.waitForFinished(60000));
  EXPECT_EQ(identify.readAllStandardOutput().trimmed(), QByteArray("CMYK"));
}

// Through the window: a tone step and grey-scale on a CMYK photo work on its
// sRGB colours, never on its inks taken for red, green and blue.
class CmykWindowTest : public TfmainFixture {};

TEST_F(CmykWindowTest, ToneAndGreyScaleWorkOnTheColoursTheInksMake) {
  const QString file = dir.File("inks.jpg");
  // An even warm orange, in inks of a press without a profile of its own.
  ASSERT_EQ(QProcess::execute(QStringLiteral("convert"),
                              {"-size", "32x24", "xc:#e08020", "-profile", GhostscriptIcc + "srgb.icc", "-profile",
                               GhostscriptIcc + "default_cmyk.icc", "+profile", "*", file}),
            0);
  Open(file);
  ASSERT_TRUE(IsCmykPicture(window->Bitmap().Dib()));
  TFreeBitmap srgb(CmykToSrgb(window->Bitmap().Dib()));
  RGBQUAD want{};
  FreeImage_GetPixelColor(srgb.Dib(), 10, 10, &want);

  Run("AcContrastIncrease");
  Run("AcContrastOriginal");  // back to neutral: the picture is the file's again
  ASSERT_TRUE(IsCmykPicture(window->Bitmap().Dib())) << "a neutral tone leaves the inks";
  Run("AcBrightnessIncrease");
  ASSERT_FALSE(IsCmykPicture(window->Bitmap().Dib()));
  RGBQUAD got{};
  FreeImage_GetPixelColor(window->Bitmap().Dib(), 10, 10, &got);
  EXPECT_GE(got.rgbRed, want.rgbRed);
  EXPECT_GT(got.rgbRed, got.rgbBlue + 100) << "still orange, brighter";

  Run("AcBrightnessOriginal");
  Run("acConvertToGrayScale");
  ASSERT_EQ(window->Bitmap().BPP(), 8u);
  BYTE grey = 0;
  FreeImage_GetPixelIndex(window->Bitmap().Dib(), 10, 10, &grey);
  const double luma = 0.2126 * want.rgbRed + 0.7152 * want.rgbGreen + 0.0722 * want.rgbBlue;
  EXPECT_NEAR(grey, luma, 12.0) << "the grey of the orange, not of its inks";
}

}  // namespace

// Rotating a CMYK photo and saving it after a resize write files that hold
// what the window shows; the check of the new file expects what a CMYK
// picture becomes in each format, so no write is refused for it.
TEST_F(CmykWindowTest, RotateAndSaveOfACmykPhotoAreWrittenAndChecked) {
  for (const char* name : {"inks.jpg", "inks.tif"}) {
    SCOPED_TRACE(name);
    const QString file = dir.File(QLatin1String(name));
    // 30 x 22: no whole number of blocks, so a JPEG turn is re-encoded.
    ASSERT_EQ(QProcess::execute(QStringLiteral("convert"),
                                {"-size", "30x22", "gradient:#e08020-#2040c0", "-profile", GhostscriptIcc + "srgb.icc",
                                 "-profile", GhostscriptIcc + "default_cmyk.icc", file}),
              0);
    Open(file);
    ASSERT_TRUE(IsCmykPicture(window->Bitmap().Dib()));
    Run("AcRotateRight");
    EXPECT_FALSE(window->Message().startsWith(QStringLiteral("Nothing was written"))) << window->Message().toStdString();
    TFreeBitmap turned;
    ASSERT_TRUE(LoadImageFile(turned, file, true));
    EXPECT_EQ(turned.Width(), 22u);
    EXPECT_EQ(turned.Height(), 30u);

    Run("acResizeTo720");
    Run("acSave");
    EXPECT_EQ(window->Message(), QStringLiteral("Saved"));
    TFreeBitmap saved;
    ASSERT_TRUE(LoadImageFile(saved, file, true));
    EXPECT_EQ(saved.Height(), 720u);
    EXPECT_EQ(saved.Width(), 528u);
  }
}
