// The line-keeping editor of mimeapps.list and the MIME package reader.
#include "platform/mimeapps_list.h"
#include "platform/mime_types.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kGroup = "Default Applications";

TEST(MimeAppsList, DuplicateKeysAndGroupsReadAsKeyFilesDoAndComeBackWhole) {
  const QByteArray original =
      "[Default Applications]\r\n"
      "image/png=a.desktop;\r\n"
      "#image/png=commented.desktop;\n"
      "image/png2=not-this-one.desktop;\n"
      "[Other]\n"
      "image/png=foreign.desktop;\n"
      "[Default Applications]\n"
      "image/png = b.desktop ; c.desktop\n";
  TMimeAppsList list(original);
  // The last line wins, as in GLib's key files; the other group is not read.
  EXPECT_EQ(list.Entries(kGroup, "image/png"), (QList<QByteArray>{"b.desktop", "c.desktop"}));
  const QList<QByteArray> before = list.KeyLines(kGroup, "image/png");
  ASSERT_EQ(before.size(), 2);
  EXPECT_EQ(before[0], "image/png=a.desktop;\r");

  list.ReplaceKey(kGroup, "image/png", {TMimeAppsList::ListLine("image/png", {"mine.desktop"})});
  EXPECT_EQ(list.Bytes(),
            "[Default Applications]\r\n"
            "image/png=mine.desktop;\n"
            "#image/png=commented.desktop;\n"
            "image/png2=not-this-one.desktop;\n"
            "[Other]\n"
            "image/png=foreign.desktop;\n"
            "[Default Applications]\n");
  // Putting the kept lines back (all at the first place) keeps every byte of them.
  list.ReplaceKey(kGroup, "image/png", before);
  EXPECT_EQ(list.KeyLines(kGroup, "image/png"), before);
  EXPECT_EQ(list.Entries(kGroup, "image/png"), (QList<QByteArray>{"b.desktop", "c.desktop"}));
}

TEST(MimeAppsList, AGroupAddedToAFileIsTakenAwayWhole) {
  const QByteArray original = "# only a comment";
  TMimeAppsList list(original);
  EXPECT_FALSE(list.HasGroup(kGroup));
  list.ReplaceKey(kGroup, "image/gif", {"image/gif=v.desktop;"});
  EXPECT_TRUE(list.AddedLineEnd());
  EXPECT_EQ(list.Bytes(), "# only a comment\n[Default Applications]\nimage/gif=v.desktop;\n");
  list.RemoveKey(kGroup, "image/gif");
  EXPECT_TRUE(list.IsGroupEmpty(kGroup));
  EXPECT_TRUE(list.IsLastGroup(kGroup));
  list.RemoveGroup(kGroup);
  list.DropFinalLineEnd();
  EXPECT_EQ(list.Bytes(), original);
  // A key joins an existing group after its last line, before the blank lines.
  TMimeAppsList two("[Default Applications]\na=x;\n\n\n[B]\n");
  two.ReplaceKey(kGroup, "b", {"b=y;"});
  EXPECT_EQ(two.Bytes(), "[Default Applications]\na=x;\nb=y;\n\n\n[B]\n");
}

TEST(MimePackage, TheShippedPackageGivesTypesTheDatabaseMayLack) {
  const TMimePackage package =
      TMimePackage::Load(QStringLiteral(VELVANE_BUILD_DIR "/res/mime/org.norquill.Velvane.xml"));
  ASSERT_FALSE(package.IsEmpty());
  EXPECT_EQ(package.TypesForExtension("KOA"), QStringList{"image/x-koala"});
  EXPECT_EQ(package.TypesForExtension("jif"), QStringList{"image/jpeg"});
  EXPECT_EQ(package.TypesForExtension("wdp"), QStringList{"image/jxr"});
  EXPECT_TRUE(package.TypesForExtension("png").isEmpty());
  // The database's answer comes first; the package fills in.
  EXPECT_EQ(MimeTypesForExtension("JPG", package), QStringList{"image/jpeg"});
  EXPECT_FALSE(MimeTypesForExtension("koa", package).isEmpty());
  EXPECT_TRUE(MimeTypesForExtension("", package).isEmpty());
}

TEST(MimePackage, AMalformedOrMissingPackageIsEmpty) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("p.xml");
  for (const QByteArray& text : {QByteArray("<mime-info><mime-type type=\"image/x-a\"><glob pattern=\"*.aaa\"/>"),
                                 QByteArray("not xml at all"), QByteArray()}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    EXPECT_TRUE(TMimePackage::Load(path).IsEmpty()) << text.toStdString();
  }
  EXPECT_TRUE(TMimePackage::Load(dir.filePath("missing.xml")).IsEmpty());
  EXPECT_TRUE(TMimePackage::Load(dir.path()).IsEmpty());
  // Only plain "*.ext" globs name an extension.
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(
      "<mime-info><mime-type type=\"Image/X-A\"><glob pattern=\"*.aa?\"/><glob pattern=\"*.bbb\"/>"
      "<glob pattern=\"README\"/></mime-type></mime-info>");
  f.close();
  const TMimePackage package = TMimePackage::Load(path);
  EXPECT_TRUE(package.TypesForExtension("aa?").isEmpty());
  EXPECT_EQ(package.TypesForExtension("BBB"), QStringList{"image/x-a"});
}

}  // namespace
