// velvane-orient: resets the EXIF orientation of JPEG, PSD and TIFF files
// the way the viewer does after a rotation (--top-left) or a flip
// (--undefined). Silent on success; each failure is reported as
// "FILE: MESSAGE" and the remaining files are still processed.
#include "edit/exif/exif_data.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

int Usage() {
  std::fputs("usage: velvane-orient --top-left|--undefined FILE...\n", stderr);
  return 2;
}

// Load, set, save: the orientation step of the viewer's rotate and flip.
void ResetOrientation(const std::string& fileName, TTiffOrientation orientation) {
  TExifData exif;
  exif.LoadFromGraphic(fileName);
  exif.General().SetOrientation(orientation);
  exif.SaveToGraphic(fileName);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  TTiffOrientation orientation;
  if (std::strcmp(argv[1], "--top-left") == 0)
    orientation = toTopLeft;
  else if (std::strcmp(argv[1], "--undefined") == 0)
    orientation = toUndefined;
  else
    return Usage();

  int result = 0;
  for (int i = 2; i < argc; ++i) {
    try {
      ResetOrientation(argv[i], orientation);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s: %s\n", argv[i], error.what());
      result = 1;
    }
  }
  return result;
}
