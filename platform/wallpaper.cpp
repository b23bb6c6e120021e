#include "platform/wallpaper.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QUrl>

namespace {

constexpr int ProgramTimeoutMs = 5000;

TWallpaperResult Accepted() { return {true, QString()}; }
TWallpaperResult Refused(const QString& reason) { return {false, reason}; }

TProcessRun Run(const QString& program, const QStringList& arguments) {
  if (WallpaperProcessHook()) return WallpaperProcessHook()(program, arguments);
  return RunProgram(program, arguments, ProgramTimeoutMs);
}

bool Succeeded(const TProcessRun& run) { return run.started && run.finished && run.exitCode == 0; }

// Why a run failed, in a few words: the program's first line of complaint
// when it gave one.
QString FailureOf(const QString& name, const TProcessRun& run) {
  if (!run.started) return name + QStringLiteral(" could not be started");
  if (!run.finished) return name + QStringLiteral(" did not finish in time");
  const QString said = QString::fromLocal8Bit(run.errors).trimmed().section(u'\n', 0, 0).trimmed();
  return said.isEmpty() ? name + QStringLiteral(" failed (exit code %1)").arg(run.exitCode)
                        : name + QStringLiteral(": ") + said;
}

// A GVariant string literal, as gsettings parses its value argument.
QString GVariantString(const QString& text) {
  QString escaped = text;
  escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
  return u'\'' + escaped + u'\'';
}

// A double-quoted string for JavaScript and for sway's command parser.
QString Quoted(const QString& text) {
  QString escaped = text;
  escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
  return u'"' + escaped + u'"';
}

QString FileUri(const QString& path) { return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()); }

class TWallpaperSetter {
public:
  TWallpaperSetter(const TDesktopEnvironment& environment, QString path)
      : FEnvironment(environment), FPath(std::move(path)) {}

  TWallpaperResult Set(TDesktopKind kind) {
    switch (kind) {
      case TDesktopKind::Gnome:
      case TDesktopKind::Budgie: return Gnome();
      case TDesktopKind::Cinnamon:
        return GSettings({QStringLiteral("set"), QStringLiteral("org.cinnamon.desktop.background"),
                          QStringLiteral("picture-uri"), GVariantString(FileUri(FPath))});
      case TDesktopKind::Mate:
        return GSettings({QStringLiteral("set"), QStringLiteral("org.mate.background"),
                          QStringLiteral("picture-filename"), GVariantString(FPath)});
      case TDesktopKind::Kde: return Plasma();
      case TDesktopKind::Xfce: return Xfce();
      case TDesktopKind::Sway: return Sway();
      case TDesktopKind::PlainX: return PlainX();
      case TDesktopKind::Unknown: break;
    }
    return Refused(QStringLiteral("no desktop that this viewer can talk to was found"));
  }

private:
  QString Find(const QString& program) const {
    return FEnvironment.findProgram ? FEnvironment.findProgram(program) : QString();
  }

  TWallpaperResult RunOnce(const QString& program, const QStringList& arguments, TProcessRun* out = nullptr) {
    const TProcessRun run = Run(program, arguments);
    if (out) *out = run;
    return Succeeded(run) ? Accepted() : Refused(FailureOf(QFileInfo(program).fileName(), run));
  }

  TWallpaperResult GSettings(const QStringList& arguments, TProcessRun* out = nullptr) {
    const QString gsettings = Find(QStringLiteral("gsettings"));
    if (gsettings.isEmpty()) return Refused(QStringLiteral("gsettings is not installed"));
    return RunOnce(gsettings, arguments, out);
  }

  TWallpaperResult Gnome() {
    const QString schema = QStringLiteral("org.gnome.desktop.background");
    const QString uri = GVariantString(FileUri(FPath));
    TWallpaperResult result = GSettings({QStringLiteral("set"), schema, QStringLiteral("picture-uri"), uri});
    if (!result.ok) return result;
    // GNOME 42 and later show this key instead while the dark style is on.
    TProcessRun keys;
    if (GSettings({QStringLiteral("list-keys"), schema}, &keys).ok &&
        QString::fromUtf8(keys.output).split(u'\n').contains(QStringLiteral("picture-uri-dark")))
      result = GSettings({QStringLiteral("set"), schema, QStringLiteral("picture-uri-dark"), uri});
    return result;
  }

  TWallpaperResult Plasma() {
    const QString script = QStringLiteral(
                               "var all = desktops();"
                               "for (var i = 0; i < all.length; i++) {"
                               "  var d = all[i];"
                               "  d.wallpaperPlugin = \"org.kde.image\";"
                               "  d.currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\");"
                               "  d.writeConfig(\"Image\", %1);"
                               "}")
                               .arg(Quoted(FileUri(FPath)));
    for (const char* name : {"qdbus6", "qdbus", "qdbus-qt5"}) {
      const QString qdbus = Find(QLatin1String(name));
      if (!qdbus.isEmpty())
        return RunOnce(qdbus, {QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                               QStringLiteral("org.kde.PlasmaShell.evaluateScript"), script});
    }
    const QString dbusSend = Find(QStringLiteral("dbus-send"));
    if (dbusSend.isEmpty()) return Refused(QStringLiteral("neither qdbus nor dbus-send is installed"));
    return RunOnce(dbusSend,
                   {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                    QStringLiteral("--dest=org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                    QStringLiteral("org.kde.PlasmaShell.evaluateScript"), QStringLiteral("string:") + script});
  }

  TWallpaperResult Xfce() {
    const QString xfconf = Find(QStringLiteral("xfconf-query"));
    if (xfconf.isEmpty()) return Refused(QStringLiteral("xfconf-query is not installed"));
    const QString channel = QStringLiteral("xfce4-desktop");
    TProcessRun list;
    TWallpaperResult result = RunOnce(xfconf, {QStringLiteral("-c"), channel, QStringLiteral("-l")}, &list);
    if (!result.ok) return result;
    QStringList properties;
    for (const QString& line : QString::fromUtf8(list.output).split(u'\n', Qt::SkipEmptyParts))
      if (line.trimmed().startsWith(u'/') && line.trimmed().endsWith(QStringLiteral("/last-image")))
        properties << line.trimmed();
    if (properties.isEmpty()) return Refused(QStringLiteral("Xfce has no backdrop to set"));
    for (const QString& property : properties) {
      result =
          RunOnce(xfconf, {QStringLiteral("-c"), channel, QStringLiteral("-p"), property, QStringLiteral("-s"), FPath});
      if (!result.ok) return result;
    }
    return result;
  }

  TWallpaperResult Sway() {
    const QString swaymsg = Find(QStringLiteral("swaymsg"));
    if (swaymsg.isEmpty()) return Refused(QStringLiteral("swaymsg is not installed"));
    return RunOnce(swaymsg, {QStringLiteral("output"), QStringLiteral("*"), QStringLiteral("bg"), Quoted(FPath),
                             QStringLiteral("fill")});
  }

  TWallpaperResult PlainX() {
    const QString feh = Find(QStringLiteral("feh"));
    if (!feh.isEmpty()) return RunOnce(feh, {QStringLiteral("--bg-fill"), FPath});
    const QString xwallpaper = Find(QStringLiteral("xwallpaper"));
    if (!xwallpaper.isEmpty()) return RunOnce(xwallpaper, {QStringLiteral("--zoom"), FPath});
    return Refused(QStringLiteral("neither feh nor xwallpaper is installed"));
  }

  const TDesktopEnvironment& FEnvironment;
  QString FPath;
};

}  // namespace

TDesktopEnvironment CurrentDesktopEnvironment() {
  const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  TDesktopEnvironment result;
  result.currentDesktop = env.value(QStringLiteral("XDG_CURRENT_DESKTOP"));
  result.swaySocket = !env.value(QStringLiteral("SWAYSOCK")).isEmpty();
  result.x11Display = !env.value(QStringLiteral("DISPLAY")).isEmpty();
  result.findProgram = [](const QString& program) { return QStandardPaths::findExecutable(program); };
  return result;
}

TDesktopKind DetectDesktop(const TDesktopEnvironment& environment) {
  for (const QString& token : environment.currentDesktop.split(u':', Qt::SkipEmptyParts)) {
    const QString name = token.trimmed().toLower();
    if (name == QLatin1String("gnome") || name == QLatin1String("gnome-classic") ||
        name == QLatin1String("gnome-flashback") || name == QLatin1String("unity"))
      return TDesktopKind::Gnome;
    if (name == QLatin1String("budgie")) return TDesktopKind::Budgie;
    if (name == QLatin1String("x-cinnamon") || name == QLatin1String("cinnamon")) return TDesktopKind::Cinnamon;
    if (name == QLatin1String("mate")) return TDesktopKind::Mate;
    if (name == QLatin1String("kde")) return TDesktopKind::Kde;
    if (name == QLatin1String("xfce")) return TDesktopKind::Xfce;
    if (name == QLatin1String("sway")) return TDesktopKind::Sway;
  }
  if (environment.swaySocket) return TDesktopKind::Sway;
  if (environment.x11Display && environment.findProgram &&
      !(environment.findProgram(QStringLiteral("feh")).isEmpty() &&
        environment.findProgram(QStringLiteral("xwallpaper")).isEmpty()))
    return TDesktopKind::PlainX;
  return TDesktopKind::Unknown;
}

TWallpaperResult SetDesktopWallpaper(const QString& path) {
  return SetDesktopWallpaper(path, CurrentDesktopEnvironment());
}

TWallpaperResult SetDesktopWallpaper(const QString& path, const TDesktopEnvironment& environment) {
  const QFileInfo file(path);
  if (path.isEmpty() || !file.isFile()) return Refused(QStringLiteral("the file does not exist"));
  return TWallpaperSetter(environment, file.absoluteFilePath()).Set(DetectDesktop(environment));
}

TProcessRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
  TProcessRun run;
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  process.start();
  if (!process.waitForStarted(timeoutMs)) return run;
  run.started = true;
  if (process.waitForFinished(timeoutMs)) {
    run.finished = true;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  } else {
    process.kill();
    process.waitForFinished(1000);
  }
  run.output = process.readAllStandardOutput();
  run.errors = process.readAllStandardError();
  return run;
}

std::function<TProcessRun(const QString& program, const QStringList& arguments)>& WallpaperProcessHook() {
  static std::function<TProcessRun(const QString&, const QStringList&)> hook;
  return hook;
}
