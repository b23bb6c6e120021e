// Writes the seeds of the decoder fuzzers that no encoder makes: camera RAW
// files in the DNG layout (raw/) and EXIF items (exif/), into the folder
// given. scripts/fuzz-decoders adds HEIF, AVIF and JPEG XL files made by
// Debian's encoders.
#include "../dng_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A baseline JPEG of 8 x 8 grey pixels, for the DNG's preview.
QByteArray TinyJpeg() {
  return QByteArray::fromHex(
      "FFD8FFDB004300080606070605080707070909080A0C140D0C0B0B0C1912130F141D1A1F1E1D1A1C1C20242E2720222C231C1C28"
      "37292C30313434341F27393D38323C2E333432FFC0000B080008000801011100FFC4001F0000010501010101010100000000000000"
      "000102030405060708090A0BFFC400B5100002010303020403050504040000017D01020300041105122131410613516107227114"
      "328191A1082342B1C11552D1F02433627282090A161718191A25262728292A3435363738393A434445464748494A53545556575859"
      "5A636465666768696A737475767778797A838485868788898A92939495969798999AA2A3A4A5A6A7A8A9AAB2B3B4B5B6B7B8B9BAC2"
      "C3C4C5C6C7C8C9CAD2D3D4D5D6D7D8D9DAE1E2E3E4E5E6E7E8E9EAF1F2F3F4F5F6F7F8F9FAFFDA0008010100003F00FB7F5FFFD9");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decoder_fuzz_seeds FOLDER\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(root + "/raw");
  QDir().mkpath(root + "/exif");
  bool ok = true;
  for (int orientation : {1, 6, 8}) {
    dngtest::TDngLayout layout;
    layout.previewJpeg = TinyJpeg();
    layout.previewWidth = 8;
    layout.previewHeight = 8;
    layout.orientation = orientation;
    ok = Write(root + QStringLiteral("/raw/camera-%1.dng").arg(orientation), dngtest::Dng(layout)) && ok;
  }
  // An EXIF item: the offset to the TIFF header, "Exif\0\0", a little-endian
  // IFD0 with the orientation and a pointer to an EXIF directory with ISO.
  const QByteArray item = QByteArray::fromHex(
      "00000006"
      "457869660000"
      "49492A0008000000"
      "0200"
      "120103000100000006000000"
      "698704000100000026000000"
      "00000000"
      "0100"
      "278803000100000064000000"
      "00000000");
  ok = Write(root + "/exif/item.bin", item) && ok;
  return ok ? 0 : 1;
}
