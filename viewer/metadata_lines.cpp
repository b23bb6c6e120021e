#include "viewer/metadata_lines.h"

#include "folder/file_path.h"

#include <QStringDecoder>

namespace {

// FreeImage hands out 8-bit text in no declared encoding: camera strings are
// mostly ASCII or UTF-8, older ones a Latin code page. UTF-8 when the bytes
// are valid UTF-8, Latin-1 otherwise, so no byte is lost or mangled.
QString FromTagText(const char* text) {
  if (!text) return QString();
  const QByteArrayView bytes(text);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8.decode(bytes);
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(bytes);
}

bool IsSkippedKey(const QString& key) {
  const QString lower = AsciiLowerCase(key);
  return lower.contains(QLatin1String("exifraw")) || lower.contains(QLatin1String("xml"));
}

}  // namespace

void CollectMetadataLines(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, QStringList& lines) {
  lines.clear();
  if (!dib || FreeImage_GetMetadataCount(model, dib) == 0) return;
  FITAG* tag = nullptr;
  FIMETADATA* search = FreeImage_FindFirstMetadata(model, dib, &tag);
  if (!search) return;
  do {
    if (!tag) continue;
    const QString key = FromTagText(FreeImage_GetTagKey(tag));
    if (IsSkippedKey(key)) continue;
    // TagToString writes into one static buffer: copy it before the next call.
    const QString value = FromTagText(FreeImage_TagToString(model, tag, nullptr));
    lines.append(key + QLatin1String(": ") + value + u' ');
  } while (FreeImage_FindNextMetadata(search, &tag));
  FreeImage_FindCloseMetadata(search);
}

QStringList CollectAllMetadataLines(FIBITMAP* dib) {
  QStringList all;
  QStringList lines;
  for (FREE_IMAGE_MDMODEL model : OverlayMetadataModels) {
    CollectMetadataLines(dib, model, lines);
    all.append(lines);
  }
  return all;
}
