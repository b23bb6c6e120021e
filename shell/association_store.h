#pragma once

// Makes the viewer the opener of a supported format, one format at a time, in
// the current user's classes (HKEY_CURRENT_USER\SOFTWARE\Classes), keeping
// each extension's previous type in its "vvbackup" value so that a restore
// can give it back.

#include "folder/extra_formats.h"

#include <QString>

#include <functional>

inline const QString ClassNamePrefix = QStringLiteral("VelvanePhotoViewer");
inline const QString BackupValueName = QStringLiteral("vvbackup");

// The full path of the running executable. Tests put another in its place
// through the hook.
QString ApplicationExeName();
std::function<QString()>& ApplicationExeNameHook();

// The folder of ApplicationExeName(), with a trailing '/'.
QString ApplicationDir();

// The executable path of an open command: trimmed; a quoted path up to its
// closing quote (trimmed again), an unquoted one up to its first space.
QString OpenCommandExecutable(const QString& command);

// "\"exe\" \"%1\"".
QString OpenCommand(const QString& exe);

// dataDir + "res/icons/" + name + ".ico" when that file exists, else the
// OTHER.ico beside it (whether or not that one exists). The store passes the
// executable's data folder (DataFolder).
QString FormatIconPath(const QString& dataDir, const QString& name);

// True when the extension's class has an open command whose executable path
// contains "velvane" in any case.
bool IsExtensionAssociated(const QString& extension);
// The formats are the rows of ListedFormats: the 36 and the extra ones.
// True when the format exists and every one of its extensions is associated.
bool IsFormatAssociated(const QString& name);
// Registers every extension of the format; an unknown name does nothing.
// False when the registry file could not be written.
bool AssociateFormat(const QString& name);
// Undoes the registration of every extension of the format; an unknown name
// does nothing. False when the registry file could not be written.
bool RestoreFormat(const QString& name);

// The program that the open command of an associated extension runs (the
// first associated extension in table order); empty when none is associated.
QString AssociatedExecutable();
