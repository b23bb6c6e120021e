#include "app/command_line.h"

#include "platform/data_folder.h"
#include "support/temp_folder.h"

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
  for (const QString& path :
       {QStringLiteral("/home/me/uninstall-notes/a.jpg"), QStringLiteral("x/UnInstall/y"),
        QStringLiteral("/windowed/uninstall"), QStringLiteral("/uninstall "), QStringLiteral("/uninstal")}) {
    const TCommandLine c = Interpret({path});
    EXPECT_FALSE(c.bUninstall) << path.toStdString();
    EXPECT_EQ(c.sFile, path);
  }
  // Whatever follows an uninstall given first is ignored, even what would be
  // an error elsewhere; only a request for the help or the version wins.
  for (const QStringList& args : {QStringList{"/uninstall", "-x"}, QStringList{"--UNINSTALL", "--bogus", "a", "b"},
                                  QStringList{"/uninstall", "--windowed=yes"}, QStringList{"/uninstall", "--", "-h"}})
    EXPECT_EQ(Interpret(args).Mode, TStartMode::Uninstall) << args.join(' ').toStdString();
  EXPECT_EQ(Interpret({"/uninstall", "-x", "--help"}).Mode, TStartMode::Help);
  EXPECT_EQ(Interpret({"/uninstall", "-v"}).Mode, TStartMode::Version);
  // Only the first argument counts, "/uninstall" before "/windowed".
  EXPECT_FALSE(Interpret({"/windowed", "/uninstall"}).bUninstall);
  EXPECT_EQ(Interpret({"/windowed", "/uninstall"}).sFile, QStringLiteral("/uninstall"));
}

TEST(CommandLine, AnEmptyPathBecomesTheSample) {
  EXPECT_EQ(Interpret({""}).sFile, kSample);
  EXPECT_EQ(Interpret({"/windowed", ""}).sFile, kSample);
}

TEST(CommandLine, TheLinuxSpellingsAreTheSameSwitches) {
  TCommandLine c = Interpret({"--windowed", "/pics/b.png"});
  EXPECT_EQ(c.Mode, TStartMode::Show);
  EXPECT_FALSE(c.bFullScreen);
  EXPECT_EQ(c.sFile, "/pics/b.png");
  c = Interpret({"--WINDOWED"});
  EXPECT_FALSE(c.bFullScreen);
  EXPECT_EQ(c.sFile, kSample);
  for (const char* arg : {"--uninstall", "--UnInstall", "/UNINSTALL"}) {
    c = Interpret({arg, "x.png"});
    EXPECT_EQ(c.Mode, TStartMode::Uninstall) << arg;
    EXPECT_TRUE(c.bUninstall) << arg;
  }
  EXPECT_TRUE(IsUninstallArgument("--Uninstall"));
  EXPECT_TRUE(IsWindowedArgument("--windowed"));
  EXPECT_FALSE(IsWindowedArgument("-windowed"));
  // Dash switches combine before the file; uninstall wins over windowed.
  EXPECT_EQ(Interpret({"--windowed", "--uninstall"}).Mode, TStartMode::Uninstall);
  // The slash form is a switch only as the first argument: then it is the file.
  c = Interpret({"--windowed", "/uninstall"});
  EXPECT_EQ(c.Mode, TStartMode::Show);
  EXPECT_EQ(c.sFile, "/uninstall");
}

TEST(CommandLine, HelpAndVersionWinOverEverythingAndNeedNoFile) {
  for (const char* arg : {"--help", "-h", "--HELP"}) EXPECT_EQ(Interpret({arg}).Mode, TStartMode::Help) << arg;
  for (const char* arg : {"--version", "-v"}) EXPECT_EQ(Interpret({arg}).Mode, TStartMode::Version) << arg;
  EXPECT_EQ(Interpret({"--uninstall", "--help"}).Mode, TStartMode::Help);
  EXPECT_EQ(Interpret({"/windowed", "--version"}).Mode, TStartMode::Version);
  // After the file, nothing is a switch any more.
  EXPECT_EQ(Interpret({"a.jpg", "--help"}).Mode, TStartMode::Show);
  const QString help = CommandLineHelpText();
  for (const char* word : {"--windowed", "/windowed", "--uninstall", "/uninstall", "--help", "--version", "'--'"})
    EXPECT_TRUE(help.contains(QLatin1String(word))) << word;
  EXPECT_TRUE(help.startsWith("Usage: velvane "));
  EXPECT_EQ(CommandLineVersionText(), "Velvane Photo Viewer 1.5.2\n");
}

TEST(CommandLine, DoubleDashTakesTheNextArgumentAsTheFileWhateverItLooksLike) {
  for (const char* name : {"-session", "--uninstall", "/uninstall", "--", "-style", "-"}) {
    const TCommandLine c = Interpret({"--", name}, true);
    EXPECT_EQ(c.Mode, TStartMode::Show) << name;
    EXPECT_TRUE(c.bFullScreen) << name;
    EXPECT_EQ(c.sFile, QString::fromLatin1(name));
  }
  TCommandLine c = Interpret({"/windowed", "--", "-session"});
  EXPECT_FALSE(c.bFullScreen);
  EXPECT_EQ(c.sFile, "-session");
  c = Interpret({"--windowed", "--", "--help"});
  EXPECT_EQ(c.Mode, TStartMode::Show);
  EXPECT_EQ(c.sFile, "--help");
  // "--" alone asks for nothing, as no argument does: the sample, windowed
  // (a desktop entry's "Exec=velvane -- %f" started without a file).
  c = Interpret({"--"}, true);
  EXPECT_EQ(c.sFile, kSample);
  EXPECT_FALSE(c.bFullScreen);
  // A single dash is a name, not a switch.
  EXPECT_EQ(Interpret({"-"}).sFile, "-");
}

TEST(CommandLine, AnUnknownDashArgumentIsAnErrorNotAFile) {
  for (const QStringList& args : {QStringList{"-session"}, QStringList{"--windowd", "a.jpg"},
                                  QStringList{"/windowed", "-x.jpg"}, QStringList{"--windowed=yes"}}) {
    const TCommandLine c = Interpret(args);
    EXPECT_EQ(c.Mode, TStartMode::Error) << args.join(' ').toStdString();
    EXPECT_FALSE(c.bUninstall);
    EXPECT_FALSE(c.sError.isEmpty());
  }
  EXPECT_TRUE(Interpret({"-session"}).sError.contains("session"));
}

TEST(CommandLine, QtSeesOnlyTheArgumentsBeforeDoubleDash) {
  char exe[] = "velvane", style[] = "-style", fusion[] = "fusion", dashes[] = "--", session[] = "-session";
  char* argv[] = {exe, style, fusion, dashes, session, nullptr};
  EXPECT_EQ(QtArgumentCount(5, argv), 3);
  EXPECT_EQ(QtArgumentCount(3, argv), 3);
  char* plain[] = {exe, nullptr};
  EXPECT_EQ(QtArgumentCount(1, plain), 1);
}

// The data the viewer ships is looked for under ../share/velvane/ of the
// executable's folder first (an installation), then beside the executable
// (the build folder).
TEST(CommandLine, TheSampleComesFromTheInstalledDataFolderFirst) {
  TempFolder prefix;
  ASSERT_TRUE(QDir().mkpath(prefix.File("bin")));
  const QString bin = prefix.File("bin/");
  EXPECT_EQ(DataFolder(bin), bin);
  EXPECT_EQ(InterpretCommandLine({}, true, bin).sFile, bin + "samples/A_beautiful_Sky.jpg");

  ASSERT_TRUE(QDir().mkpath(prefix.File("share/velvane/samples")));
  const QString data = QDir(prefix.File("share/velvane")).canonicalPath() + '/';
  EXPECT_EQ(QDir(DataFolder(bin)).canonicalPath() + '/', data);
  EXPECT_TRUE(DataFolder(bin).endsWith("/share/velvane/"));
  EXPECT_FALSE(DataFolder(bin).contains(".."));
  EXPECT_EQ(InterpretCommandLine({}, true, bin).sFile, DataFolder(bin) + "samples/A_beautiful_Sky.jpg");
  EXPECT_EQ(InterpretCommandLine({"/windowed", ""}, true, bin).sFile, DataFolder(bin) + "samples/A_beautiful_Sky.jpg");
}

}  // namespace
