#pragma once

// Rotate and flip: the four commands that turn or mirror the working image
// and write the file on display at once, with its EXIF orientation reset so
// that other programs show the new pixels as the viewer does.
//
// The file is written once: the new pixels and the orientation go into one
// buffer that replaces the file atomically, so a kill at any instant leaves
// the old file or the finished new one. A JPEG whose working image carries
// no unsaved edit is transformed losslessly (its DCT blocks are moved, every
// metadata segment kept); everything else is re-encoded by the save routine.

#include "edit/exif/output_pieces.h"
#include "edit/picture_transform.h"
#include "edit/save_picture.h"

#include <FreeImage.h>

#include <cstdint>
#include <span>
#include <string>

enum TOrientCommand { ocRotateLeft, ocRotateRight, ocFlipHorizontal, ocFlipVertical };

bool IsRotation(TOrientCommand command);
// What the command does to the picture: FreeImage_Rotate by +90 degrees turns
// counter-clockwise, by -90 clockwise.
TPictureTransform CommandTransform(TOrientCommand command);

// The pixel operation on the working image. A rotation returns a new bitmap
// (FreeImage_Rotate, any depth and type FreeImage can turn), or null when
// FreeImage refuses it; a flip mirrors dib in place and returns dib, or null.
FIBITMAP* TransformPicture(FIBITMAP* dib, TOrientCommand command);

// The orientation step on a file's bytes in memory: tag 0x0112 set to 1
// after a rotation, removed after a flip (with the XMP tiff:Orientation in
// step), and the EXIF thumbnail laid out by storedPixels, the transform that
// took the file's stored pixels to the ones written. Bytes of a format that
// TExifData does not handle (PNG, BMP, GIF ...) come back unchanged. Raises
// EExifError for damaged metadata.
TOutputPieces ApplyOrientationReset(std::span<const uint8_t> file, TOrientCommand command,
                                    TPictureTransform storedPixels);

struct TOrientedWrite {
  std::string path;             // the file on display
  FIBITMAP* picture = nullptr;  // the working image after TransformPicture
  TOrientCommand command = ocRotateRight;
  bool exifRotation = false;   // the file was decoded with JPEG_EXIFROTATE
  bool pictureEdited = false;  // the working image differs from the file by edits
};

struct TOrientedResult {
  TSaveResult save;
  bool lossless = false;  // the compressed data was transformed, not re-encoded
};

// Writes the file for the command. Raises EFOpenError when the file is gone
// or cannot be read, EExifError for metadata it cannot rewrite; nothing is
// written then.
TOrientedResult WriteOrientedFile(const TOrientedWrite& request);
