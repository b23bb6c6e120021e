#include "platform/mimeapps_list.h"

#include "platform/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <span>

namespace {

// A mimeapps.list is a few kilobytes; a far larger file is not read.
constexpr qint64 kMaxKeyFileSize = 4 * 1024 * 1024;

bool IsGroupHeader(const QByteArray& line) {
  const QByteArray t = line.trimmed();
  return t.size() >= 2 && t.startsWith('[') && t.endsWith(']');
}

QByteArray GroupName(const QByteArray& line) {
  const QByteArray t = line.trimmed();
  return t.mid(1, t.size() - 2);
}

}  // namespace

TKeyFileRead ReadKeyFile(const QString& path, QByteArray& bytes) {
  const QFileInfo info(path);
  if (!info.exists()) return info.isSymLink() ? TKeyFileRead::Unusable : TKeyFileRead::Missing;
  if (!info.isFile() || info.size() > kMaxKeyFileSize) return TKeyFileRead::Unusable;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return TKeyFileRead::Unusable;
  bytes = file.read(kMaxKeyFileSize + 1);
  if (file.error() != QFileDevice::NoError || bytes.size() > kMaxKeyFileSize) return TKeyFileRead::Unusable;
  return TKeyFileRead::Ok;
}

bool WriteKeyFile(const QString& path, const QByteArray& bytes) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  return ReplaceFileAtomically(QFile::encodeName(path).toStdString(),
                               std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
}

TMimeAppsList::TMimeAppsList(const QByteArray& bytes) {
  if (bytes.isEmpty()) return;
  FLines = bytes.split('\n');
  FFinalLineEnd = bytes.endsWith('\n');
  if (FFinalLineEnd) FLines.removeLast();
}

QByteArray TMimeAppsList::Bytes() const {
  QByteArray out = FLines.join('\n');
  if (FFinalLineEnd) out += '\n';
  return out;
}

QList<TMimeAppsList::TSection> TMimeAppsList::Sections(const QByteArray& group) const {
  QList<TSection> sections;
  for (int i = 0; i < FLines.size(); ++i) {
    if (!IsGroupHeader(FLines[i])) continue;
    if (!sections.isEmpty() && sections.last().end < 0) sections.last().end = i;
    if (GroupName(FLines[i]) == group) sections.append({i, -1});
  }
  if (!sections.isEmpty() && sections.last().end < 0) sections.last().end = int(FLines.size());
  return sections;
}

bool TMimeAppsList::IsKeyLine(const QByteArray& line, const QByteArray& key) {
  const QByteArray t = line.trimmed();
  if (t.isEmpty() || t.startsWith('#')) return false;
  const int eq = t.indexOf('=');
  return eq > 0 && t.left(eq).trimmed() == key;
}

QList<QByteArray> TMimeAppsList::KeyLines(const QByteArray& group, const QByteArray& key) const {
  QList<QByteArray> lines;
  for (const TSection& s : Sections(group))
    for (int i = s.header + 1; i < s.end; ++i)
      if (IsKeyLine(FLines[i], key)) lines << FLines[i];
  return lines;
}

QList<QByteArray> TMimeAppsList::Entries(const QByteArray& group, const QByteArray& key) const {
  const QList<QByteArray> lines = KeyLines(group, key);
  if (lines.isEmpty()) return {};
  const QByteArray& line = lines.last();
  QList<QByteArray> ids;
  for (const QByteArray& part : line.mid(line.indexOf('=') + 1).split(';')) {
    const QByteArray id = part.trimmed();
    if (!id.isEmpty()) ids << id;
  }
  return ids;
}

bool TMimeAppsList::HasGroup(const QByteArray& group) const { return !Sections(group).isEmpty(); }

bool TMimeAppsList::IsGroupEmpty(const QByteArray& group) const {
  const QList<TSection> sections = Sections(group);
  return std::all_of(sections.begin(), sections.end(), [](const TSection& s) { return s.end == s.header + 1; });
}

bool TMimeAppsList::IsLastGroup(const QByteArray& group) const {
  const QList<TSection> sections = Sections(group);
  return !sections.isEmpty() && sections.last().end == FLines.size();
}

void TMimeAppsList::ReplaceKey(const QByteArray& group, const QByteArray& key, const QList<QByteArray>& lines) {
  const QList<TSection> sections = Sections(group);
  QList<int> found;
  for (const TSection& s : sections)
    for (int i = s.header + 1; i < s.end; ++i)
      if (IsKeyLine(FLines[i], key)) found << i;

  if (!found.isEmpty()) {
    for (int k = int(found.size()) - 1; k >= 1; --k) FLines.removeAt(found[k]);
    FLines.removeAt(found[0]);
    for (int k = 0; k < lines.size(); ++k) FLines.insert(found[0] + k, lines[k]);
    return;
  }
  if (!sections.isEmpty()) {
    // After the section's last line that is not blank, so the blank lines that
    // part it from the next group stay where they are.
    const TSection& s = sections.first();
    int at = s.header + 1;
    for (int i = s.header + 1; i < s.end; ++i)
      if (!FLines[i].trimmed().isEmpty()) at = i + 1;
    for (int k = 0; k < lines.size(); ++k) FLines.insert(at + k, lines[k]);
    return;
  }
  if (!FLines.isEmpty() && !FFinalLineEnd) FAddedLineEnd = true;
  FLines << '[' + group + ']';
  FLines << lines;
  FFinalLineEnd = true;
}

void TMimeAppsList::RemoveKey(const QByteArray& group, const QByteArray& key) {
  const QList<TSection> sections = Sections(group);
  for (int k = int(sections.size()) - 1; k >= 0; --k)
    for (int i = sections[k].end - 1; i > sections[k].header; --i)
      if (IsKeyLine(FLines[i], key)) FLines.removeAt(i);
}

void TMimeAppsList::RemoveGroup(const QByteArray& group) {
  const QList<TSection> sections = Sections(group);
  for (int k = int(sections.size()) - 1; k >= 0; --k)
    FLines.remove(sections[k].header, sections[k].end - sections[k].header);
  if (FLines.isEmpty()) FFinalLineEnd = false;
}

QByteArray TMimeAppsList::ListLine(const QByteArray& key, const QList<QByteArray>& ids) {
  QByteArray line = key + '=';
  for (const QByteArray& id : ids) line += id + ';';
  return line;
}
