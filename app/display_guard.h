#pragma once

#include <QString>

#include <functional>

// Qt ends the process with an abort (and a core dump) when its platform
// cannot start, as when there is no display. While a TDisplayGuard lives,
// such an end prints one line naming the problem instead, runs cleanUp (the
// decoding worker must not outlive us) and exits with code 1 without running
// destructors: the application object is half made. The platform's other
// messages meanwhile are held back, and passed on when the guard goes.
class TDisplayGuard {
public:
  // platform: what -platform or QT_QPA_PLATFORM asked for, empty for Qt's default.
  TDisplayGuard(const QString& platform, std::function<void()> cleanUp);
  ~TDisplayGuard();
  TDisplayGuard(const TDisplayGuard&) = delete;
  TDisplayGuard& operator=(const TDisplayGuard&) = delete;
};

// The line for a platform that could not start: platform as above (options
// after a ':' are ignored), display and waylandDisplay the values of DISPLAY
// and WAYLAND_DISPLAY.
QString NoDisplayLine(const QString& platform, const QString& display, const QString& waylandDisplay);
