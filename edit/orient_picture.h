#pragma once

// Rotate and flip: the four commands that turn or mirror the working image
// and write the file on display at once, with its EXIF orientation reset so
// that other programs show the new pixels as the viewer does.
//
// The file is written once: the new pixels and the orientation go into one
// buffer that replaces the file atomically, so a kill at any instant leaves
// the old file or the finished new one; before it replaces the file, the
// decoding worker decodes it and it is compared with what was meant. The
// file keeps its format (its content's, whatever its name says), its
// frames, depth, palette and metadata, or nothing is written. A JPEG whose
// working image carries no unsaved edit is transformed losslessly (its DCT
// blocks are moved, every metadata segment kept); everything else is
// re-encoded, from the file's own decode unless the picture was edited.

#include "edit/exif/output_pieces.h"
#include "edit/exif/picture_transform.h"
#include "edit/save_picture.h"
#include "edit/shown_file.h"

#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

enum TOrientCommand { ocRotateLeft, ocRotateRight, ocFlipHorizontal, ocFlipVertical };

bool IsRotation(TOrientCommand command);
// What the command does to the picture: FreeImage_Rotate by +90 degrees turns
// counter-clockwise, by -90 clockwise.
TPictureTransform CommandTransform(TOrientCommand command);

// The pixel operation on a picture: a new bitmap, turned (FreeImage_Rotate,
// any depth and type FreeImage can turn) or mirrored, with the palette,
// transparency, profile, metadata and resolution of dib, which is left as it
// is. Empty when FreeImage refuses.
TFreeBitmap TransformPicture(FIBITMAP* dib, TOrientCommand command);

// The orientation step on a file's bytes in memory: tag 0x0112 set to 1
// after a rotation, removed after a flip (with the XMP tiff:Orientation in
// step), and the EXIF thumbnail laid out by storedPixels, the transform that
// took the file's stored pixels to the ones written. Bytes of a format that
// TExifData does not handle (PNG, BMP, GIF ...) come back unchanged. Raises
// EExifError for damaged metadata.
TOutputPieces ApplyOrientationReset(std::span<const uint8_t> file, TOrientCommand command,
                                    TPictureTransform storedPixels);

struct TOrientedWrite {
  std::string path;  // the file on display
  TOrientCommand command = ocRotateRight;
  bool exifRotation = false;   // the file was decoded with JPEG_EXIFROTATE
  bool pictureEdited = false;  // the working image differs from the file by edits
  // The working image as it stands, and what its decode was: the format the
  // file's content has, whether the picture was converted to 32 bits for
  // the screen (a deeper one) and whether the file had an alpha channel.
  FIBITMAP* workingImage = nullptr;
  FREE_IMAGE_FORMAT fileFormat = FIF_UNKNOWN;
  bool pictureConverted = false;
  bool fileHadAlpha = true;
  // Turns or mirrors the working image for the screen (TransformPicture),
  // once, when the write needs the result or while the new file is checked;
  // returns it (still owned by the caller), or null when FreeImage cannot.
  std::function<FIBITMAP*()> turnWorkingImage;
  TShownFile* shownFile = nullptr;         // null: the working image stands for the file
  TWrittenFileChecker* checker = nullptr;  // null: the new file is not checked
};

struct TOrientedResult {
  TSaveResult save;
  bool lossless = false;  // the compressed data was transformed, not re-encoded
};

// Whether a refusal is about the file's format or frames, not about the
// disk: the screen then shows the picture turned all the same.
bool TurnsOnScreenOnly(const TSaveResult& result);

// Writes the file for the command. Raises EFOpenError when the file is gone
// or cannot be read, EExifError for metadata it cannot rewrite; nothing is
// written then.
TOrientedResult WriteOrientedFile(const TOrientedWrite& request);
