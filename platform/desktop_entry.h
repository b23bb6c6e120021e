#pragma once

// The viewer's desktop entry (in the freedesktop.org Desktop Entry format):
// the file through which the desktop opens files with the viewer.

#include <QByteArray>
#include <QString>
#include <QStringList>

// The viewer's application ID: the name of its desktop entry, its icon and
// its AppStream component.
inline const QString ApplicationId = QStringLiteral("org.norquill.Velvane");
// The ID of the viewer's desktop entry, shared by the user's entry written
// here and the one an installation puts in the system's applications folder.
inline const QString DesktopFileId = QStringLiteral("org.norquill.Velvane.desktop");
// The pixel sizes of the application icon's PNG files (res/icons/ID-SIZE.png).
inline constexpr int ApplicationIconSizes[] = {16, 32, 48, 64, 128, 256};

// $XDG_DATA_HOME/applications (~/.local/share/applications when unset).
QString UserApplicationsFolder();
QString UserDesktopEntryPath();

// The program as one argument of an Exec key: "%" doubled and, when it holds
// a character the key reserves (a space, a quote, '$' ...), in double quotes
// with ", `, $ and \ escaped; then escaped as a string value (\\ \n \t \r).
QString DesktopExecArgument(const QString& program);

// Who writes the entry: the associations, into the user's folder, or the
// installation, into the system's.
enum class TDesktopEntryKind { UserAssociations, Installed };

// The entry that opens one file per start with program (Exec "program" -- %f:
// a file is never read as a switch) and declares mimeTypes. The user's entry
// carries a key that marks it as written by the viewer, so that only such an
// entry is ever removed; the installed one does not.
QByteArray DesktopEntryText(const QString& program, const QStringList& mimeTypes,
                            TDesktopEntryKind kind = TDesktopEntryKind::UserAssociations);
bool IsViewerWrittenEntry(const QByteArray& text);
