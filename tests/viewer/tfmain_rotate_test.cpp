// Rotate and flip: the file on disk, decoded with its new orientation
// applied, is what the window shows afterwards; a command that cannot
// complete leaves the file and the picture as they were. The cases on the
// picture and the file alone run the document's command over the worker.
#include "document_fixture.h"
#include "tfmain_fixture.h"

#include "edit/exif/exif_data.h"
#include "edit/lossless_jpeg.h"
#include "edit_test_support.h"
#include "support/scratch_mount.h"

#include <QTest>

#include <cstdio>
#include <cstring>

namespace {

const char* const Commands[] = {"AcRotateLeft", "AcRotateRight", "AcFlipHorizontal", "AcFlipVertical"};
constexpr TPictureTransform CommandTransforms[] = {ptRotate270, ptRotate90, ptFlipHorizontal, ptFlipVertical};

// A JPEG of the test pattern at path, stored as given, with an Exif block
// holding only this orientation (none for 0).
std::string WriteJpeg(const std::string& path, int orientation, int width = 64, int height = 48) {
  TBytes jpeg = EncodeWithFreeImage(Pattern(width, height).get(), FIF_JPEG, JPEG_QUALITYSUPERB);
  if (orientation) {
    TExifData exif;
    exif.General().SetOrientation(TTiffOrientation(orientation));
    jpeg = exif.SaveToBytes(jpeg);
  }
  WriteFile(path, jpeg);
  return path;
}

class RotateTest : public TfmainFixture {
protected:
  void SetUp() override {
    MessageBoxHooks().error = [this](const QString& text, const QString&) { errors << text; };
  }
  std::string Path(const QString& name) { return dir.File(name).toStdString(); }
  std::string Jpeg(const QString& name, int orientation, int width = 64, int height = 48) {
    return WriteJpeg(Path(name), orientation, width, height);
  }
  void Reopen(const std::string& path, bool exifRotation) {
    state.Settings.ExifRotation = exifRotation;
    window->LoadImage(QString::fromStdString(path), true, true);
  }
  FIBITMAP* Shown() const { return window->Bitmap().Dib(); }
  QStringList errors;
};

// The same over the document alone.
class RotateDocumentTest : public DocumentFixture {
protected:
  std::string Path(const QString& name) { return dir.File(name).toStdString(); }
  std::string Jpeg(const QString& name, int orientation, int width = 64, int height = 48) {
    return WriteJpeg(Path(name), orientation, width, height);
  }
  void Open(const std::string& path) { DocumentFixture::Open(QString::fromStdString(path)); }
  void Reopen(const std::string& path, bool rotation) {
    exifRotation = rotation;
    Open(path);
  }
  FIBITMAP* Shown() const { return Picture(); }
};

TEST_F(RotateTest, EveryCommandWritesWhatTheWindowShowsForEveryOrientationAndPath) {
  Open(QString::fromStdString(Jpeg(QStringLiteral("first.jpg"), 0)));
  for (int orientation = 1; orientation <= 8; ++orientation)
    for (bool exifRotation : {true, false})
      for (bool edited : {false, true})
        for (int c = 0; c < 4; ++c) {
          const std::string path = Jpeg(QStringLiteral("photo.jpg"), orientation);
          const TBytes original = ReadFile(path);
          Reopen(path, exifRotation);
          window->bWorkingImageEdited = edited;
          const QString caption = window->windowTitle();
          Run(Commands[c]);
          const TBytes written = ReadFile(path);
          const std::string where = "orientation " + std::to_string(orientation) + (exifRotation ? " rotated" : "") +
                                    (edited ? " edited " : " ") + Commands[c];
          // Rotations leave orientation 1, flips none: decoding with the
          // orientation applied is decoding the stored pixels.
          EXPECT_EQ(ExifOrientation(written), c < 2 ? 1 : 0) << where;
          EXPECT_LT(MeanDifference(DecodeBytes(written, JPEG_EXIFROTATE).get(), Shown()), edited ? 4.0 : 1.5) << where;
          EXPECT_EQ(window->windowTitle(), caption) << where;
          EXPECT_FALSE(window->bWorkingImageEdited) << where;
          if (!edited) {
            // The one transform from the stored blocks to the new picture.
            const TPictureTransform stored = exifRotation ? ExifRotationTransform(orientation) : ptIdentity;
            TLosslessJpeg expected;
            ASSERT_TRUE(expected.Transform(original, Compose(stored, CommandTransforms[c])));
            EXPECT_EQ(ScanData(written), ScanData(TBytes(expected.Bytes().begin(), expected.Bytes().end()))) << where;
          }
        }
  EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
  EXPECT_EQ(window->Message(), QString());
}

TEST_F(RotateTest, OrientationSixIsTurnedFromWhatTheViewerShows) {
  // Stored sideways with orientation 6: upright when the setting applies it.
  const std::string path = Jpeg(QStringLiteral("portrait.jpg"), 6);
  const TDib upright = DecodeFile(path, JPEG_EXIFROTATE);
  Open(QString::fromStdString(path));
  ASSERT_EQ(window->Bitmap().Width(), 48u);
  Run("AcRotateRight");
  EXPECT_LT(MeanDifference(DecodeFile(path, JPEG_EXIFROTATE).get(), Transformed(upright.get(), ptRotate90).get()), 1.5);
  EXPECT_EQ(window->ResInfoItem()->text(), QStringLiteral("Original: 48x64"));  // the size as loaded

  // Without the setting the file shows sideways; turning it right makes it
  // upright, for the viewer and every other program.
  const std::string again = Jpeg(QStringLiteral("again.jpg"), 6);
  Reopen(again, false);
  ASSERT_EQ(window->Bitmap().Width(), 64u);
  Run("AcRotateRight");
  EXPECT_EQ(ExifOrientation(ReadFile(again)), 1);
  EXPECT_LT(MeanDifference(DecodeFile(again).get(), upright.get()), 1.5);
}

TEST_F(RotateDocumentTest, AFlipRemovesTheExifSegmentThatHeldOnlyTheOrientation) {
  Open(Jpeg(QStringLiteral("a.jpg"), 3));
  for (bool edited : {false, true}) {
    const std::string path = Jpeg(QStringLiteral("flip.jpg"), 3);
    Reopen(path, true);
    document.bWorkingImageEdited = edited;
    Orient(ocFlipVertical);
    EXPECT_FALSE(HasSegment(ReadFile(path), 0xE1, std::string("Exif\0\0", 6))) << edited;
  }
}

TEST_F(RotateDocumentTest, OtherFormatsAndDepthsAreTurnedWithoutAnErrorBox) {
  // A PNG carries no EXIF block here: the rotation is complete without one.
  const QString png = dir.File(QStringLiteral("icon.png"));
  testimg::Save(FreeImage_Clone(Pattern(20, 10).get()), FIF_PNG, png);
  DocumentFixture::Open(png);
  Orient(ocRotateLeft);
  TDib written = DecodeFile(png.toStdString());
  EXPECT_EQ(FreeImage_GetWidth(written.get()), 10u);
  EXPECT_EQ(MeanDifference(written.get(), Shown()), 0.0);

  // 16-bit grey stays 16-bit grey, turned, in the window and in the file.
  TDib grey(FreeImage_ConvertToType(Pattern(20, 10).get(), FIT_UINT16));
  const std::string tif = Path(QStringLiteral("scan.tif"));
  ASSERT_TRUE(FreeImage_Save(FIF_TIFF, grey.get(), tif.c_str(), 0));
  Reopen(tif, true);
  ASSERT_EQ(FreeImage_GetImageType(Shown()), FIT_UINT16);
  Orient(ocRotateRight);
  written = DecodeFile(tif);
  ASSERT_EQ(FreeImage_GetImageType(written.get()), FIT_UINT16);
  EXPECT_EQ(FreeImage_GetWidth(written.get()), 10u);
  EXPECT_EQ(FreeImage_GetWidth(Shown()), 10u);
  EXPECT_EQ(std::memcmp(FreeImage_GetBits(written.get()), FreeImage_GetBits(Shown()),
                        FreeImage_GetPitch(Shown()) * FreeImage_GetHeight(Shown())),
            0);
  EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
  EXPECT_EQ(shown, QString());
}

TEST_F(RotateDocumentTest, AnEditedPictureIsWrittenWithItsEdit) {
  const std::string path = Jpeg(QStringLiteral("gamma.jpg"), 1);
  const TDib plain = DecodeFile(path);
  Open(path);
  // What a gamma step does to the working image.
  FreeImage_AdjustGamma(Picture(), 1.5);
  document.bWorkingImageEdited = true;
  Orient(ocRotateRight);
  const TDib written = DecodeFile(path);
  EXPECT_LT(MeanDifference(written.get(), Shown()), 4.0);
  EXPECT_GT(MeanDifference(written.get(), Transformed(plain.get(), ptRotate90).get()), 10.0);
}

TEST_F(RotateTest, FourTurnsByHotkeyGiveBackTheCompressedData) {
  const std::string path = Jpeg(QStringLiteral("turns.jpg"), 1, 96, 64);
  const TBytes original = ReadFile(path);
  Open(QString::fromStdString(path));
  for (int i = 0; i < 4; ++i) QTest::keyClick(window.get(), Qt::Key_F7);
  EXPECT_EQ(ScanData(ReadFile(path)), ScanData(original));
  EXPECT_EQ(window->Bitmap().Width(), 96u);
}

TEST_F(RotateTest, ACommandThatCannotCompleteChangesNothing) {
  // FreeImage cannot turn 4-bit pictures: no pixels, no orientation written.
  TDib four(FreeImage_ConvertTo4Bits(Pattern(20, 10).get()));
  const std::string bmp = Path(QStringLiteral("four.bmp"));
  ASSERT_TRUE(FreeImage_Save(FIF_BMP, four.get(), bmp.c_str(), 0));
  const TBytes bmpBytes = ReadFile(bmp);
  Open(QString::fromStdString(bmp));
  Run("AcRotateRight");
  EXPECT_EQ(window->Message(), QStringLiteral("The picture could not be rotated"));
  EXPECT_EQ(ReadFile(bmp), bmpBytes);
  EXPECT_EQ(window->Bitmap().Width(), 20u);

  // The file went away after it was loaded: the error box says so.
  const std::string gone = Jpeg(QStringLiteral("gone.jpg"), 6);
  Reopen(gone, true);
  ASSERT_EQ(std::remove(gone.c_str()), 0);
  Run("AcRotateLeft");
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Cannot open file"))) << errors[0].toStdString();
  EXPECT_EQ(window->Bitmap().Width(), 48u);

  TScratchMount disk;
  SKIP_UNLESS_MOUNTED(disk);
  const std::string locked = disk.File(QStringLiteral("locked.jpg")).toStdString();
  WriteFile(locked, ReadFile(Jpeg(QStringLiteral("locked.jpg"), 1)));
  const TBytes lockedBytes = ReadFile(locked);
  ASSERT_TRUE(disk.MakeReadOnly());
  Reopen(locked, true);
  const TDib before(FreeImage_Clone(Shown()));
  for (const char* command : {"AcRotateRight", "AcFlipHorizontal"}) {
    window->FlashMessage(QString(), 0);
    Run(command);
    EXPECT_EQ(window->Message(), QStringLiteral("Nothing was written: the folder is read-only")) << command;
    EXPECT_EQ(MeanDifference(Shown(), before.get()), 0.0) << command;
  }
  EXPECT_EQ(ReadFile(locked), lockedBytes);

  // A full disk, with 8 KB left: too little for the turned file either way.
  TScratchMount full(QStringLiteral("256k"));
  ASSERT_TRUE(full.Mounted());
  const std::string big = full.File(QStringLiteral("big.jpg")).toStdString();
  WriteFile(big, ReadFile(Jpeg(QStringLiteral("big.jpg"), 1, 512, 384)));
  const TBytes bigBytes = ReadFile(big);
  const size_t pages = (bigBytes.size() + 4095) / 4096;
  WriteFile(full.File(QStringLiteral("filler")).toStdString(), TBytes((64 - pages - 2) * 4096, 1));
  Reopen(big, true);
  for (bool edited : {false, true}) {
    window->FlashMessage(QString(), 0);
    window->bWorkingImageEdited = edited;
    Run("AcRotateLeft");
    EXPECT_EQ(window->Message(), QStringLiteral("Nothing was written: the disk is full")) << edited;
  }
  EXPECT_EQ(ReadFile(big), bigBytes);
  EXPECT_EQ(full.Entries(), (QStringList{QStringLiteral("big.jpg"), QStringLiteral("filler")}));
  EXPECT_EQ(window->Bitmap().Width(), 512u);
}

}  // namespace
