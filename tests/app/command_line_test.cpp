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
  // Containment, not equality.
  EXPECT_EQ(Interpret({"--/Windowed=yes", "x.gif"}).sFile, QStringLiteral("x.gif"));
}

TEST(CommandLine, UninstallIsFoundInsideLongerTextsAndBeforeWindowed) {
  EXPECT_TRUE(Interpret({"/uninstall"}).bUninstall);
  EXPECT_TRUE(Interpret({"x/UnInstall/y"}).bUninstall);
  EXPECT_TRUE(Interpret({"/windowed/uninstall"}).bUninstall);
  EXPECT_FALSE(Interpret({"/uninstal"}).bUninstall);
}

TEST(CommandLine, AnEmptyPathBecomesTheSample) {
  EXPECT_EQ(Interpret({""}).sFile, kSample);
  EXPECT_EQ(Interpret({"/windowed", ""}).sFile, kSample);
}

}  // namespace
