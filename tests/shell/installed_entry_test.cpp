// The desktop entry an installation ships and the one the associations write
// declare the same MIME types: both come from SupportedMimeTypes.
#include "folder/formats.h"
#include "platform/desktop_entry.h"
#include "platform/mime_types.h"
#include "shell/association_notice.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray Line(const QByteArray& entry, const QByteArray& key) {
  for (const QByteArray& line : entry.split('\n'))
    if (line.startsWith(key + '=')) return line;
  return {};
}

TEST(InstalledDesktopEntry, IsTheAssociationsEntryWithoutTheMarkAndWithTheSameTypes) {
  QFile file(QStringLiteral(VELVANE_BUILD_DIR "/res/org.norquill.Velvane.desktop"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the build writes the installed entry";
  const QByteArray installed = file.readAll();

  const TMimePackage package = TMimePackage::Load(MimePackagePath(QStringLiteral(VELVANE_BUILD_DIR "/")));
  ASSERT_FALSE(package.IsEmpty());
  const QStringList types = SupportedMimeTypes(package);
  EXPECT_EQ(installed, DesktopEntryText("velvane", types, TDesktopEntryKind::Installed));

  const QByteArray user = DesktopEntryText("/opt/velvane/bin/velvane", types);
  EXPECT_EQ(Line(installed, "MimeType"), Line(user, "MimeType"));
  EXPECT_EQ(Line(installed, "Icon"), "Icon=org.norquill.Velvane");
  EXPECT_EQ(Line(installed, "Exec"), "Exec=velvane -- %f");
  EXPECT_FALSE(IsViewerWrittenEntry(installed)) << "the associations never remove the installed entry";
  EXPECT_TRUE(IsViewerWrittenEntry(user));

  // Every extension of the format table is opened through one of the types,
  // each declared once.
  for (const ftype& format : SupportedFormats)
    for (const QString& ext : QString(format.Ext).split(u' ', Qt::SkipEmptyParts)) {
      const QStringList own = MimeTypesForExtension(ext.toLower(), package);
      ASSERT_FALSE(own.isEmpty()) << ext.toStdString();
      for (const QString& type : own) EXPECT_TRUE(types.contains(type)) << type.toStdString();
    }
  QStringList once = types;
  EXPECT_EQ(once.removeDuplicates(), 0);
}

}  // namespace
