#include "hostile_files.h"

#include "support/images.h"

#include <QTemporaryDir>

#include <FreeImage.h>

#include <cstdint>

namespace hostile {

namespace {

void Be16(QByteArray& b, int v) {
  b.append(static_cast<char>((v >> 8) & 0xFF));
  b.append(static_cast<char>(v & 0xFF));
}
void Be32(QByteArray& b, quint32 v) {
  Be16(b, static_cast<int>(v >> 16));
  Be16(b, static_cast<int>(v & 0xFFFF));
}
void Le16(QByteArray& b, int v) {
  b.append(static_cast<char>(v & 0xFF));
  b.append(static_cast<char>((v >> 8) & 0xFF));
}
void Le32(QByteArray& b, quint32 v) {
  Le16(b, static_cast<int>(v & 0xFFFF));
  Le16(b, static_cast<int>(v >> 16));
}

QByteArray SavedBytes(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("x"));
  testimg::Save(dib, fif, path, flags);
  return testimg::ReadFile(path);
}

// A 72-dpi PICT 2 whose PackBitsRect claims rows far wider than its bounds.
QByteArray Pict() {
  QByteArray b(512, '\0');  // the file header nobody reads
  Be16(b, 0);               // picture size (unused in version 2)
  Be16(b, 0);
  Be16(b, 0);
  Be16(b, 32);
  Be16(b, 32);  // picture frame
  Be16(b, 0x0011);
  Be16(b, 0x02FF);  // version 2
  Be16(b, 0x0C00);
  Be16(b, -2);
  Be16(b, 0);  // header, extended version 2
  Be32(b, 0x00480000);
  Be32(b, 0x00480000);  // 72 dpi
  Be16(b, 0);
  Be16(b, 0);
  Be16(b, 32);
  Be16(b, 32);
  Be32(b, 0);
  Be16(b, 0x0098);           // PackBitsRect
  Be16(b, 0x8000 | 0x3FFF);  // pixmap with an absurd row size
  Be16(b, 0);
  Be16(b, 0);
  Be16(b, 32);
  Be16(b, 32);  // bounds
  Be16(b, 0);
  Be16(b, 0);
  Be32(b, 0);  // version, pack type, pack size
  Be32(b, 0x00480000);
  Be32(b, 0x00480000);  // resolution
  Be16(b, 0);
  Be16(b, 8);
  Be16(b, 1);
  Be16(b, 8);  // pixel type, size, components, component size
  Be32(b, 0);
  Be32(b, 0);
  Be32(b, 0);  // plane bytes, table, reserved
  Be32(b, 0);
  Be16(b, 0);
  Be16(b, 255);  // colour table: seed, flags, 256 entries
  for (int i = 0; i < 4; ++i) {
    Be16(b, i);
    Be16(b, 0xFFFF);
    Be16(b, 0);
    Be16(b, 0);
  }  // but only four
  Be16(b, 0);
  Be16(b, 0);
  Be16(b, 32);
  Be16(b, 32);  // source
  Be16(b, 0);
  Be16(b, 0);
  Be16(b, 32);
  Be16(b, 32);  // destination
  Be16(b, 0);   // mode
  for (int row = 0; row < 8; ++row) {
    Be16(b, 0x7FFF);
    b.append(QByteArray(16, '\x81'));
  }
  Be16(b, 0x00FF);
  return b;
}

// An RGB PSD, RLE compressed, whose row lengths claim more than the file holds
// and whose packed rows unpack beyond their width.
QByteArray PsdBadRle() {
  QByteArray b("8BPS");
  Be16(b, 1);
  b.append(QByteArray(6, '\0'));
  Be16(b, 3);
  Be32(b, 16);
  Be32(b, 16);
  Be16(b, 8);
  Be16(b, 3);
  Be32(b, 0);
  Be32(b, 0);
  Be32(b, 0);  // colour mode data, resources, layers
  Be16(b, 1);  // RLE
  for (int i = 0; i < 3 * 16; ++i) Be16(b, 0x7FFF);
  for (int i = 0; i < 40; ++i) {
    b.append('\x81');
    b.append('\x7F');
    b.append('\x7F');
    b.append(QByteArray(3, 'A'));
  }
  return b;
}

// One 32-bit 64 x 64 icon whose image is a bare header with no pixels.
QByteArray IcoTooSmall() {
  QByteArray b;
  Le16(b, 0);
  Le16(b, 1);
  Le16(b, 1);  // icon directory, one image
  b.append('\x40');
  b.append('\x40');
  b.append('\0');
  b.append('\0');
  Le16(b, 1);
  Le16(b, 32);
  Le32(b, 40);
  Le32(b, 22);  // planes, bits, size, offset
  Le32(b, 40);
  Le32(b, 64);
  Le32(b, 128);
  Le16(b, 1);
  Le16(b, 32);
  Le32(b, 0);
  Le32(b, 0);
  Le32(b, 0);
  Le32(b, 0);
  Le32(b, 0);
  Le32(b, 0);
  return b;
}

QByteArray SmallJpeg(int flags = 0) { return SavedBytes(testimg::Solid24(48, 32, 0x4080C0), FIF_JPEG, flags); }

// A JPEG whose Exif IFD0 claims 65535 entries in a block of a few bytes.
QByteArray JpegExifCount65535() {
  QByteArray app1("\xFF\xE1", 2);
  QByteArray body("Exif\0\0", 6);
  body.append("II*\0", 4);
  Le32(body, 8);
  Le16(body, 0xFFFF);
  for (int i = 0; i < 6; ++i) {  // a few entries, then nothing
    Le16(body, 0x010F);
    Le16(body, 2);
    Le32(body, 0x00FFFFFF);
    Le32(body, 0x7FFFFFF0);
  }
  Be16(app1, body.size() + 2);
  app1.append(body);
  const QByteArray jpeg = SmallJpeg();
  return jpeg.left(2) + app1 + jpeg.mid(2);
}

QByteArray TinyExr() { return QByteArray("\x76\x2F\x31\x01\x02\0\0\0", 8); }

QByteArray XbmWithoutPixels() {
  return QByteArray("#define x_width 64\n#define x_height 64\nstatic char x_bits[] = {\n");
}

// A PNG whose tEXt chunk claims 2^31 bytes.
QByteArray PngHugeText() {
  QByteArray png = SavedBytes(testimg::Solid24(8, 8, 0x102030), FIF_PNG, 0);
  QByteArray chunk;
  Be32(chunk, 0x80000000u);
  chunk.append("tEXtComment\0", 12);
  chunk.append(QByteArray(64, 'x'));
  const int afterHeader = 8 + 25;  // signature, IHDR
  return png.left(afterHeader) + chunk + png.mid(afterHeader);
}

// A BMP header claiming 65535 x 65535 pixels of 24 bits, with none.
QByteArray BmpHugeHeader() {
  QByteArray b("BM");
  Le32(b, 54);
  Le32(b, 0);
  Le32(b, 54);
  Le32(b, 40);
  Le32(b, 65535);
  Le32(b, 65535);
  Le16(b, 1);
  Le16(b, 24);
  Le32(b, 0);
  Le32(b, 0);
  Le32(b, 2835);
  Le32(b, 2835);
  Le32(b, 0);
  Le32(b, 0);
  return b;
}

// An IFF ILBM whose body ends long before its rows do.
QByteArray IffShortBody() {
  QByteArray bmhd;
  Be16(bmhd, 320);
  Be16(bmhd, 200);
  Be16(bmhd, 0);
  Be16(bmhd, 0);
  bmhd.append('\x08');
  bmhd.append('\0');
  bmhd.append('\x01');
  bmhd.append('\0');
  Be16(bmhd, 0);
  bmhd.append('\x0A');
  bmhd.append('\x0B');
  Be16(bmhd, 320);
  Be16(bmhd, 200);
  QByteArray form("ILBM");
  form.append("BMHD");
  Be32(form, bmhd.size());
  form.append(bmhd);
  form.append("BODY");
  Be32(form, 0x00FFFFFF);
  form.append(QByteArray(10, '\x7F'));
  QByteArray b("FORM");
  Be32(b, form.size());
  return b + form;
}

}  // namespace

QByteArray JpegWithEmptyScans(int width, int height, int scans) {
  FIBITMAP* dib = testimg::Solid24(static_cast<unsigned>(width), static_cast<unsigned>(height), 0x808080);
  QByteArray jpeg = SavedBytes(dib, FIF_JPEG, JPEG_PROGRESSIVE | JPEG_QUALITYNORMAL);
  // An empty DC refinement scan of component 1: a header and no data.
  const QByteArray scan = QByteArray::fromHex(
      "FFDA000801010000001"
      "0");
  QByteArray extra;
  extra.reserve(scan.size() * scans);
  for (int i = 0; i < scans; ++i) extra.append(scan);
  return jpeg.left(jpeg.size() - 2) + extra + jpeg.right(2);
}

QByteArray BmpV5(const TBmpV5& layout) {
  const quint32 headerEnd = 14 + 124 + static_cast<quint32>(layout.palette.size());
  const quint32 dataOffset = layout.dataOffset ? layout.dataOffset : headerEnd;
  const quint32 profileAt = static_cast<quint32>(headerEnd + layout.pixels.size());
  QByteArray b("BM");
  Le32(b, static_cast<quint32>(profileAt + layout.profile.size()));
  Le32(b, 0);
  Le32(b, dataOffset);
  Le32(b, 124);
  Le32(b, static_cast<quint32>(layout.width));
  Le32(b, static_cast<quint32>(layout.height));
  Le16(b, 1);
  Le16(b, layout.bpp);
  Le32(b, layout.compression);
  Le32(b, static_cast<quint32>(layout.pixels.size()));
  Le32(b, 2835);  // 72 dpi
  Le32(b, 2835);
  Le32(b, layout.colorsUsed ? layout.colorsUsed : static_cast<quint32>(layout.palette.size() / 4));
  Le32(b, 0);
  for (quint32 m : layout.masks) Le32(b, m);
  Le32(b, layout.profile.isEmpty() ? 0x73524742 : 0x4D424544);  // 'sRGB' or 'MBED'
  b.append(QByteArray(36 + 12, '\0'));                          // endpoints and gamma
  Le32(b, 4);                                                   // intent
  Le32(b, layout.profile.isEmpty() ? 0 : (layout.profileOffset ? layout.profileOffset : profileAt - 14));
  Le32(b, static_cast<quint32>(layout.profile.size()));
  Le32(b, 0);
  b.append(layout.palette);
  b.append(layout.pixels);
  b.append(layout.profile);
  return b;
}

namespace {

// BMP V5 files that lie about their sizes and offsets, one per lie.
std::vector<TFile> HostileBmps() {
  std::vector<TFile> files;
  TBmpV5 huge;  // 65535 x 65535 at 32 bits, a few bytes of pixels
  huge.width = huge.height = 65535;
  huge.bpp = 32;
  huge.compression = 3;
  huge.masks[0] = 0xFF0000, huge.masks[1] = 0xFF00, huge.masks[2] = 0xFF, huge.masks[3] = 0xFF000000u;
  huge.pixels = QByteArray(64, '\x7F');
  files.push_back({QStringLiteral("v5-huge.bmp"), BmpV5(huge)});
  TBmpV5 tall = huge;  // the most negative height there is
  tall.width = 1;
  tall.height = INT32_MIN;
  files.push_back({QStringLiteral("v5-int-min-height.bmp"), BmpV5(tall)});
  TBmpV5 beyond;  // pixels said to start past the end
  beyond.width = beyond.height = 4;
  beyond.pixels = QByteArray(48, '\x10');
  beyond.dataOffset = 0x7FFFFFF0;
  files.push_back({QStringLiteral("v5-data-beyond-end.bmp"), BmpV5(beyond)});
  TBmpV5 palette;  // 200 palette entries claimed, 2 there, pixels overlapping them
  palette.width = palette.height = 4;
  palette.bpp = 8;
  palette.palette = QByteArray(8, '\x40');
  palette.colorsUsed = 200;
  palette.pixels = QByteArray(16, '\xC7');
  files.push_back({QStringLiteral("v5-palette-past-pixels.bmp"), BmpV5(palette)});
  TBmpV5 masks = huge;  // a mask with a hole in it
  masks.width = masks.height = 2;
  masks.masks[0] = 0xF0F000;
  masks.pixels = QByteArray(16, '\x33');
  files.push_back({QStringLiteral("v5-split-mask.bmp"), BmpV5(masks)});
  TBmpV5 profile;  // an embedded profile far past the end
  profile.width = profile.height = 2;
  profile.pixels = QByteArray(16, '\x55');
  profile.profile = QByteArray(32, '\x01');
  profile.profileOffset = 0xFFFFFF00u;
  files.push_back({QStringLiteral("v5-profile-past-end.bmp"), BmpV5(profile)});
  TBmpV5 depth;  // 64 bits per pixel
  depth.width = depth.height = 2;
  depth.bpp = 64;
  depth.pixels = QByteArray(32, '\x01');
  files.push_back({QStringLiteral("v5-64-bit.bmp"), BmpV5(depth)});
  QByteArray cut = BmpV5(profile);  // the info header cut short
  cut.truncate(60);
  files.push_back({QStringLiteral("v5-cut-header.bmp"), cut});
  return files;
}

}  // namespace

std::vector<TFile> All() {
  std::vector<TFile> files{
      {QStringLiteral("valid-looking.pct"), Pict()},
      {QStringLiteral("bad-rle.psd"), PsdBadRle()},
      {QStringLiteral("too-small.ico"), IcoTooSmall()},
      {QStringLiteral("exif-65535.jpg"), JpegExifCount65535()},
      {QStringLiteral("empty.pct"), QByteArray()},
      {QStringLiteral("eight-bytes.exr"), TinyExr()},
      {QStringLiteral("no-pixels.xbm"), XbmWithoutPixels()},
      {QStringLiteral("empty-scans.jpg"), JpegWithEmptyScans(256, 256, 3000)},
      {QStringLiteral("huge-text.png"), PngHugeText()},
      {QStringLiteral("huge-header.bmp"), BmpHugeHeader()},
      {QStringLiteral("short-body.iff"), IffShortBody()},
  };
  for (TFile& bmp : HostileBmps()) files.push_back(std::move(bmp));
  return files;
}

}  // namespace hostile
