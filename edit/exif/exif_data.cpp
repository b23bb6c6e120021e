#include "edit/exif/exif_data.h"

#include "edit/exif/file_io.h"
#include "edit/exif/jpeg_rewrite.h"
#include "edit/exif/jpeg_segments.h"
#include "edit/exif/psd_file.h"
#include "edit/exif/thumbnail_jpeg.h"
#include "edit/exif/tiff_file.h"
#include "edit/exif/tiff_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

TGraphicFormat DetectGraphicFormat(std::span<const uint8_t> file) {
  if (IsJpeg(file)) return gfJPEG;
  if (IsPsd(file)) return gfPSD;
  if (HasTiffHeader(file)) return gfTIFF;
  return gfUnknown;
}

TTiffOrientation TExifGeneralSection::Orientation() const {
  const TExifTag* tag = Find(ExifTagID::Orientation);
  const uint32_t value = tag && tag->ElementCount > 0 ? tag->ElementAsUInt(0) : 0;
  return value >= toTopLeft && value <= toLeftBottom ? TTiffOrientation(value) : toUndefined;
}

void TExifGeneralSection::SetOrientation(TTiffOrientation value) {
  std::string text;
  if (value == toUndefined) {
    Remove(ExifTagID::Orientation);
  } else {
    const TExifTag* old = Find(ExifTagID::Orientation);
    TExifTag tag = TExifTag::MakeShort(ExifTagID::Orientation, uint16_t(value));
    if (old && old->ElementCount > 1) {
      // The element count stays; numeric values after the first carry over.
      tag.ElementCount = old->ElementCount;
      tag.Data.resize(size_t(old->ElementCount) * 2);
      for (uint32_t i = 1; i < old->ElementCount; ++i) {
        const uint16_t element = uint16_t(old->ElementAsUInt(i));
        std::memcpy(tag.Data.data() + 2 * size_t(i), &element, 2);
      }
    }
    SetTag(std::move(tag));
    text = std::to_string(int(value));
  }
  FOwner.UpdateXmp(XmpNamespace::Tiff, "Orientation", text);
  FOwner.UpdateXmp(XmpNamespace::Tiff, "orientation", text);
}

TExifData::TExifData() : FGeneral(*this) {}

void TExifData::Clear() {
  for (TExifSectionKind kind : {esGeneral, esDetails, esInterop, esGPS, esThumbnail, esMakerNote})
    Section(kind).Clear();
  FByteOrder = boLittleEndian;
  FThumbnail.clear();
  FXMPPacket.Clear();
}

bool TExifData::IsEmpty() const { return ToBlock().IsEmpty() && FXMPPacket.IsEmpty(); }

TExifSection& TExifData::Section(TExifSectionKind kind) {
  return const_cast<TExifSection&>(static_cast<const TExifData*>(this)->Section(kind));
}

const TExifSection& TExifData::Section(TExifSectionKind kind) const {
  switch (kind) {
    case esGeneral: return FGeneral;
    case esDetails: return FDetails;
    case esInterop: return FInterop;
    case esGPS: return FGPS;
    case esThumbnail: return FThumbnailSection;
    default: return FMakerNote;
  }
}

TExifBlock TExifData::ToBlock() const {
  TExifBlock block;
  block.Order = FByteOrder;
  for (TExifSectionKind kind : {esGeneral, esDetails, esInterop, esGPS, esThumbnail, esMakerNote})
    block[kind] = Section(kind);
  block.Thumbnail = FThumbnail;
  return block;
}

void TExifData::Assign(TExifBlock block) {
  FByteOrder = block.Order;
  for (TExifSectionKind kind : {esGeneral, esDetails, esInterop, esGPS, esThumbnail, esMakerNote})
    Section(kind) = std::move(block[kind]);
  FThumbnail = std::move(block.Thumbnail);
}

void TExifData::UpdateXmp(std::string_view ns, std::string_view name, const std::string& value) {
  if (FXMPPacket.IsEmpty()) return;
  if (value.empty() || FXMPWritePolicy == xwRemove)
    FXMPPacket.RemoveProperty(ns, name);
  else
    FXMPPacket.UpdateProperty(ns, name, value);
}

void TExifData::SetPixelDimensions(uint32_t width, uint32_t height) {
  auto set = [&](uint16_t id, uint32_t value, std::string_view xmpName) {
    SetSizeTag(FDetails, id, value);
    UpdateXmp(XmpNamespace::Exif, xmpName, std::to_string(value));
  };
  set(ExifTagID::PixelXDimension, width, "PixelXDimension");
  set(ExifTagID::PixelYDimension, height, "PixelYDimension");
}

void TExifData::TransformThumbnail(TPictureTransform transform) {
  if (FThumbnail.empty()) return;
  if (transform != ptIdentity) {
    FThumbnail = TransformThumbnailJpeg(FThumbnail, transform);
    if (FThumbnail.empty()) {
      FThumbnailSection.Clear();
      return;
    }
    SetThumbnailSizeTags(FThumbnailSection, FThumbnail);
  }
  // The thumbnail is stored as the picture is, so it is shown as IFD0 says.
  if (FThumbnailSection.Find(ExifTagID::Orientation)) {
    if (const TExifTag* orientation = FGeneral.Find(ExifTagID::Orientation))
      FThumbnailSection.SetTag(*orientation);
    else
      FThumbnailSection.Remove(ExifTagID::Orientation);
  }
}

void TExifData::LoadFromTiffBlock(std::span<const uint8_t> block) {
  Clear();
  Assign(ReadExifBlock(block));
}

std::vector<uint8_t> TExifData::SaveToTiffBlock() { return WriteExifBlock(ToBlock(), FRemovePaddingTagsOnSave); }

bool TExifData::LoadFromBytes(std::span<const uint8_t> file) {
  Clear();
  try {
    switch (DetectGraphicFormat(file)) {
      case gfJPEG: {
        bool exifSeen = false, xmpSeen = false;
        for (const TJpegSegment& segment : WalkJpegSegments(file)) {
          if (segment.Marker != JpegMarker::APP1) continue;
          const std::span<const uint8_t> data = file.subspan(segment.DataStart, segment.DataSize);
          size_t start = 0;
          if (!exifSeen && IsExifSegmentData(data, &start)) {
            exifSeen = true;
            Assign(ReadExifBlock(data.subspan(start)));
          } else if (!xmpSeen && IsXmpSegmentData(data, &start)) {
            xmpSeen = true;
            FXMPPacket.Assign(data.subspan(start));
          }
        }
        return true;
      }
      case gfPSD: {
        const TPsdMetadata metadata = ReadPsdMetadata(file);
        if (metadata.Exif) Assign(ReadExifBlock(*metadata.Exif));
        if (metadata.Xmp) FXMPPacket.Assign(*metadata.Xmp);
        return true;
      }
      case gfTIFF: {
        TExifBlock block = ReadExifBlock(file);
        const TExifTag* xmp = block[esGeneral].Find(ExifTagID::XMP);
        if (xmp && (xmp->DataType == tdByte || xmp->DataType == tdUndefined)) FXMPPacket.Assign(xmp->Data);
        KeepTiffFileGeneralTags(block[esGeneral]);
        Assign(std::move(block));
        return true;
      }
      case gfUnknown: break;
    }
  } catch (...) {
    Clear();
    throw;
  }
  return false;
}

TOutputPieces TExifData::RewriteJpegFile(std::span<const uint8_t> file) {
  const std::vector<TJpegSegment> segments = WalkJpegSegments(file);
  uint32_t width = 0, height = 0;
  if ((FDetails.Find(ExifTagID::PixelXDimension) || FDetails.Find(ExifTagID::PixelYDimension)) &&
      FindFrameSize(file, segments, width, height))
    SetPixelDimensions(width, height);
  return RewriteJpeg(file, segments, WriteExifBlock(ToBlock(), FRemovePaddingTagsOnSave, MaxSegmentData - 6),
                     FXMPPacket.Bytes());
}

TOutputPieces TExifData::RewriteBytes(std::span<const uint8_t> file) {
  switch (DetectGraphicFormat(file)) {
    case gfJPEG: return RewriteJpegFile(file);
    case gfPSD: return RewritePsd(file, WriteExifBlock(ToBlock(), FRemovePaddingTagsOnSave), FXMPPacket.Bytes());
    case gfTIFF: {
      std::vector<uint8_t> xmp;
      if (FXMPPacket.Changed()) xmp = FXMPPacket.Bytes();
      return RewriteTiff(file, ToBlock(), FXMPPacket.Changed() ? &xmp : nullptr, FRemovePaddingTagsOnSave);
    }
    case gfUnknown: break;
  }
  throw EUnsupportedGraphicFormat();
}

bool TExifData::LoadFromGraphic(const std::string& fileName) {
  try {
    const TFileContent content = ReadFileContent(fileName, false);
    return LoadFromBytes(content.Bytes());
  } catch (const std::bad_alloc&) {
    Clear();
    throw EExifError("Not enough memory to read the metadata of \"" + fileName + "\"");
  }
}

void TExifData::SaveToGraphic(const std::string& fileName) {
  try {
    const TFileContent content = ReadFileContent(fileName, true);
    const TOutputPieces pieces = RewriteBytes(content.Bytes());
    // Nothing changed: the file is left as it is, its time stamp included.
    if (pieces.Equals(content.Bytes())) return;
    ReplaceFileContent(content, pieces);
  } catch (const std::bad_alloc&) {
    throw EExifError("Not enough memory to rewrite the metadata of \"" + fileName + "\"");
  }
}
