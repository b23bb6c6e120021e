#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// Small damaged and hostile image files, crafted byte by byte, one for each
// kind of fault FreeImage 3.18's decoders are known to crash or hang on.
namespace hostile {

struct TFile {
  QString name;  // the extension matters: some are known only by it
  QByteArray bytes;
};

// Every file of the set, deterministic.
std::vector<TFile> All();

// A progressive JPEG of width x height pixels followed by scans empty of
// data: libjpeg walks the whole image once per scan, so many scans make a
// decode that takes seconds or more from a file of a few hundred kilobytes.
QByteArray JpegWithEmptyScans(int width, int height, int scans);

// A BMP file with the 124-byte V5 info header. masks: red, green, blue,
// alpha (used with compression 3). palette: 4 bytes per entry, right after
// the header. profile: embedded after the pixels. The fields after the
// arguments override what the builder would write (0: keep): for crafting
// files that lie.
struct TBmpV5 {
  int width = 1;
  int height = 1;  // negative: rows top-down
  int bpp = 24;
  quint32 compression = 0;
  quint32 masks[4] = {};
  QByteArray palette;
  QByteArray pixels;  // the rows as they are stored
  QByteArray profile;
  quint32 dataOffset = 0;
  quint32 colorsUsed = 0;
  quint32 profileOffset = 0;
};
QByteArray BmpV5(const TBmpV5& layout);

}  // namespace hostile
