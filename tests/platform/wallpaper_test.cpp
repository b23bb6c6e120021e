// The wallpaper on each desktop: the commands it is given (seen through the
// process hook), the failures it reports, and GNOME for real in a private
// D-Bus session with the dconf backend.
#include "platform/wallpaper.h"

#include "support/temp_folder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

struct TCall {
  QString program;
  QStringList arguments;
};

class Wallpaper : public testing::Test {
protected:
  void SetUp() override {
    picture = dir.Write(QStringLiteral("my sky's.jpg"), QByteArray("not decoded here"));
    WallpaperProcessHook() = [this](const QString& program, const QStringList& arguments) {
      calls.push_back({program, arguments});
      TProcessRun run;
      run.started = run.finished = true;
      run.exitCode = failWith.isEmpty() ? 0 : 1;
      run.errors = failWith.toUtf8();
      if (arguments.contains(QStringLiteral("list-keys")))
        run.output = "picture-options\npicture-uri\npicture-uri-dark\n";
      if (arguments.contains(QStringLiteral("-l")))
        run.output =
            "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
            "/backdrop/screen0/monitorHDMI-1/workspace0/image-style\n"
            "/backdrop/screen0/monitoreDP-1/workspace0/last-image\n";
      return run;
    };
  }
  void TearDown() override { WallpaperProcessHook() = nullptr; }

  TDesktopEnvironment Desktop(const QString& name, QStringList installed) {
    TDesktopEnvironment env;
    env.currentDesktop = name;
    env.x11Display = true;
    env.findProgram = [installed](const QString& program) {
      return installed.contains(program) ? QStringLiteral("/usr/bin/") + program : QString();
    };
    return env;
  }
  QString Uri() const { return QString::fromLatin1(QUrl::fromLocalFile(picture).toEncoded()); }

  TempFolder dir;
  QString picture;
  QString failWith;
  std::vector<TCall> calls;
};

TEST_F(Wallpaper, TheDesktopIsToldFromItsNameThenFromWhatIsRunningAndInstalled) {
  const QStringList all = {QStringLiteral("feh")};
  EXPECT_EQ(DetectDesktop(Desktop(QStringLiteral("ubuntu:GNOME"), all)), TDesktopKind::Gnome);
  EXPECT_EQ(DetectDesktop(Desktop(QStringLiteral("Budgie:GNOME"), all)), TDesktopKind::Budgie);
  EXPECT_EQ(DetectDesktop(Desktop(QStringLiteral("X-Cinnamon"), all)), TDesktopKind::Cinnamon);
  EXPECT_EQ(DetectDesktop(Desktop(QStringLiteral("MATE"), all)), TDesktopKind::Mate);
  EXPECT_EQ(DetectDesktop(Desktop(QStringLiteral("KDE"), all)), TDesktopKind::Kde);
  EXPECT_EQ(DetectDesktop(Desktop(QStringLiteral("XFCE"), all)), TDesktopKind::Xfce);
  EXPECT_EQ(DetectDesktop(Desktop(QStringLiteral("sway"), all)), TDesktopKind::Sway);
  EXPECT_EQ(DetectDesktop(Desktop(QString(), all)), TDesktopKind::PlainX);
  EXPECT_EQ(DetectDesktop(Desktop(QStringLiteral("LXQt"), {})), TDesktopKind::Unknown);
  TDesktopEnvironment sway = Desktop(QString(), {});
  sway.swaySocket = true;
  EXPECT_EQ(DetectDesktop(sway), TDesktopKind::Sway);
}

TEST_F(Wallpaper, EachDesktopGetsItsOwnCommands) {
  const QString uri = u'\'' + Uri().replace(u'\'', QStringLiteral("\\'")) + u'\'';
  const QStringList everything = {
      QStringLiteral("gsettings"), QStringLiteral("qdbus"), QStringLiteral("dbus-send"), QStringLiteral("xfconf-query"),
      QStringLiteral("swaymsg"),   QStringLiteral("feh"),   QStringLiteral("xwallpaper")};
  auto run = [&](const QString& desktop, const QStringList& installed) {
    calls.clear();
    const TWallpaperResult result = SetDesktopWallpaper(picture, Desktop(desktop, installed));
    EXPECT_TRUE(result.ok) << desktop.toStdString() << ": " << result.reason.toStdString();
    return calls;
  };

  std::vector<TCall> c = run(QStringLiteral("GNOME"), everything);
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].program, QStringLiteral("/usr/bin/gsettings"));
  EXPECT_EQ(c[0].arguments, (QStringList{QStringLiteral("set"), QStringLiteral("org.gnome.desktop.background"),
                                         QStringLiteral("picture-uri"), uri}));
  EXPECT_EQ(c[2].arguments, (QStringList{QStringLiteral("set"), QStringLiteral("org.gnome.desktop.background"),
                                         QStringLiteral("picture-uri-dark"), uri}));
  EXPECT_EQ(run(QStringLiteral("Budgie:GNOME"), everything)[0].arguments, c[0].arguments);

  c = run(QStringLiteral("X-Cinnamon"), everything);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].arguments, (QStringList{QStringLiteral("set"), QStringLiteral("org.cinnamon.desktop.background"),
                                         QStringLiteral("picture-uri"), uri}));
  c = run(QStringLiteral("MATE"), everything);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].arguments.mid(1, 2),
            (QStringList{QStringLiteral("org.mate.background"), QStringLiteral("picture-filename")}));
  EXPECT_EQ(c[0].arguments[3], QStringLiteral("'%1'").arg(QString(picture).replace(u'\'', QStringLiteral("\\'"))));

  c = run(QStringLiteral("KDE"), everything);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].program, QStringLiteral("/usr/bin/qdbus"));
  EXPECT_EQ(c[0].arguments.mid(0, 3),
            (QStringList{QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                         QStringLiteral("org.kde.PlasmaShell.evaluateScript")}));
  EXPECT_TRUE(c[0].arguments[3].contains(QStringLiteral("writeConfig(\"Image\", \"%1\")").arg(Uri())));
  c = run(QStringLiteral("KDE"), {QStringLiteral("dbus-send")});
  ASSERT_EQ(c.size(), 1u);
  EXPECT_TRUE(c[0].arguments.contains(QStringLiteral("--dest=org.kde.plasmashell")));
  EXPECT_TRUE(c[0].arguments.last().startsWith(QStringLiteral("string:var all = desktops();")));

  c = run(QStringLiteral("XFCE"), everything);
  ASSERT_EQ(c.size(), 3u);  // the list, then both monitors' last-image
  EXPECT_EQ(c[1].arguments, (QStringList{QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-p"),
                                         QStringLiteral("/backdrop/screen0/monitorHDMI-1/workspace0/last-image"),
                                         QStringLiteral("-s"), picture}));
  EXPECT_EQ(c[2].arguments[3], QStringLiteral("/backdrop/screen0/monitoreDP-1/workspace0/last-image"));

  c = run(QStringLiteral("sway"), everything);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].arguments, (QStringList{QStringLiteral("output"), QStringLiteral("*"), QStringLiteral("bg"),
                                         u'"' + picture + u'"', QStringLiteral("fill")}));
  EXPECT_EQ(run(QString(), {QStringLiteral("feh")})[0].arguments, (QStringList{QStringLiteral("--bg-fill"), picture}));
  EXPECT_EQ(run(QString(), {QStringLiteral("xwallpaper")})[0].arguments,
            (QStringList{QStringLiteral("--zoom"), picture}));
}

TEST_F(Wallpaper, AFailureIsReportedNotHidden) {
  failWith = QStringLiteral("No such schema \"org.gnome.desktop.background\"\nmore");
  TWallpaperResult result =
      SetDesktopWallpaper(picture, Desktop(QStringLiteral("GNOME"), {QStringLiteral("gsettings")}));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.reason, QStringLiteral("gsettings: No such schema \"org.gnome.desktop.background\""));
  failWith.clear();

  EXPECT_EQ(SetDesktopWallpaper(picture, Desktop(QStringLiteral("GNOME"), {})).reason,
            QStringLiteral("gsettings is not installed"));
  EXPECT_EQ(SetDesktopWallpaper(picture, Desktop(QStringLiteral("LXQt"), {})).reason,
            QStringLiteral("no desktop that this viewer can talk to was found"));
  EXPECT_EQ(SetDesktopWallpaper(dir.File(QStringLiteral("gone.jpg")), Desktop(QStringLiteral("GNOME"), {})).reason,
            QStringLiteral("the file does not exist"));
  EXPECT_EQ(calls.size(), 1u);
}

TEST(RunProgram, AProgramThatHangsIsStoppedInTime) {
  const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
  ASSERT_FALSE(sleep.isEmpty());
  const TProcessRun run = RunProgram(sleep, {QStringLiteral("30")}, 200);
  EXPECT_TRUE(run.started);
  EXPECT_FALSE(run.finished);
  EXPECT_FALSE(RunProgram(QStringLiteral("/nonexistent/program"), {}, 200).started);
}

// A session bus of our own with dconf behind GSettings, as on a GNOME desktop.
class PrivateSessionBus {
public:
  PrivateSessionBus() {
    for (const char* program : {"dbus-daemon", "gsettings"})
      if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty()) {
        FMissing = QLatin1String(program);
        return;
      }
    for (const char* file : {"/usr/libexec/dconf-service", "/usr/lib/x86_64-linux-gnu/gio/modules/libdconfsettings.so",
                             "/usr/share/glib-2.0/schemas/org.gnome.desktop.background.gschema.xml"})
      if (!QFile::exists(QLatin1String(file))) {
        FMissing = QLatin1String(file);
        return;
      }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), FHome.Path() + QStringLiteral("config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FHome.Path() + QStringLiteral("runtime"));
    QDir().mkpath(FHome.Path() + QStringLiteral("runtime"));
    FDaemon.setProcessEnvironment(env);
    FDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                   QStringLiteral("--address=unix:path=") + FHome.Path() + QStringLiteral("bus")});
    if (!FDaemon.waitForReadyRead(5000)) return;
    FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();
    for (const auto& [name, value] :
         {std::pair{"DBUS_SESSION_BUS_ADDRESS", FAddress}, std::pair{"GSETTINGS_BACKEND", QStringLiteral("dconf")},
          std::pair{"XDG_CONFIG_HOME", env.value(QStringLiteral("XDG_CONFIG_HOME"))},
          std::pair{"XDG_RUNTIME_DIR", env.value(QStringLiteral("XDG_RUNTIME_DIR"))}}) {
      FSaved.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
      qputenv(name, value.toUtf8());
    }
  }
  ~PrivateSessionBus() {
    for (const TSaved& saved : FSaved) saved.set ? qputenv(saved.name, saved.value) : qunsetenv(saved.name);
    if (FDaemon.state() != QProcess::NotRunning) {
      FDaemon.kill();
      FDaemon.waitForFinished(5000);
    }
  }
  QString Missing() const { return FMissing; }
  bool Running() const { return !FAddress.isEmpty(); }
  QString Get(const QString& key) {
    QProcess p;
    p.start(QStringLiteral("gsettings"), {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"), key});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }

private:
  struct TSaved {
    const char* name;
    QByteArray value;
    bool set;
  };
  TempFolder FHome;
  QProcess FDaemon;
  QString FAddress, FMissing;
  std::vector<TSaved> FSaved;
};

TEST(WallpaperOnGnome, TheKeysAreSetInTheDesktopsSettings) {
  PrivateSessionBus bus;
  if (!bus.Missing().isEmpty()) GTEST_SKIP() << bus.Missing().toStdString() << " is not installed";
  ASSERT_TRUE(bus.Running());
  TempFolder dir;
  const QString picture = dir.Write(QStringLiteral("sky.jpg"), QByteArray("x"));
  TDesktopEnvironment env = CurrentDesktopEnvironment();
  env.currentDesktop = QStringLiteral("GNOME");
  const TWallpaperResult result = SetDesktopWallpaper(picture, env);
  ASSERT_TRUE(result.ok) << result.reason.toStdString();
  const QString expected = u'\'' + QString::fromLatin1(QUrl::fromLocalFile(picture).toEncoded()) + u'\'';
  EXPECT_EQ(bus.Get(QStringLiteral("picture-uri")), expected);
  EXPECT_EQ(bus.Get(QStringLiteral("picture-uri-dark")), expected);
}

}  // namespace
