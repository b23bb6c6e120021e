#pragma once

// The viewer's desktop entry (freedesktop.org Desktop Entry Specification):
// the file through which the desktop opens files with the viewer.

#include <QByteArray>
#include <QString>
#include <QStringList>

// The ID of the viewer's desktop entry, shared by the user's entry written
// here and the one an installation puts in the system's applications folder.
inline const QString DesktopFileId = QStringLiteral("org.norquill.Velvane.desktop");

// $XDG_DATA_HOME/applications (~/.local/share/applications when unset).
QString UserApplicationsFolder();
QString UserDesktopEntryPath();

// The program as one argument of an Exec key: in double quotes with ", `, $
// and \ escaped, "%" doubled, then escaped as a string value (\\ \n \t \r).
QString DesktopExecArgument(const QString& program);

// The entry that opens one file per start with program (Exec "program" %f)
// and declares mimeTypes. It carries a key that marks it as written by the
// viewer, so that only such an entry is ever removed.
QByteArray DesktopEntryText(const QString& program, const QStringList& mimeTypes);
bool IsViewerWrittenEntry(const QByteArray& text);
