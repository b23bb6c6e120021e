// libFuzzer target: the reader and the writer on an in-memory file, as the
// rotate and flip commands use them (the thumbnail turned with the picture), and the TIFF block reader and writer on
// their own. Besides the sanitizers it checks that a rewritten file reads
// back with the orientation just written.
#include "edit/exif/exif_data.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

void RewriteFile(std::span<const uint8_t> file, TTiffOrientation orientation) {
  TExifData exif;
  try {
    exif.LoadFromBytes(file);
  } catch (const EExifError&) {
    // The viewer stops here; the writer is still worth driving over the
    // damaged structure with empty data.
  }
  std::vector<uint8_t> out;
  try {
    // Setting the orientation looks into the XMP packet, which may be
    // refused. The thumbnail is turned or mirrored as after the commands.
    exif.General().SetOrientation(orientation);
    exif.TransformThumbnail(orientation == toTopLeft ? ptRotate90 : ptFlipHorizontal);
    out = exif.SaveToBytes(file);
  } catch (const EExifError&) {
    return;
  }
  TExifData check;
  // What was just written must read back, with the orientation asked for (a
  // second Exif segment of a JPEG may surface once the first is gone, so
  // only the top-left case is checked).
  if (!check.LoadFromBytes(out)) __builtin_trap();
  if (orientation == toTopLeft && check.General().Orientation() != toTopLeft) __builtin_trap();
}

void RewriteBlock(std::span<const uint8_t> block) {
  TExifData exif;
  try {
    exif.LoadFromTiffBlock(block);
  } catch (const EExifError&) {
    return;
  }
  exif.General().SetOrientation(toTopLeft);
  try {
    const std::vector<uint8_t> out = exif.SaveToTiffBlock();
    TExifData check;
    check.LoadFromTiffBlock(out);
    if (check.General().Orientation() != toTopLeft) __builtin_trap();
  } catch (const EExifError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  RewriteFile(input, toTopLeft);
  RewriteFile(input, toUndefined);
  RewriteBlock(input);
  return 0;
}
