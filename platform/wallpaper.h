#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Makes a picture file the desktop background on the desktop the user runs,
// through that desktop's own mechanism:
//   GNOME, Budgie    gsettings, org.gnome.desktop.background picture-uri and
//                    picture-uri-dark (the dark style's key, where it exists)
//   Cinnamon         gsettings, org.cinnamon.desktop.background picture-uri
//   MATE             gsettings, org.mate.background picture-filename
//   KDE Plasma       the shell's scripting interface over D-Bus
//                    (org.kde.plasmashell /PlasmaShell evaluateScript)
//   Xfce             xfconf-query, every backdrop's last-image property
//   sway             swaymsg output * bg
//   other X sessions feh or xwallpaper, whichever is installed
// Programs run directly (never through a shell) and are stopped after a few
// seconds.

enum class TDesktopKind { Unknown, Gnome, Budgie, Cinnamon, Mate, Kde, Xfce, Sway, PlainX };

// What the choice depends on: the session's variables and the PATH.
struct TDesktopEnvironment {
  QString currentDesktop;   // XDG_CURRENT_DESKTOP, a ':'-separated list
  bool swaySocket = false;  // SWAYSOCK is set
  bool x11Display = false;  // DISPLAY is set
  // The full path of a program on the PATH, empty when there is none.
  std::function<QString(const QString& program)> findProgram;
};
TDesktopEnvironment CurrentDesktopEnvironment();

// The first desktop named in currentDesktop that is known here; then sway by
// its socket, then a plain X session with a wallpaper setter installed.
TDesktopKind DetectDesktop(const TDesktopEnvironment& environment);

struct TWallpaperResult {
  bool ok = false;
  QString reason;  // a few words when it failed
};

// Sets path (made absolute) as the wallpaper. ok only when the desktop
// accepted it.
TWallpaperResult SetDesktopWallpaper(const QString& path);
TWallpaperResult SetDesktopWallpaper(const QString& path, const TDesktopEnvironment& environment);

// One run of an external program.
struct TProcessRun {
  bool started = false;
  bool finished = false;  // ended by itself within the time allowed
  int exitCode = -1;
  QByteArray output;  // standard output
  QByteArray errors;  // standard error
};

// Runs program with arguments and waits at most timeoutMs for it; a program
// still running then is killed. Tests replace it through the hook to see and
// answer every command.
TProcessRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs);
std::function<TProcessRun(const QString& program, const QStringList& arguments)>& WallpaperProcessHook();
