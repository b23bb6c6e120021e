#include "viewer/maker_note_reader.h"

#include <QSysInfo>

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

namespace {

constexpr std::uint16_t ExifIfdPointer = 0x8769;
constexpr std::uint16_t MakerNoteTag = 0x927C;
constexpr int MaxEntries = 1000;  // more than any camera writes; a damaged count stops here

// A TIFF structure inside bytes, read with its own byte order and bounds.
class TTiffView {
public:
  // tiff starts with "II" or "MM"; anything else leaves the view invalid.
  explicit TTiffView(QByteArray tiff) : FBytes(std::move(tiff)) {
    if (FBytes.startsWith("II"))
      FValid = true, FBig = false;
    else if (FBytes.startsWith("MM"))
      FValid = true, FBig = true;
  }
  bool Valid() const { return FValid; }
  bool BigEndian() const { return FBig; }
  const QByteArray& Bytes() const { return FBytes; }

  std::optional<std::uint32_t> U16(qint64 at) const { return Unsigned(at, 2); }
  std::optional<std::uint32_t> U32(qint64 at) const { return Unsigned(at, 4); }

  struct TEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    qint64 entryAt = 0;  // where the 12-byte entry starts
  };
  // The entries of the directory at offset; empty when it does not fit.
  std::vector<TEntry> Directory(qint64 offset) const {
    std::vector<TEntry> entries;
    const std::optional<std::uint32_t> count = U16(offset);
    if (!count || *count > MaxEntries || offset + 2 + 12 * qint64(*count) > FBytes.size()) return entries;
    for (std::uint32_t i = 0; i < *count; ++i) {
      const qint64 at = offset + 2 + 12 * qint64(i);
      entries.push_back({std::uint16_t(*U16(at)), std::uint16_t(*U16(at + 2)), *U32(at + 4), at});
    }
    return entries;
  }
  // Where an entry's value lies: in the entry when it fits there, else at
  // its offset; -1 when it would reach past the end.
  qint64 ValueAt(const TEntry& e, qint64 size) const {
    if (size <= 4) return e.entryAt + 8;
    const std::optional<std::uint32_t> offset = U32(e.entryAt + 8);
    if (!offset || qint64(*offset) + size > FBytes.size()) return -1;
    return *offset;
  }

private:
  std::optional<std::uint32_t> Unsigned(qint64 at, int size) const {
    if (at < 0 || at + size > FBytes.size()) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i) {
      const auto byte = static_cast<unsigned char>(FBytes[at + (FBig ? i : size - 1 - i)]);
      v = v << 8 | byte;
    }
    return v;
  }

  QByteArray FBytes;
  bool FValid = false;
  bool FBig = false;
};

// Bytes of one element of each type, and the width of the numbers it is
// made of (a rational is two 4-byte numbers); 0 for unknown types.
int TypeSize(std::uint16_t type) {
  static constexpr int Sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < std::size(Sizes) ? Sizes[type] : 0;
}
int NumberWidth(std::uint16_t type) { return type == 5 || type == 10 ? 4 : TypeSize(type); }

// value in the file's byte order to this machine's, number by number.
QByteArray ToHostOrder(QByteArray value, int width, bool bigEndian) {
  const bool hostBig = QSysInfo::ByteOrder == QSysInfo::BigEndian;
  if (width <= 1 || bigEndian == hostBig) return value;
  for (qsizetype i = 0; i + width <= value.size(); i += width)
    std::reverse(value.begin() + i, value.begin() + i + width);
  return value;
}

std::optional<QByteArray> MakerNoteBytes(const TTiffView& exif) {
  const std::optional<std::uint32_t> ifd0 = exif.U32(4);
  if (!ifd0) return std::nullopt;
  for (const auto& e : exif.Directory(*ifd0)) {
    if (e.tag != ExifIfdPointer) continue;
    const std::optional<std::uint32_t> exifIfd = exif.U32(e.entryAt + 8);
    if (!exifIfd) return std::nullopt;
    for (const auto& m : exif.Directory(*exifIfd)) {
      if (m.tag != MakerNoteTag) continue;
      const qint64 at = exif.ValueAt(m, m.count);
      if (at < 0) return std::nullopt;
      return exif.Bytes().mid(at, m.count);
    }
  }
  return std::nullopt;
}

}  // namespace

std::map<std::uint16_t, TTagData> ReadNikonMakerNote(const QByteArray& exifRaw) {
  std::map<std::uint16_t, TTagData> tags;
  const TTiffView exif(exifRaw.startsWith(QByteArray("Exif\0\0", 6)) ? exifRaw.mid(6) : exifRaw);
  if (!exif.Valid()) return tags;
  const std::optional<QByteArray> note = MakerNoteBytes(exif);
  // "Nikon\0", a 2-byte version starting with 2, two zero bytes, then a TIFF header.
  if (!note || !note->startsWith(QByteArray("Nikon\0\x02", 7)) || note->size() < 18) return tags;
  const TTiffView inner(note->mid(10));
  const std::optional<std::uint32_t> ifd = inner.U32(4);
  if (!inner.Valid() || !ifd) return tags;
  for (const auto& e : inner.Directory(*ifd)) {
    const int size = TypeSize(e.type);
    if (size == 0) continue;
    const qint64 length = qint64(size) * e.count;
    const qint64 at = inner.ValueAt(e, length);
    if (at < 0) continue;
    TTagData tag;
    tag.model = FIMD_EXIF_MAKERNOTE;
    tag.id = e.tag;
    tag.type = static_cast<FREE_IMAGE_MDTYPE>(e.type);
    tag.count = e.count;
    tag.value = ToHostOrder(inner.Bytes().mid(at, length), NumberWidth(e.type), inner.BigEndian());
    tags[e.tag] = std::move(tag);
  }
  return tags;
}
