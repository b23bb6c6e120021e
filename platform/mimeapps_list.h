#pragma once

// A mimeapps.list (or any desktop-entry style key file) kept as its lines, so
// that setting or removing one key changes those lines and keeps every other
// byte of the file: comments, blank lines, other groups, odd spacing, line
// ends. Qt's settings class would rewrite the whole file.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

enum class TKeyFileRead { Missing, Ok, Unusable };

// Reads a small key file (a mimeapps.list, a desktop entry). One that is not
// a regular file (a fifo would block), a dangling link, a file far larger
// than such a file can be, or one that cannot be read is Unusable.
TKeyFileRead ReadKeyFile(const QString& path, QByteArray& bytes);
// Replaces the file at path with bytes in one step, making its folder first.
bool WriteKeyFile(const QString& path, const QByteArray& bytes);

class TMimeAppsList {
public:
  TMimeAppsList() = default;
  explicit TMimeAppsList(const QByteArray& bytes);

  QByteArray Bytes() const;
  bool IsEmpty() const { return FLines.isEmpty(); }

  // The lines of key in every "[group]" section, as they stand; empty when the
  // key is not there.
  QList<QByteArray> KeyLines(const QByteArray& group, const QByteArray& key) const;
  // The desktop file IDs of the key's list (its last line, as key files read
  // it); empty when the key is not there or lists nothing.
  QList<QByteArray> Entries(const QByteArray& group, const QByteArray& key) const;

  bool HasGroup(const QByteArray& group) const;
  // True when the group's section holds nothing but its header line.
  bool IsGroupEmpty(const QByteArray& group) const;
  // True when the group's last section runs to the end of the file.
  bool IsLastGroup(const QByteArray& group) const;

  // Puts lines where the key's first line was and removes its other lines.
  // A missing key goes after the group's last key line; a missing group is
  // appended at the end of the file (after a line end added to an unfinished
  // last line, which AddedLineEnd then reports).
  void ReplaceKey(const QByteArray& group, const QByteArray& key, const QList<QByteArray>& lines);
  void RemoveKey(const QByteArray& group, const QByteArray& key);
  // Removes the group's header line and its section.
  void RemoveGroup(const QByteArray& group);
  // Removes the line end at the very end of the file.
  void DropFinalLineEnd() { FFinalLineEnd = false; }

  bool AddedLineEnd() const { return FAddedLineEnd; }

  // "key=id1;id2;" with the IDs as given.
  static QByteArray ListLine(const QByteArray& key, const QList<QByteArray>& ids);

private:
  struct TSection {
    int header = -1;  // index of the "[group]" line
    int end = 0;      // one past its last line
  };
  QList<TSection> Sections(const QByteArray& group) const;
  static bool IsKeyLine(const QByteArray& line, const QByteArray& key);

  QList<QByteArray> FLines;  // without their '\n'
  bool FFinalLineEnd = false;
  bool FAddedLineEnd = false;
};
