#include "folder/formats.h"
#include "folder/file_path.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(SupportedFormats, TableShape) {
  ASSERT_EQ(SupportedFormats.size(), 36u);
  QSet<int> ids;
  for (size_t i = 0; i < SupportedFormats.size(); ++i) {
    const ftype& row = SupportedFormats[i];
    ids.insert(row.id);
    if (i > 0) {
      EXPECT_LT(SupportedFormats[i - 1].name, row.name) << "rows are ordered by name";
    }
    EXPECT_FALSE(row.desc.isEmpty());
    const QString ext(row.Ext);
    EXPECT_EQ(ext, ext.toUpper());
    EXPECT_FALSE(ext.contains('.') || ext.contains("  ") || ext.startsWith(' ') || ext.endsWith(' '));
  }
  // Every FreeImage code from 0 to 36 but XPM (23), once each.
  EXPECT_EQ(ids.size(), 36);
  EXPECT_FALSE(ids.contains(23));
  EXPECT_TRUE(ids.contains(0) && ids.contains(36));

  const ftype& jpeg = SupportedFormats[12];
  EXPECT_EQ(jpeg.id, 2);
  EXPECT_EQ(jpeg.name, QLatin1String("JPEG"));
  EXPECT_EQ(jpeg.desc, QLatin1String("Independent JPEG Group"));
  EXPECT_EQ(jpeg.Ext, QLatin1String("JPG JIF JPEG JPE"));
  EXPECT_EQ(SupportedFormats[0].desc, QLatin1String("Windows or OS/2 Bitmap File"));
  EXPECT_EQ(SupportedFormats[35].name, QLatin1String("XBM"));
}

TEST(SupportedFormats, ExtensionTest) {
  for (const char* ext : {".JPG", ".jpeg", ".Jpe", ".jif", ".pbm", ".PGM", ".tiff", ".TARGA", ".g3", ".wdp", ".pic"})
    EXPECT_TRUE(IsSupportedExtension(ext)) << ext;
  for (const char* ext : {"", ".", "jpg", ".bak", ".xpm", ".jp", ".jpgg", ".jpg ", ". jpg", ".pct pict"})
    EXPECT_FALSE(IsSupportedExtension(ext)) << ext;
  // The first character is dropped whatever it is.
  EXPECT_TRUE(IsSupportedExtension("xpng"));
  // Only A to Z are lowered: the Kelvin sign (lowered to 'k' by Unicode rules)
  // and a fullwidth G do not make a supported extension.
  EXPECT_FALSE(IsSupportedExtension(QString::fromUtf8(".\u212AOA")));
  EXPECT_FALSE(IsSupportedExtension(QString::fromUtf8(".JP\uFF27")));
}

TEST(SupportedFormats, FindFormatIsExactByName) {
  EXPECT_EQ(FindFormat("PBMRAW").id, 8);
  EXPECT_EQ(FindFormat("TIFF").Ext, QLatin1String("TIF TIFF"));
  for (const char* unknown : {"jpeg", "XPM", "", "JPEG "}) {
    const ftype row = FindFormat(unknown);
    EXPECT_EQ(row.id, 0);
    EXPECT_TRUE(row.name.isEmpty() && row.desc.isEmpty() && row.Ext.isEmpty()) << unknown;
  }
}

TEST(FilePath, Parts) {
  EXPECT_EQ(ExtractFilePath("/a/b.c/photo.jpg"), "/a/b.c/");
  EXPECT_EQ(ExtractFilePath("photo.jpg"), "");
  EXPECT_EQ(ExtractFilePath("/photo.jpg"), "/");
  EXPECT_EQ(ExtractFileName("/a/photo.jpg"), "photo.jpg");
  EXPECT_EQ(ExtractFileName("/a/"), "");
  EXPECT_EQ(ExtractFileExt("/a/photo.jpg.bak"), ".bak");
  EXPECT_EQ(ExtractFileExt("/a/photo."), ".");
  EXPECT_EQ(ExtractFileExt("/a.png/photo"), "");
  EXPECT_EQ(ExtractFileExt("/a/.png"), ".png");
  EXPECT_TRUE(SameTextAscii("Photo.JPG", "photo.jpg"));
  EXPECT_FALSE(SameTextAscii(QString::fromUtf8("Ä.jpg"), QString::fromUtf8("ä.jpg")));
  EXPECT_FALSE(SameTextAscii("photo.jpg", "photo.jpgx"));
}
