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
// The file is read line by line, so that one line spoilt by hand costs only
// that line: a line that is none of the above (bad UTF-8 included), a value
// before any key line or named twice in one key, and the value lines under a
// key line that cannot be read are skipped, and everything else is kept. A
// text whose first line is not the signature (a UTF-8 byte-order mark before
// it is allowed) is not a hive at all.

#include "platform/registry_hive.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

QByteArray HiveToText(const TRegKey& root);

struct TParsedHive {
  TRegKey Root;
  std::vector<int> BadLines;  // the skipped lines, numbered from 1 (the signature), in order
};

// What the text holds, or nothing when it is not a hive at all.
std::optional<TParsedHive> HiveFromText(QByteArrayView text);
