#pragma once

#include <QString>

// Pieces of a path, split at the last '/' and, for the extension, at the last
// '.' of the name.

// Everything up to and including the last '/'; empty when there is none.
QString ExtractFilePath(const QString& path);

// Everything after the last '/' (the whole path when there is none).
QString ExtractFileName(const QString& path);

// The name's part from its last '.' on, dot included; empty when the name
// has no dot. A dot in a folder name does not count.
QString ExtractFileExt(const QString& path);

// s with only the ASCII letters A to Z lowered; every other character stays.
QString AsciiLowerCase(const QString& s);

// True when a and b are equal once their ASCII letters are lowered.
bool SameTextAscii(const QString& a, const QString& b);
