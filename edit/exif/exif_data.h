#pragma once

#include "edit/exif/exif_block.h"
#include "edit/exif/exif_errors.h"
#include "edit/exif/exif_section.h"
#include "edit/exif/output_pieces.h"
#include "edit/exif/picture_transform.h"
#include "edit/exif/xmp_packet.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum TTiffOrientation {
  toUndefined = 0,
  toTopLeft = 1,
  toTopRight = 2,
  toBottomRight = 3,
  toBottomLeft = 4,
  toLeftTop = 5,
  toRightTop = 6,
  toRightBottom = 7,
  toLeftBottom = 8,
};

// Formats whose metadata TExifData reads and rewrites, told by content.
enum TGraphicFormat { gfUnknown, gfJPEG, gfPSD, gfTIFF };
TGraphicFormat DetectGraphicFormat(std::span<const uint8_t> file);

class TExifData;

// IFD0, with the orientation setter that keeps the XMP packet in step.
class TExifGeneralSection : public TExifSection {
public:
  // toUndefined when the tag is absent or holds no valid value.
  TTiffOrientation Orientation() const;
  // Sets tag 0x0112 (a SHORT; an existing tag keeps its element count and
  // values after the first) or, for toUndefined, removes it. The XMP tiff
  // Orientation property follows under the XMP write policy.
  void SetOrientation(TTiffOrientation value);

private:
  friend class TExifData;
  explicit TExifGeneralSection(TExifData& owner) : TExifSection(esGeneral), FOwner(owner) {}
  TExifData& FOwner;
};

// The EXIF and XMP metadata of one JPEG, PSD or TIFF file: read it, change
// the orientation, write it back without touching the image data.
class TExifData {
public:
  TExifData();
  TExifData(const TExifData&) = delete;
  TExifData& operator=(const TExifData&) = delete;

  // Reads the metadata of a file. False, with empty data and no error, when
  // the content is neither JPEG, PSD nor TIFF. Open errors raise EFOpenError;
  // a segment cut short EStreamReadError; a wrong TIFF header EInvalidTiffData.
  bool LoadFromGraphic(const std::string& fileName);
  // Rewrites the file's metadata; the file is replaced atomically and is
  // left untouched by any error (EUnsupportedGraphicFormat, EStreamReadError,
  // EExifDataTooLarge, EFOpenError, EFWriteError ...).
  void SaveToGraphic(const std::string& fileName);

  // The same on a file's bytes in memory: the file functions use these.
  bool LoadFromBytes(std::span<const uint8_t> file);
  // The new content of the file; the result points into file.
  TOutputPieces RewriteBytes(std::span<const uint8_t> file);
  std::vector<uint8_t> SaveToBytes(std::span<const uint8_t> file) { return RewriteBytes(file).Join(); }

  // The block writer and reader on their own.
  std::vector<uint8_t> SaveToTiffBlock();
  void LoadFromTiffBlock(std::span<const uint8_t> block);

  void Clear();
  // No tag, no thumbnail and no XMP packet.
  bool IsEmpty() const;

  TExifGeneralSection& General() { return FGeneral; }
  TExifSection& Section(TExifSectionKind kind);
  const TExifSection& Section(TExifSectionKind kind) const;
  TExifSection& operator[](TExifSectionKind kind) { return Section(kind); }

  TByteOrder ByteOrder() const { return FByteOrder; }
  void SetByteOrder(TByteOrder value) { FByteOrder = value; }
  const std::vector<uint8_t>& Thumbnail() const { return FThumbnail; }
  void SetThumbnail(std::vector<uint8_t> jpeg) { FThumbnail = std::move(jpeg); }
  // Lays the thumbnail out as transform laid out the picture's stored pixels
  // (after a rotate or flip command), so that it goes on showing what they
  // show: it is decoded, turned or mirrored and encoded again. IFD1's
  // ImageWidth and ImageLength follow its new size, and an orientation tag
  // of IFD1 takes IFD0's, so call this after setting the orientation. A
  // thumbnail that does not decode goes, with IFD1: it would show the
  // picture the wrong way round.
  void TransformThumbnail(TPictureTransform transform);
  TXMPPacket& XMPPacket() { return FXMPPacket; }

  bool RemovePaddingTagsOnSave() const { return FRemovePaddingTagsOnSave; }
  void SetRemovePaddingTagsOnSave(bool value) { FRemovePaddingTagsOnSave = value; }
  TXMPWritePolicy XMPWritePolicy() const { return FXMPWritePolicy; }
  void SetXMPWritePolicy(TXMPWritePolicy value) { FXMPWritePolicy = value; }

private:
  friend class TExifGeneralSection;

  TExifBlock ToBlock() const;
  void Assign(TExifBlock block);
  // Keeps an XMP property in step with a tag: value empty means removed.
  void UpdateXmp(std::string_view ns, std::string_view name, const std::string& value);
  // Sets PixelXDimension and PixelYDimension to the frame size.
  void SetPixelDimensions(uint32_t width, uint32_t height);
  TOutputPieces RewriteJpegFile(std::span<const uint8_t> file);

  TExifGeneralSection FGeneral;
  TExifSection FDetails{esDetails}, FInterop{esInterop}, FGPS{esGPS}, FThumbnailSection{esThumbnail},
      FMakerNote{esMakerNote};
  TByteOrder FByteOrder = boLittleEndian;
  std::vector<uint8_t> FThumbnail;
  TXMPPacket FXMPPacket;
  bool FRemovePaddingTagsOnSave = true;
  TXMPWritePolicy FXMPWritePolicy = xwUpdateIfExists;
};
