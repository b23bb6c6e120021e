#pragma once

// What a decode says about a picture file, and the check of a file just
// written against what was meant to be in it: every write that replaces a
// file is decoded again by the decoding worker before it takes the file's
// place, and refused when anything the file should hold is missing.

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <vector>

// FreeImage's metadata models as a set: bit (1 << model).
using TModelSet = uint32_t;

struct TPictureFacts {
  FREE_IMAGE_FORMAT Format = FIF_UNKNOWN;
  unsigned Pages = 1;
  unsigned Width = 0, Height = 0;
  FREE_IMAGE_TYPE Type = FIT_UNKNOWN;
  unsigned Bpp = 0;
  bool Icc = false;
  // The pixels are CMYK inks (flagged so by their decoder); the profile
  // describes CMYK colours.
  bool Cmyk = false;
  bool CmykIcc = false;
  TModelSet Models = 0;
  // Of a palette picture, and its transparency table; in what a file is
  // meant to hold, empty when they are not to be compared.
  std::vector<RGBQUAD> Palette;
  std::vector<uint8_t> Transparency;
};

// Size, depth, type, profile, metadata models, palette and transparency of
// dib; Format and Pages are left for the caller.
TPictureFacts FactsOf(FIBITMAP* dib);
// Whether the picture has an alpha channel or transparent colours (a CMYK
// picture's fourth channel is its black).
bool HasAlpha(const TPictureFacts& facts);

// The metadata models that a file of this format carries through FreeImage's
// encoder and the viewer's own metadata writers, as FreeImage reads them back.
TModelSet ModelsKept(FREE_IMAGE_FORMAT fif);
// Whether a file of this format keeps a colour profile.
bool KeepsIccProfile(FREE_IMAGE_FORMAT fif);

// FreeImage's name of a format ("JPEG"), or "this format".
std::string FormatName(FREE_IMAGE_FORMAT fif);
// "16-bit grey pixels", "8 bits per pixel" ...
std::string PixelKindText(FREE_IMAGE_TYPE type, unsigned bpp);

// What the worker found in a file just written.
struct TCheckedFile {
  bool Decoded = false;                           // false: the file did not decode at all
  bool Damaged = false;                           // the decoder met damaged data on the way
  FREE_IMAGE_FORMAT ContentFormat = FIF_UNKNOWN;  // what its content says it is
  TPictureFacts Facts;
};

// Decodes a file just written, away from the viewer (the decoding worker);
// tests may decode it however they like.
class TWrittenFileChecker {
public:
  virtual ~TWrittenFileChecker() = default;
  // Hands the file over and returns at once, so that the caller can work
  // while it is decoded. movedBlocks: a JPEG whose compressed blocks were
  // moved, not encoded anew, which may be checked without decoding every
  // block (its structure walked whole, its first rows decoded).
  virtual void Start(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks) = 0;
  virtual TCheckedFile Finish() = 0;
};

// In a few words, what the new file has that was not meant ("the new file
// holds 1 picture, not 3"); empty when it holds what was meant.
std::string CompareWrittenFile(const TPictureFacts& meant, const TCheckedFile& got);

// What a file of format fif written from picture (its only picture, or the
// first of pages) should decode to. Metadata models are expected only when
// the file keeps its source's format (sameFormat): across formats, what an
// encoder writes of another format's metadata is its own affair. A CMYK
// picture keeps its inks, 8 bits each in a JPEG; a format without CMYK
// gets its sRGB colours, 24 bits without a profile.
TPictureFacts MeantFile(FIBITMAP* picture, FREE_IMAGE_FORMAT fif, unsigned pages, bool sameFormat);

// FreeImage's models for an EXIF block.
TModelSet ExifModelSet();
