// CMYK and grey pictures reach the screen through their colour profiles, as
// ImageMagick converts them; a CMYK working image stays CMYK, and each
// command that needs red, green and blue, and each save into a format
// without CMYK, gets sRGB through the profile.
#include "document_fixture.h"
#include "tfmain_fixture.h"

#include "edit/cmyk_picture.h"
#include "edit/rescale_picture.h"
#include "edit/save_picture.h"
#include "platform/modal_dialog.h"
#include "viewer/image_loader.h"
#include "viewer/picture_painter.h"
#include "viewer/screen_colour.h"

#include "support/images.h"
#include "support/temp_folder.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>

namespace {

const QString GhostscriptIcc = QStringLiteral("/usr/share/color/icc/ghostscript/");

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Profile(const TFreeBitmap& picture) {
  const FIICCPROFILE* icc = FreeImage_GetICCProfile(picture.Dib());
  return icc->size > 0 ? QByteArray(static_cast<const char*>(icc->data), int(icc->size)) : QByteArray();
}

void ExpectNear(const double got[3], const double want[3], double levels) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], levels) << "channel " << i;
}

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
  TempFolder dir;
  QString source;
  TFreeBitmap bitmap;
  TScreenColour colour;
};

// With its own profile, and without one (then a standard press profile,
// the one found at run time), in JPEG, TIFF and PSD; a TIFF with an EXIF
// directory (whose profile FreeImage alone reads from freed memory), a tiled
// one (whose inks FreeImage alone swaps) and a JPEG turned upright by its
// orientation (FreeImage's turn drops its profile and inks) among them.
TEST_F(CmykColourTest, CmykFilesAreShownThroughTheirProfileAsImageMagickConvertsThem) {
  const QString srgb = GhostscriptIcc + QStringLiteral("srgb.icc");
  const QString cmykIcc = GhostscriptIcc + QStringLiteral("default_cmyk.icc");
  struct TCase {
    const char* name;
    bool profile;
    QStringList options = {};  // of the conversion that makes the file
    const char* exiftool = nullptr;
  } cases[] = {{"with-profile.jpg", true},
               {"with-profile.tif", true},
               {"without-profile.jpg", false},
               {"exif.tif", true, {}, "-ISO=400"},
               {"tiled.tif", true, {"-define", "tiff:tile-geometry=16x16"}},
               {"layers.psd", true},
               {"upright.jpg", true, {}, "-Orientation#=6"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString file = dir.File(QLatin1String(c.name));
    QStringList make{source, QStringLiteral("-profile"), srgb, QStringLiteral("-profile"), cmykIcc};
    if (!c.profile) make << QStringLiteral("+profile") << QStringLiteral("*");
    ASSERT_EQ(Magick(make << c.options << file), 0);
    if (c.exiftool) {
      ASSERT_EQ(QProcess::execute(QStringLiteral("exiftool"), {"-q", "-overwrite_original", c.exiftool, file}), 0);
    }
    ASSERT_TRUE(LoadImageFile(bitmap, file, true));
    ASSERT_TRUE(IsCmykPicture(bitmap.Dib())) << "decoded as its inks";
    EXPECT_EQ(FreeImage_GetICCProfile(bitmap.Dib())->size > 0, c.profile);
    if (c.profile) {
      EXPECT_EQ(Profile(bitmap), FileBytes(cmykIcc)) << "the file's own profile";
    }
    double shown[3], magick[3];
    PaintedMean(bitmap, shown);
    QStringList convert;
    if (!c.profile) convert << QStringLiteral("-profile") << cmykIcc;
    convert << QStringLiteral("-profile") << srgb;
    // ImageMagick's first picture of a Photoshop file is its composite.
    ASSERT_TRUE(testimg::MagickMeanRgb(file + (file.endsWith(QLatin1String(".psd")) ? "[0]" : ""), convert, magick));
    ExpectNear(shown, magick, 3.0);
  }
}

// An RGB TIFF with an EXIF directory: FreeImage alone copies its profile
// from memory libtiff has freed by then, whose first bytes are the heap's.
TEST_F(CmykColourTest, ATiffWithExifIsShownThroughItsOwnProfile) {
  // Adobe RGB's primaries, linear.
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.0);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE wide = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  ASSERT_TRUE(wide);
  const QString profile = dir.File(QStringLiteral("wide.icc"));
  ASSERT_TRUE(cmsSaveProfileToFile(wide, QFile::encodeName(profile).constData()));
  cmsCloseProfile(wide);

  const QString file = dir.File(QStringLiteral("wide.tif"));
  const QString srgb = GhostscriptIcc + QStringLiteral("srgb.icc");
  ASSERT_EQ(Magick({source, "-profile", srgb, "-profile", profile, file}), 0);
  ASSERT_EQ(QProcess::execute(QStringLiteral("exiftool"), {"-q", "-overwrite_original", "-ISO=400", file}), 0);
  ASSERT_TRUE(LoadImageFile(bitmap, file, true));
  EXPECT_EQ(Profile(bitmap), FileBytes(profile));
  double shown[3], magick[3];
  PaintedMean(bitmap, shown);
  ASSERT_TRUE(testimg::MagickMeanRgb(file, {"-profile", srgb}, magick));
  ExpectNear(shown, magick, 3.0);
  double unmanaged[3];
  ASSERT_TRUE(testimg::MagickMeanRgb(file, {}, unmanaged));
  EXPECT_GT(
      std::abs(unmanaged[0] - magick[0]) + std::abs(unmanaged[1] - magick[1]) + std::abs(unmanaged[2] - magick[2]),
      30.0)
      << "the profile must change the colours for the test to tell";
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

// Through the window: rotate, flip and the saves of a CMYK photo.
class CmykWindowTest : public TfmainFixture {
protected:
  void TearDown() override {
    ModalDialogHook() = nullptr;
    TfmainFixture::TearDown();
  }
};

// A tone step and grey-scale on a CMYK photo work on its sRGB colours, never
// on its inks taken for red, green and blue.
using CmykDocumentTest = DocumentFixture;

TEST_F(CmykDocumentTest, ToneAndGreyScaleWorkOnTheColoursTheInksMake) {
  const QString file = dir.File("inks.jpg");
  // An even warm orange, in inks of a press without a profile of its own.
  ASSERT_EQ(QProcess::execute(QStringLiteral("convert"),
                              {"-size", "32x24", "xc:#e08020", "-profile", GhostscriptIcc + "srgb.icc", "-profile",
                               GhostscriptIcc + "default_cmyk.icc", "+profile", "*", file}),
            0);
  Open(file);
  ASSERT_TRUE(IsCmykPicture(Picture()));
  TFreeBitmap srgb(CmykToSrgb(Picture()));
  RGBQUAD want{};
  FreeImage_GetPixelColor(srgb.Dib(), 10, 10, &want);

  ToneStep(tvContrast, tdUp);
  ToneOriginal(tvContrast);  // back to neutral: the picture is the file's again
  ASSERT_TRUE(IsCmykPicture(Picture())) << "a neutral tone leaves the inks";
  ToneStep(tvBrightness, tdUp);
  ASSERT_FALSE(IsCmykPicture(Picture()));
  RGBQUAD got{};
  FreeImage_GetPixelColor(Picture(), 10, 10, &got);
  EXPECT_GE(got.rgbRed, want.rgbRed);
  EXPECT_GT(got.rgbRed, got.rgbBlue + 100) << "still orange, brighter";

  ToneOriginal(tvBrightness);
  Show(document.ConvertToGrayScale());
  ASSERT_EQ(document.Bitmap.BPP(), 8u);
  BYTE grey = 0;
  FreeImage_GetPixelIndex(Picture(), 10, 10, &grey);
  const double luma = 0.2126 * want.rgbRed + 0.7152 * want.rgbGreen + 0.0722 * want.rgbBlue;
  EXPECT_NEAR(grey, luma, 12.0) << "the grey of the orange, not of its inks";
}

// What ImageMagick reads in a file: its colour space, depth and profile.
QString Identify(const QString& path) {
  QProcess identify;
  identify.start(QStringLiteral("identify"),
                 {QStringLiteral("-format"), QStringLiteral("%[colorspace] %z-bit %[profile:icc]"), path});
  identify.waitForFinished(60000);
  return QString::fromLatin1(identify.readAllStandardOutput()).trimmed();
}

// Two EXIF tags as exiftool reads them (a Make would have FreeImage take
// a 16-bit TIFF for a camera's raw file).
QString Tags(const QString& path) {
  QProcess exiftool;
  exiftool.start(QStringLiteral("exiftool"),
                 {QStringLiteral("-s3"), QStringLiteral("-ISO"), QStringLiteral("-Artist"), path});
  exiftool.waitForFinished(60000);
  return QString::fromLatin1(exiftool.readAllStandardOutput()).simplified();
}

// Rotating and flipping a CMYK photo, saving it after a resize and saving it
// as another file write files that hold what the window shows, as
// ImageMagick and exiftool read them: the inks, depth, profile and tags of
// the file it replaces, or sRGB in a format without CMYK; once a tone step
// has made it sRGB, it is saved as sRGB. The check of each new file expects
// what the picture becomes in that format.
TEST_F(CmykWindowTest, RotateFlipAndSavesOfACmykPhotoAreWrittenAndChecked) {
  if (QProcess::execute(QStringLiteral("sh"), {"-c", "exiftool -ver >/dev/null"}) != 0)
    GTEST_SKIP() << "needs exiftool";
  const QString srgb = GhostscriptIcc + QStringLiteral("srgb.icc");
  for (const char* name : {"inks.jpg", "inks.tif"}) {
    SCOPED_TRACE(name);
    const QString file = dir.File(QLatin1String(name));
    const bool jpeg = file.endsWith(QLatin1String(".jpg"));
    // 30 x 22: no whole number of blocks, so a JPEG turn is re-encoded. The
    // gradient is 16 bits an ink in the TIFF.
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("convert"), {"-size", "30x22", "gradient:#e08020-#2040c0", "-profile", srgb,
                                                      "-profile", GhostscriptIcc + "default_cmyk.icc", file}),
        0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("exiftool"),
                                {"-q", "-overwrite_original", "-ISO=400", "-Artist=Jo Doe", file}),
              0);
    const QString read = Identify(file);
    ASSERT_EQ(read, jpeg ? QStringLiteral("CMYK 8-bit Artifex CMYK SWOP Profile")
                         : QStringLiteral("CMYK 16-bit Artifex CMYK SWOP Profile"));
    double colours[3], written[3];
    ASSERT_TRUE(testimg::MagickMeanRgb(file, {"-profile", srgb}, colours));
    Open(file);
    ASSERT_TRUE(IsCmykPicture(window->Bitmap().Dib()));

    unsigned width = 30, height = 22;
    for (const char* command : {"AcRotateRight", "AcFlipHorizontal", "AcRotateLeft", "AcFlipVertical"}) {
      SCOPED_TRACE(command);
      window->FlashMessage(QString(), 0);
      Run(command);
      EXPECT_TRUE(window->Message().isEmpty()) << window->Message().toStdString();
      if (QByteArray(command).startsWith("AcRotate")) std::swap(width, height);
      TFreeBitmap turned;
      ASSERT_TRUE(LoadImageFile(turned, file, true));
      EXPECT_EQ(turned.Width(), width);
      EXPECT_EQ(turned.Height(), height);
      EXPECT_EQ(Identify(file), read);
      EXPECT_EQ(Tags(file), QStringLiteral("400 Jo Doe"));
      // A turn or a mirror leaves the mean colour as it was.
      ASSERT_TRUE(testimg::MagickMeanRgb(file, {"-profile", srgb}, written));
      ExpectNear(written, colours, 2.0);
    }

    // Saved after a resize: the inks at the depth on screen.
    Run("acResizeTo720");
    Run("acSave");
    EXPECT_EQ(window->Message(), QStringLiteral("Saved"));
    TFreeBitmap saved;
    ASSERT_TRUE(LoadImageFile(saved, file, true));
    EXPECT_EQ(saved.Height(), 720u);
    EXPECT_EQ(saved.Width(), 982u);
    EXPECT_EQ(Identify(file), QStringLiteral("CMYK 8-bit Artifex CMYK SWOP Profile"));
    EXPECT_EQ(Tags(file), QStringLiteral("400 Jo Doe"));
    ASSERT_TRUE(testimg::MagickMeanRgb(file, {"-profile", srgb}, written));
    ExpectNear(written, colours, 2.0);

    // Saved as other files: sRGB where the format has no CMYK, the inks in
    // a TIFF.
    for (const char* target : {"copy.png", "copy.tif"}) {
      SCOPED_TRACE(target);
      const QString copy = dir.File(QLatin1String(target));
      ModalDialogHook() = [&copy](QDialog& d) {
        auto& dialog = static_cast<QFileDialog&>(d);
        dialog.selectFile(copy);
        QMetaObject::invokeMethod(&dialog, "accept");
      };
      window->FlashMessage(QString(), 0);
      Run("AcSaveAs");
      EXPECT_TRUE(window->Message().isEmpty()) << window->Message().toStdString();
      const bool png = copy.endsWith(QLatin1String(".png"));
      EXPECT_EQ(Identify(copy),
                png ? QStringLiteral("sRGB 8-bit") : QStringLiteral("CMYK 8-bit Artifex CMYK SWOP Profile"));
      ASSERT_TRUE(testimg::MagickMeanRgb(copy, png ? QStringList() : QStringList{"-profile", srgb}, written));
      ExpectNear(written, colours, 2.0);
      QFile::remove(copy);
    }

    // A tone step works on the colours the inks make: the picture is sRGB
    // now, and is saved as such, without the inks' profile.
    for (int step = 0; step < 3; ++step) Run("AcBrightnessIncrease");
    ASSERT_FALSE(IsCmykPicture(window->Bitmap().Dib()));
    Run("acSave");
    EXPECT_EQ(window->Message(), QStringLiteral("Saved"));
    EXPECT_EQ(Identify(file), QStringLiteral("sRGB 8-bit"));
    EXPECT_EQ(Tags(file), QStringLiteral("400 Jo Doe"));
    ASSERT_TRUE(testimg::MagickMeanRgb(file, {}, written));
    EXPECT_GT(written[0] + written[1] + written[2], colours[0] + colours[1] + colours[2] + 8.0) << "brighter";
  }
}

// Where the format the name asks for has no CMYK, a Save would replace the
// inks with colours: nothing is written, and the message says why.
TEST_F(CmykDocumentTest, ASaveThatWouldLoseTheInksWritesNothing) {
  const QString file = dir.File(QStringLiteral("inks.png"));
  ASSERT_EQ(QProcess::execute(QStringLiteral("convert"),
                              {"-size", "30x22", "xc:#e08020", "-profile", GhostscriptIcc + "srgb.icc", "-profile",
                               GhostscriptIcc + "default_cmyk.icc", "jpeg:" + file}),
            0);
  QFile original(file);
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  const QByteArray before = original.readAll();
  Open(file);
  ASSERT_TRUE(IsCmykPicture(Picture()));
  Show(document.ResizeToHeight(current, 720, FILTER_BOX));
  Save();
  EXPECT_EQ(shown, QStringLiteral("Nothing was written: PNG cannot hold CMYK inks"));
  QFile after(file);
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), before);
}

}  // namespace
