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

}  // namespace hostile
