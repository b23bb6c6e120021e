#pragma once

// The text form of a registry hive, as stored in the hive file.
//
// The file is UTF-8. Its first line is the signature "Velvane registry hive 1".
// Then, one section per key, in the style of a .reg export:
//
//   [SOFTWARE\Norquill\Velvane]        a key: its names from the root, split by "\"
//   "FullScreen"=dword:00000001        a REG_DWORD value (1 to 8 hex digits)
//   "vvbackup"="jpegfile"              a REG_SZ value
//   @="VelvanePhotoViewerJPEG"         the key's "(default)" value
//
// A section with no value lines is an empty key; "[]" holds values of the
// root itself. Keys above a listed key exist too. Inside the quotes of names
// and texts, \\ \" \n \r \t and \uXXXX (one UTF-16 code unit, four hex
// digits) stand for a backslash, a quote, line feed, carriage return, tab and
// any other character; other characters stand for themselves. Blank lines and
// lines that begin with ";" are ignored.
//
// Anything else makes the whole file unreadable: a hive is read completely or
// not at all, so a damaged file is never half-applied.

#include "platform/registry_hive.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

QByteArray HiveToText(const TRegKey& root);

// The hive in text, or nothing when the text is not a well-formed hive.
std::optional<TRegKey> HiveFromText(QByteArrayView text);
