#pragma once

#include "edit/exif/picture_transform.h"
#include "edit/orient_picture.h"
#include "edit/picture_facts.h"
#include "edit/shown_file.h"
#include "exif_test_support.h"

#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// FreeImage helpers for the editing tests: pictures whose orientation shows,
// JPEG files of them, decoding and comparing.

struct TDibDeleter {
  void operator()(FIBITMAP* dib) const { TFreeBitmap released(dib); }
};
using TDib = std::unique_ptr<FIBITMAP, TDibDeleter>;

// A 24-bit picture that looks different in each of the eight layouts: red
// grows to the right, green downwards, blue forms 16-pixel squares.
TDib Pattern(int width, int height);

// pattern encoded by FreeImage as JPEG (flags as FreeImage_Save takes them).
TBytes EncodeWithFreeImage(FIBITMAP* dib, FREE_IMAGE_FORMAT fif, int flags = 0);
TDib DecodeBytes(const TBytes& bytes, int flags = 0);
TDib DecodeFile(const std::string& path, int flags = 0);

// dib laid out by transform, made with FreeImage's own rotate and flip.
TDib Transformed(FIBITMAP* dib, TPictureTransform transform);

// The mean absolute difference of the colour channels of two pictures of the
// same size (both taken as 24-bit); a large number when the sizes differ.
double MeanDifference(FIBITMAP* a, FIBITMAP* b);

// The orientation tag of a file's IFD0 (0 when it has none).
int ExifOrientation(const TBytes& file);

// Everything from the first scan on: the picture's compressed data.
TBytes ScanData(const TBytes& jpeg);

// Whether the JPEG stream holds a segment with this marker whose data starts
// with prefix.
bool HasSegment(const TBytes& jpeg, uint8_t marker, const std::string& prefix);

// The file on display decoded in this process, page by page, as the worker
// would decode it for the viewer.
class TLocalShownFile : public TShownFile {
public:
  TLocalShownFile(std::string path, int flags) : FPath(std::move(path)), FFlags(flags) {}
  unsigned Pages() override;
  TFreeBitmap Decode(unsigned page) override;
  unsigned Decodes = 0;  // pictures decoded so far

private:
  std::string FPath;
  int FFlags;
};

// Checks a written file by decoding it in this process, as the worker does.
class TLocalChecker : public TWrittenFileChecker {
public:
  void Start(const std::string& path, FREE_IMAGE_FORMAT format, bool movedBlocks) override;
  TCheckedFile Finish() override { return FFound; }
  unsigned Checks = 0;

private:
  TCheckedFile FFound;
};

// A rotate or flip of path as the viewer runs it, its picture decoded in
// this process with the EXIF rotation when asked; edited, when given, is the
// working image with an unsaved edit (turned by the command when it is
// written).
TOrientedResult OrientFile(const std::string& path, TOrientCommand command, bool exifRotation = true,
                           FIBITMAP* edited = nullptr, TWrittenFileChecker* checker = nullptr);

// Save (target the file itself) or Save as of the file at path with an
// unsaved edit, as the viewer runs it: edit changes the working image (none:
// an edit that left the pixels as they were).
TSaveResult SaveFile(const std::string& path, const std::string& target, TWrittenFileChecker* checker = nullptr,
                     const std::function<void(TDib& working)>& edit = {});
