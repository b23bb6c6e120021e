#pragma once

#include <QString>

// The folder of the files the viewer ships (samples/, res/), with a trailing
// '/': share/velvane/ of an installation, found as "../share/velvane/" from
// the executable's folder appDir, else appDir itself (the build folder, which
// is laid out like that folder).
QString DataFolder(const QString& appDir);

// The help page (res/help/index.html in the data folder of appDir).
QString HelpPagePath(const QString& appDir);
