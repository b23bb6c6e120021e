#include "viewer/image_loader.h"

#include "support/images.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class ImageLoaderTest : public ::testing::Test {
protected:
  TempFolder dir;
  TFreeBitmap bitmap;
};

TEST_F(ImageLoaderTest, DeepImagesBecome32BitUnlessFreeImageCannotConvert) {
  const QString tiff48 = dir.File("deep.tif");
  ASSERT_TRUE(testimg::Save(FreeImage_AllocateT(FIT_RGB16, 8, 6, 48), FIF_TIFF, tiff48));
  ASSERT_TRUE(LoadImageFile(bitmap, tiff48, true));
  EXPECT_EQ(bitmap.BPP(), 32u);
  EXPECT_EQ(FreeImage_GetImageType(bitmap.Dib()), FIT_BITMAP);

  const QString float96 = dir.File("float.tif");
  ASSERT_TRUE(testimg::Save(FreeImage_AllocateT(FIT_RGBF, 8, 6, 96), FIF_TIFF, float96));
  ASSERT_TRUE(LoadImageFile(bitmap, float96, true));
  EXPECT_EQ(bitmap.BPP(), 96u);
  EXPECT_EQ(FreeImage_GetImageType(bitmap.Dib()), FIT_RGBF);
}

// A 16-bit-per-channel photo usually carries a wide-gamut profile; the
// conversion to 32 bits must not lose it, or the picture would be shown and
// saved without its colour space.
TEST_F(ImageLoaderTest, TheConversionOfADeepImageKeepsItsColourProfile) {
  FIBITMAP* deep = FreeImage_AllocateT(FIT_RGB16, 8, 6, 48);
  const QByteArray profile(300, '\x5a');
  FreeImage_CreateICCProfile(deep, const_cast<char*>(profile.constData()), long(profile.size()));
  const QString path = dir.File("profiled.tif");
  ASSERT_TRUE(testimg::Save(deep, FIF_TIFF, path));
  ASSERT_TRUE(LoadImageFile(bitmap, path, true));
  ASSERT_EQ(bitmap.BPP(), 32u);
  const FIICCPROFILE* kept = FreeImage_GetICCProfile(bitmap.Dib());
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(QByteArray(static_cast<const char*>(kept->data), kept->size), profile);
}

TEST_F(ImageLoaderTest, ContentDecidesBeforeTheName) {
  const QString png = dir.File("photo.jpg");
  FIBITMAP* dib = FreeImage_Allocate(5, 4, 32);
  ASSERT_TRUE(testimg::Save(dib, FIF_PNG, png));
  EXPECT_EQ(IdentifyReadableFormat(png), FIF_PNG);
  ASSERT_TRUE(LoadImageFile(bitmap, png, true));
  EXPECT_EQ(bitmap.Width(), 5u);
  EXPECT_EQ(bitmap.BPP(), 32u);  // a JPEG decoder would give 24 bits
}

TEST_F(ImageLoaderTest, DamagedFileOfAKnownFormatEmptiesTheImage) {
  ASSERT_TRUE(LoadImageFile(bitmap, QString::fromUtf8(SAMPLE_IMAGE), true));
  ASSERT_TRUE(bitmap.IsValid());
  const QString damaged = dir.Write("a.jpg", QByteArray("\xFF\xD8\xFF\xE0garbage", 11));
  EXPECT_TRUE(LoadImageFile(bitmap, damaged, true));
  EXPECT_FALSE(bitmap.IsValid());
  EXPECT_EQ(WindowCaption(damaged, bitmap.Width(), bitmap.Height()),
            QStringLiteral("a.jpg  (0 x 0) - Velvane Photo Viewer"));
  EXPECT_EQ(ResInfoCaption(bitmap.Width(), bitmap.Height()), QStringLiteral("Original: 0x0"));

  // A missing file whose extension names a readable format fails the same way.
  ASSERT_TRUE(LoadImageFile(bitmap, QString::fromUtf8(SAMPLE_IMAGE), true));
  EXPECT_TRUE(LoadImageFile(bitmap, dir.File("missing.png"), true));
  EXPECT_FALSE(bitmap.IsValid());
}

TEST_F(ImageLoaderTest, UnknownTypeKeepsThePreviousImage) {
  ASSERT_TRUE(LoadImageFile(bitmap, QString::fromUtf8(SAMPLE_IMAGE), true));
  FIBITMAP* before = bitmap.Dib();
  const QString text = dir.Write("notes.txt", "just some words\n");
  EXPECT_FALSE(LoadImageFile(bitmap, text, true));
  EXPECT_EQ(bitmap.Dib(), before);
  EXPECT_EQ(WindowCaption(text, bitmap.Width(), bitmap.Height()),
            QStringLiteral("notes.txt  (1800 x 1200) - Velvane Photo Viewer"));
}

// Each load that brings no picture tells why, for the picture area to say.
TEST_F(ImageLoaderTest, EveryLoadWithoutAPictureSaysWhy) {
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  const auto message = [&client](const QString& path) {
    client.StartLoad(DecoderPath(path), 0);
    client.WaitLoad(-1);
    decoder::TLoadResult result = client.TakeLoad();
    return LoadProblemMessage(path, result.problem);
  };
  EXPECT_EQ(message(dir.File("gone.jpg")), QStringLiteral("Cannot open gone.jpg: the file does not exist"));
  EXPECT_EQ(message(dir.File("gone.xyz")), QStringLiteral("Cannot open gone.xyz: the file does not exist"));
  EXPECT_EQ(message(dir.File("no-folder/a.png")), QStringLiteral("Cannot open a.png: the file does not exist"));
  EXPECT_EQ(message(dir.Write("notes.txt", "just some words\n")),
            QStringLiteral("Cannot open notes.txt: not a picture this viewer can read"));
  EXPECT_EQ(message(dir.Write("a.jpg", QByteArray("\xFF\xD8\xFF\xE0garbage", 11))),
            QStringLiteral("Cannot open a.jpg: the file is damaged"));
  EXPECT_EQ(message(QString::fromUtf8(SAMPLE_IMAGE)), QString());
}

TEST_F(ImageLoaderTest, PathsThatAreNotRegularFilesAreNeverOpened) {
  // A fifo named like an image would block a decoder that opened it.
  const QString fifo = dir.File("pipe.png");
  ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
  ASSERT_TRUE(LoadImageFile(bitmap, QString::fromUtf8(SAMPLE_IMAGE), true));
  EXPECT_TRUE(LoadImageFile(bitmap, fifo, true));
  EXPECT_FALSE(bitmap.IsValid());

  const QString folder = dir.File("folder.jpg");
  ASSERT_TRUE(QDir().mkpath(folder));
  EXPECT_TRUE(LoadImageFile(bitmap, folder, true));
  EXPECT_FALSE(bitmap.IsValid());

  // A folder with no image-like name keeps the previous picture.
  ASSERT_TRUE(LoadImageFile(bitmap, QString::fromUtf8(SAMPLE_IMAGE), true));
  EXPECT_FALSE(LoadImageFile(bitmap, dir.Path(), true));
  EXPECT_TRUE(bitmap.IsValid());
}

TEST_F(ImageLoaderTest, ExifRotationTurnsAPortraitUprightOnlyWhenAskedTo) {
  const QString plain = dir.File("plain.jpg");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(40, 30, 0x336699), FIF_JPEG, plain));
  const QString rotated = dir.Write("rotated.jpg", testimg::WithExifOrientation(testimg::ReadFile(plain), 6));

  ASSERT_TRUE(LoadImageFile(bitmap, rotated, true));
  EXPECT_EQ(bitmap.Width(), 30u);
  EXPECT_EQ(bitmap.Height(), 40u);
  ASSERT_TRUE(LoadImageFile(bitmap, rotated, false));
  EXPECT_EQ(bitmap.Width(), 40u);
  EXPECT_EQ(bitmap.Height(), 30u);
}

TEST(ImageCaptions, UseTheFileNamePartAndTwoSpaces) {
  EXPECT_EQ(WindowCaption(QStringLiteral("/photos/2024/IMG_0042.JPG"), 4000, 3000),
            QStringLiteral("IMG_0042.JPG  (4000 x 3000) - Velvane Photo Viewer"));
  EXPECT_EQ(ResInfoCaption(4000, 3000), QStringLiteral("Original: 4000x3000"));
}

TEST(ImageCaptions, PercentSignsInTheNameStayAsTheyAre) {
  // URL-encoded names carry %2C and the like; none of it is a placeholder.
  EXPECT_EQ(WindowCaption(QStringLiteral("/web/sky%2C1.jpg"), 1800, 1200),
            QStringLiteral("sky%2C1.jpg  (1800 x 1200) - Velvane Photo Viewer"));
  EXPECT_EQ(WindowCaption(QStringLiteral("/web/%1%2%3%4%9%%.png"), 5, 6),
            QStringLiteral("%1%2%3%4%9%%.png  (5 x 6) - Velvane Photo Viewer"));
  EXPECT_EQ(WindowCaption(QStringLiteral("/web/%4"), 0, 0), QStringLiteral("%4  (0 x 0) - Velvane Photo Viewer"));
}

}  // namespace
