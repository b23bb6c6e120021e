#include "edit/exif_update.h"

#include "edit/exif/exif_data.h"

namespace {

// Applies the update; false when nothing changed.
bool Apply(TExifData& exif, const TExifUpdate& update) {
  bool changed = false;
  const TTiffOrientation orientation = exif.General().Orientation();
  const bool tagged = exif.General().Find(ExifTagID::Orientation) != nullptr;
  if ((update.Orientation == TExifUpdate::Upright && orientation != toTopLeft && tagged) ||
      (update.Orientation == TExifUpdate::Remove && tagged)) {
    exif.General().SetOrientation(update.Orientation == TExifUpdate::Upright ? toTopLeft : toUndefined);
    changed = true;
  }
  if (update.Width && update.Height) {
    TExifSection& details = exif[esDetails];
    for (const auto& [id, value] :
         {std::pair{ExifTagID::PixelXDimension, update.Width}, std::pair{ExifTagID::PixelYDimension, update.Height}}) {
      const TExifTag* tag = details.Find(id);
      if (!tag || (tag->ElementCount == 1 && tag->IsInteger() && tag->ElementAsUInt(0) == value)) continue;
      if (tag->DataType == tdShort && value <= 0xFFFF)
        details.SetTag(TExifTag::MakeShort(id, uint16_t(value)));
      else
        details.SetTag(TExifTag::MakeLong(id, value));
      changed = true;
    }
  }
  return changed;
}

}  // namespace

TOutputPieces UpdateFileExif(std::span<const uint8_t> file, const TExifUpdate& update) {
  TExifData exif;
  if (DetectGraphicFormat(file) != gfUnknown) {
    exif.LoadFromBytes(file);
    // A JPEG's dimensions follow its frame header whenever it is rewritten.
    if (Apply(exif, update)) return exif.RewriteBytes(file);
  }
  TOutputPieces unchanged;
  unchanged.Append(file);
  return unchanged;
}

std::vector<uint8_t> UpdateExifBlock(std::span<const uint8_t> block, const TExifUpdate& update) {
  try {
    TExifData exif;
    exif.LoadFromTiffBlock(block);
    if (Apply(exif, update)) return exif.SaveToTiffBlock();
  } catch (const EExifError&) {
  }
  return std::vector<uint8_t>(block.begin(), block.end());
}
