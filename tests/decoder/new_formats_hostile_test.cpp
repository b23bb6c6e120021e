// Damaged and hostile HEIF, AVIF, JPEG XL and camera RAW files, made here
// from good ones, one per kind of fault: the worker gives a picture or none,
// in time, and the next load works.
#include "dng_file.h"
#include "new_format_files.h"

#include "support/images.h"
#include "support/temp_folder.h"
#include "viewer/image_loader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

struct THostile {
  QString name;
  QByteArray bytes;
};

// Every byte from a third of the way on, one in 97, inverted in part.
QByteArray BitFlipped(QByteArray bytes) {
  for (qsizetype i = bytes.size() / 3; i < bytes.size(); i += 97) bytes[i] = static_cast<char>(bytes[i] ^ 0x55);
  return bytes;
}

// The 32-bit big-endian word after the first occurrence of tag (plus skip
// bytes) set to value; the bytes unchanged when the tag is not there.
QByteArray Patched(QByteArray bytes, const char* tag, int skip, quint32 value) {
  const qsizetype at = bytes.indexOf(tag);
  if (at < 0 || at + 4 + skip + 4 > bytes.size()) return bytes;
  for (int i = 0; i < 4; ++i) bytes[at + 4 + skip + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
  return bytes;
}

std::vector<THostile> HostileFiles(const TempFolder& dir) {
  const QString source = newfiles::QuadrantJpeg(dir, QStringLiteral("src/source.jpg"), true, 6);
  std::vector<THostile> files;
  for (const char* name : {"good.heic", "good.avif", "good.jxl"}) {
    const QByteArray good = testimg::ReadFile(newfiles::Encode(dir, source, QLatin1String(name)));
    if (good.isEmpty()) return {};
    const QString ext = QString::fromLatin1(name).section(u'.', 1);
    files.push_back({QStringLiteral("truncated.") + ext, good.left(good.size() / 2)});
    files.push_back({QStringLiteral("header-only.") + ext, good.left(40)});
    files.push_back({QStringLiteral("bit-flipped.") + ext, BitFlipped(good)});
    // A box that claims to run far past the end of the file: the metadata
    // of a HEIF file, the (compressed) EXIF of a JPEG XL container.
    QByteArray longBox = good;
    const qsizetype box = longBox.indexOf(ext == QLatin1String("jxl") ? "brob" : "meta");
    if (box >= 4) longBox.replace(box - 4, 4, QByteArray::fromHex("7FFFFFF0"));
    files.push_back({QStringLiteral("long-box.") + ext, longBox});
    // The picture's stated size far beyond any limit.
    if (ext != QLatin1String("jxl"))
      files.push_back(
          {QStringLiteral("huge-size.") + ext, Patched(Patched(good, "ispe", 4, 0x7FFFFFFF), "ispe", 8, 0x7FFFFFFF)});
  }
  dngtest::TDngLayout layout;
  layout.previewJpeg = testimg::ReadFile(source);
  layout.previewWidth = 64;
  layout.previewHeight = 48;
  const QByteArray dng = dngtest::Dng(layout);
  files.push_back({QStringLiteral("truncated.nef"), dng.left(dng.size() / 2)});
  files.push_back({QStringLiteral("bit-flipped.dng"), BitFlipped(dng)});
  dngtest::TDngLayout lies = layout;
  lies.statedRawWidth = 0x7FFFFFFF;
  files.push_back({QStringLiteral("huge-mosaic.nef"), dngtest::Dng(lies)});
  lies = layout;
  lies.statedPreviewOffset = 0x7FFFFFF0;
  files.push_back({QStringLiteral("preview-outside.dng"), dngtest::Dng(lies)});
  return files;
}

TEST(NewFormatsHostile, EachDamagedFileGivesAPictureOrNoneInTimeAndTheNextLoadWorks) {
  TempFolder dir;
  const QString good = dir.File("good.png");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(6, 4, 0x204060), FIF_PNG, good));
  const std::vector<THostile> files = HostileFiles(dir);
  ASSERT_EQ(files.size(), 18u);
  for (const THostile& file : files) {
    SCOPED_TRACE(file.name.toStdString());
    const QString path = dir.Write(QStringLiteral("hostile/") + file.name, file.bytes);
    TFreeBitmap bitmap;
    const auto started = std::chrono::steady_clock::now();
    LoadImageFile(bitmap, path, true);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(9));
    if (bitmap.IsValid()) {
      EXPECT_GT(bitmap.Width(), 0u);
      EXPECT_LE(bitmap.Width(), 1024u);
    }
    IdentifyReadableFormat(path);
    TFreeBitmap next;
    ASSERT_TRUE(LoadImageFile(next, good, true));
    EXPECT_EQ(next.Width(), 6u);
  }
}

}  // namespace
