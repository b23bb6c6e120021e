#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

const QString kApp = QStringLiteral("/opt/velvane/");
const QString kSample = QStringLiteral("/opt/velvane/samples/A_beautiful_Sky.jpg");

TCommandLine Interpret(QStringList args, bool fullScreen = true) {
  return InterpretCommandLine(args, fullScreen, kApp);
}

TEST(CommandLine, NoArgumentShowsTheSampleWindowedWhateverTheSettingSays) {
  const TCommandLine c = Interpret({}, true);
  EXPECT_FALSE(c.bUninstall);
  EXPECT_FALSE(c.bFullScreen);
  EXPECT_EQ(c.sFile, kSample);
}

TEST(CommandLine, APathFollowsTheFullScreenSetting) {
  EXPECT_TRUE(Interpret({"/pics/a.jpg"}, true).bFullScreen);
  EXPECT_FALSE(Interpret({"/pics/a.jpg"}, false).bFullScreen);
  // The path is taken exactly as given, not made absolute; later arguments are ignored.
  EXPECT_EQ(Interpret({"pics/A.JPG", "/uninstall"}).sFile, QStringLiteral("pics/A.JPG"));
}

TEST(CommandLine, WindowedIsCaseInsensitiveAndTakesTheSecondArgument) {
  TCommandLine c = Interpret({"/WINDOWED", "/pics/b.png"});
  EXPECT_FALSE(c.bFullScreen);
  EXPECT_EQ(c.sFile, QStringLiteral("/pics/b.png"));
  c = Interpret({"/windowed"});
  EXPECT_FALSE(c.bFullScreen);
  EXPECT_EQ(c.sFile, kSample);
  // The whole argument is the switch: a path that holds the word is a path.
  c = Interpret({"/photos/windowed/x.gif", "y.gif"}, true);
  EXPECT_TRUE(c.bFullScreen);
  EXPECT_EQ(c.sFile, QStringLiteral("/photos/windowed/x.gif"));
}

TEST(CommandLine, UninstallIsTheWholeFirstArgumentInAnyCase) {
  EXPECT_TRUE(Interpret({"/uninstall"}).bUninstall);
  EXPECT_TRUE(Interpret({"/UnInstall", "x.png"}).bUninstall);
  EXPECT_TRUE(InterpretCommandLine({"/UNINSTALL"}, false, kApp).bUninstall);
  // Photos in folders whose names hold the word are shown, not an uninstall.
  for (const QString& path : {QStringLiteral("/home/me/uninstall-notes/a.jpg"), QStringLiteral("x/UnInstall/y"),
                              QStringLiteral("/windowed/uninstall"), QStringLiteral("/uninstall "),
                              QStringLiteral("/uninstal")}) {
    const TCommandLine c = Interpret({path});
    EXPECT_FALSE(c.bUninstall) << path.toStdString();
    EXPECT_EQ(c.sFile, path);
  }
  // Only the first argument counts, "/uninstall" before "/windowed".
  EXPECT_FALSE(Interpret({"/windowed", "/uninstall"}).bUninstall);
  EXPECT_EQ(Interpret({"/windowed", "/uninstall"}).sFile, QStringLiteral("/uninstall"));
}

TEST(CommandLine, AnEmptyPathBecomesTheSample) {
  EXPECT_EQ(Interpret({""}).sFile, kSample);
  EXPECT_EQ(Interpret({"/windowed", ""}).sFile, kSample);
}

}  // namespace
