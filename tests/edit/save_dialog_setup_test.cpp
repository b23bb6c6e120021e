// What Save as and the favicon put into the save dialog: the filter built
// row by row from the format table and the row preselected for a file.
#include "edit/save_dialog_setup.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

TEST(SaveAsSetup, BuildsOneRowPerFormatInTableOrder) {
  const TSaveAsSetup setup = SaveAsSetup(QStringLiteral("/photos/IMG_0042.JPG"), 1);
  const QStringList parts = setup.Filter.split(u'|');
  ASSERT_EQ(parts.size(), 72);
  EXPECT_EQ(parts[0], QStringLiteral("BMP - Windows or OS/2 Bitmap File (*.bmp)"));
  EXPECT_EQ(parts[1], QStringLiteral("*.bmp"));
  EXPECT_EQ(parts[24], QStringLiteral("JPEG - Independent JPEG Group (*.jpg;*.jif;*.jpeg;*.jpe)"));
  EXPECT_EQ(parts[25], QStringLiteral("*.jpg;*.jif;*.jpeg;*.jpe"));
  EXPECT_EQ(parts[70], QStringLiteral("XBM - X11 Bitmap Format (*.xbm)"));
  EXPECT_FALSE(setup.Filter.startsWith(u'|'));
  EXPECT_EQ(setup.FilterIndex, 13);
  EXPECT_EQ(setup.FileName, QStringLiteral("IMG_0042.JPG"));
  EXPECT_EQ(setup.DefaultExt, QStringLiteral("jpg"));
}

TEST(SaveAsSetup, PreselectsTheLastRowWithTheExtensionOrKeepsThePreviousOne) {
  EXPECT_EQ(SaveAsSetup(QStringLiteral("/scans/page.tif"), 1).FilterIndex, 33);
  EXPECT_EQ(SaveAsSetup(QStringLiteral("/scans/page.tiff"), 1).FilterIndex, 33);
  // PBM and PBMRAW share .pbm: the later row wins.
  EXPECT_EQ(SaveAsSetup(QStringLiteral("/scans/page.pbm"), 1).FilterIndex, 18);
  EXPECT_EQ(SaveAsSetup(QStringLiteral("/a.b/page.LBM"), 1).FilterIndex, 9);
  EXPECT_EQ(SaveAsSetup(QStringLiteral("/scans/page.xyz"), 25).FilterIndex, 25);
  const TSaveAsSetup bare = SaveAsSetup(QStringLiteral("/scans.jpg/README"), 7);
  EXPECT_EQ(bare.FilterIndex, 7);
  EXPECT_EQ(bare.DefaultExt, QString());
  EXPECT_EQ(bare.FileName, QStringLiteral("README"));
}

TEST(FaviconSetup, OneRowInThePicturesFolder) {
  const TFaviconSetup setup = FaviconSetup(QStringLiteral("/home/jo/site/logo.png"));
  EXPECT_EQ(setup.Filter, QStringLiteral("Favicon file | *.ico"));
  EXPECT_EQ(setup.InitialDir, QStringLiteral("/home/jo/site"));
  EXPECT_EQ(setup.FileName, QStringLiteral("favicon.ico"));
  EXPECT_EQ(setup.DefaultExt, QStringLiteral("ico"));
  EXPECT_EQ(FaviconSetup(QStringLiteral("/logo.png")).InitialDir, QStringLiteral("/"));
}

}  // namespace
