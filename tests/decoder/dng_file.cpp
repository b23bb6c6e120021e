#include "dng_file.h"

#include <vector>

namespace dngtest {

namespace {

enum TType { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5, SRational = 10 };

struct TEntry {
  unsigned tag;
  TType type;
  std::vector<unsigned> values;  // rationals: numerator, denominator pairs
  QByteArray text;               // Ascii
};

class TTiffWriter {
public:
  TTiffWriter() { FBytes = QByteArray("II\x2A\x00\0\0\0\0", 8); }
  int Size() const { return static_cast<int>(FBytes.size()); }
  int Append(const QByteArray& data) {
    Align();
    const int at = Size();
    FBytes += data;
    return at;
  }
  // Writes a directory (entries sorted by tag) and returns its offset.
  int Directory(const std::vector<TEntry>& entries) {
    Align();
    const int at = Size();
    const int dataStart = at + 2 + 12 * static_cast<int>(entries.size()) + 4;
    QByteArray dir, data;
    Put16(dir, static_cast<unsigned>(entries.size()));
    for (const TEntry& e : entries) {
      QByteArray value;
      unsigned count = 0;
      if (e.type == Ascii) {
        value = e.text + '\0';
        count = static_cast<unsigned>(value.size());
      } else {
        for (unsigned v : e.values) {
          if (e.type == Byte)
            value.append(static_cast<char>(v));
          else if (e.type == Short)
            Put16(value, v);
          else
            Put32(value, v);
        }
        count = e.type == Rational || e.type == SRational ? static_cast<unsigned>(e.values.size() / 2)
                                                          : static_cast<unsigned>(e.values.size());
      }
      Put16(dir, e.tag);
      Put16(dir, e.type);
      Put32(dir, count);
      if (value.size() <= 4) {
        dir += value + QByteArray(4 - value.size(), '\0');
      } else {
        if (data.size() % 2) data.append('\0');
        Put32(dir, static_cast<unsigned>(dataStart + data.size()));
        data += value;
      }
    }
    Put32(dir, 0);
    FBytes += dir + data;
    return at;
  }
  void SetFirstDirectory(int offset) {
    for (int i = 0; i < 4; ++i) FBytes[4 + i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
  }
  QByteArray Bytes() const { return FBytes; }

  static void Put16(QByteArray& b, unsigned v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>((v >> 8) & 0xFF));
  }
  static void Put32(QByteArray& b, unsigned v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
  }

private:
  void Align() {
    if (FBytes.size() % 2) FBytes.append('\0');
  }
  QByteArray FBytes;
};

}  // namespace

QByteArray Dng(const TDngLayout& layout) {
  TTiffWriter tiff;
  const int preview = tiff.Append(layout.previewJpeg);
  // A mid-grey mosaic with a little pattern, 16 bits a sample.
  QByteArray mosaic;
  for (int y = 0; y < layout.rawHeight; ++y)
    for (int x = 0; x < layout.rawWidth; ++x)
      TTiffWriter::Put16(mosaic, 0x4000 + static_cast<unsigned>((x ^ y) & 0xFF) * 64);
  const int raw = tiff.Append(mosaic);

  const unsigned rw = static_cast<unsigned>(layout.rawWidth), rh = static_cast<unsigned>(layout.rawHeight);
  const int rawDir = tiff.Directory({
      {254, Long, {0}, {}},
      {256, Long, {layout.statedRawWidth ? layout.statedRawWidth : rw}, {}},
      {257, Long, {rh}, {}},
      {258, Short, {16}, {}},
      {259, Short, {1}, {}},
      {262, Short, {32803}, {}},
      {273, Long, {static_cast<unsigned>(raw)}, {}},
      {277, Short, {1}, {}},
      {278, Long, {rh}, {}},
      {279, Long, {static_cast<unsigned>(mosaic.size())}, {}},
      {284, Short, {1}, {}},
      {33421, Short, {2, 2}, {}},
      {33422, Byte, {0, 1, 1, 2}, {}},
      {50717, Long, {65535}, {}},
  });
  const int exifDir = tiff.Directory({
      {33434, Rational, {1, 125}, {}},
      {33437, Rational, {28, 10}, {}},
      {34855, Short, {layout.iso}, {}},
  });
  const unsigned pw = static_cast<unsigned>(layout.previewWidth), ph = static_cast<unsigned>(layout.previewHeight);
  const int mainDir = tiff.Directory({
      {254, Long, {1}, {}},
      {256, Long, {pw}, {}},
      {257, Long, {ph}, {}},
      {258, Short, {8, 8, 8}, {}},
      {259, Short, {7}, {}},
      {262, Short, {6}, {}},
      {271, Ascii, {}, QByteArray("Velvane")},
      {272, Ascii, {}, QByteArray("Test Camera")},
      {273, Long, {layout.statedPreviewOffset ? layout.statedPreviewOffset : static_cast<unsigned>(preview)}, {}},
      {274, Short, {static_cast<unsigned>(layout.orientation)}, {}},
      {277, Short, {3}, {}},
      {278, Long, {ph}, {}},
      {279, Long, {static_cast<unsigned>(layout.previewJpeg.size())}, {}},
      {284, Short, {1}, {}},
      {330, Long, {static_cast<unsigned>(rawDir)}, {}},
      {34665, Long, {static_cast<unsigned>(exifDir)}, {}},
      {50706, Byte, {1, 4, 0, 0}, {}},
      {50708, Ascii, {}, QByteArray("Velvane Test Camera")},
      {50721, SRational, {1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1}, {}},  // identity
      {50778, Short, {21}, {}},
  });
  tiff.SetFirstDirectory(mainDir);
  return tiff.Bytes();
}

}  // namespace dngtest
