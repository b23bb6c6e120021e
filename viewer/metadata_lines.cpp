#include "viewer/metadata_lines.h"

#include "folder/file_path.h"
#include "viewer/maker_note_reader.h"
#include "viewer/metadata_values.h"

#include <map>

namespace {

// FreeImage hands out 8-bit text in no declared encoding: camera strings are
// mostly ASCII or UTF-8, older ones a Latin code page.
QString FromTagText(const char* text) { return text ? *DecodeTagText(QByteArrayView(text), true) : QString(); }

bool IsSkippedKey(const QString& key) {
  const QString lower = AsciiLowerCase(key);
  return lower.contains(QLatin1String("exifraw")) || lower.contains(QLatin1String("xml"));
}

// The maker note's tags as read again from the raw EXIF block, where
// FreeImage's own reading of them cannot be trusted.
std::map<std::uint16_t, TTagData> MakerNoteReadAgain(FIBITMAP* dib) {
  FITAG* raw = nullptr;
  if (!FreeImage_GetMetadata(FIMD_EXIF_RAW, dib, "ExifRaw", &raw) || !raw || !FreeImage_GetTagValue(raw)) return {};
  return ReadNikonMakerNote(QByteArray(static_cast<const char*>(FreeImage_GetTagValue(raw)),
                                       static_cast<qsizetype>(FreeImage_GetTagLength(raw))));
}

}  // namespace

void CollectMetadataLines(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, QStringList& lines) {
  lines.clear();
  if (!dib || FreeImage_GetMetadataCount(model, dib) == 0) return;
  const std::map<std::uint16_t, TTagData> readAgain =
      model == FIMD_EXIF_MAKERNOTE ? MakerNoteReadAgain(dib) : std::map<std::uint16_t, TTagData>{};
  FITAG* tag = nullptr;
  FIMETADATA* search = FreeImage_FindFirstMetadata(model, dib, &tag);
  if (!search) return;
  do {
    if (!tag) continue;
    const QString key = FromTagText(FreeImage_GetTagKey(tag));
    if (IsSkippedKey(key)) continue;
    TTagData data;
    data.model = model;
    data.id = FreeImage_GetTagID(tag);
    data.type = FreeImage_GetTagType(tag);
    data.count = FreeImage_GetTagCount(tag);
    if (const void* value = FreeImage_GetTagValue(tag))
      data.value = QByteArray(static_cast<const char*>(value), static_cast<qsizetype>(FreeImage_GetTagLength(tag)));
    // TagToString writes into one static buffer: copy it before the next call.
    data.freeImageText = FromTagText(FreeImage_TagToString(model, tag, nullptr));
    if (const auto again = readAgain.find(data.id); again != readAgain.end() && again->second.type == data.type &&
                                                    again->second.count == data.count &&
                                                    again->second.value != data.value) {
      // FreeImage read other bytes, so its text is not about this value either.
      data.value = again->second.value;
      data.freeImageText.clear();
    }
    lines.append(key + QLatin1String(": ") + MetadataValueText(data) + u' ');
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
