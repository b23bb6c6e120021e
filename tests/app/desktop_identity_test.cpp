// The application's identity on the desktop: the desktop entry's name and
// the window icon, found without an icon theme in the data folder.
#include "app/desktop_identity.h"

#include "platform/desktop_entry.h"

#include <QApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

TEST(DesktopIdentity, TheWindowsBelongToTheInstalledEntryAndCarryTheShippedIcon) {
  const QString buildDir = QStringLiteral(VELVANE_BUILD_DIR "/");
  for (const int size : ApplicationIconSizes)
    EXPECT_TRUE(QFileInfo(buildDir + QStringLiteral("res/icons/org.norquill.Velvane-%1.png").arg(size)).isFile())
        << size;

  SetDesktopIdentity(buildDir);
  EXPECT_EQ(QGuiApplication::desktopFileName(), "org.norquill.Velvane");
  EXPECT_EQ(QGuiApplication::desktopFileName() + ".desktop", DesktopFileId);
  const QIcon icon = QApplication::windowIcon();
  ASSERT_FALSE(icon.isNull());
  const QList<QSize> sizes = icon.availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(48, 48)));
  EXPECT_TRUE(sizes.contains(QSize(256, 256)));
  EXPECT_EQ(icon.pixmap(QSize(48, 48)).size(), QSize(48, 48));
}

TEST(DesktopIdentity, WithoutShippedFilesTheIconIsOnlyTheThemes) {
  // No theme has the icon on the test machine, so nothing is left.
  EXPECT_TRUE(ApplicationIcon(QStringLiteral("/nonexistent/bin/")).availableSizes().isEmpty());
}

}  // namespace
