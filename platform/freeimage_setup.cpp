#include "platform/freeimage_setup.h"

#include <FreeImage.h>
#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// libtiff's handler type; its header is not needed for the two calls below.
using TiffHandler = void (*)(const char* module, const char* fmt, va_list args);
using TiffSetHandler = TiffHandler (*)(TiffHandler);

void PrintTiff(const char* kind, const char* module, const char* fmt, va_list args) {
  if (!ImageLibraryDebugEnabled()) return;
  std::fprintf(stderr, "libtiff %s: %s: ", kind, module ? module : "");
  std::vfprintf(stderr, fmt, args);
  std::fputc('\n', stderr);
}

void TiffWarning(const char* module, const char* fmt, va_list args) { PrintTiff("warning", module, fmt, args); }
void TiffError(const char* module, const char* fmt, va_list args) { PrintTiff("error", module, fmt, args); }

void FreeImageMessage(FREE_IMAGE_FORMAT fif, const char* message) {
  if (!ImageLibraryDebugEnabled()) return;
  const char* format = FreeImage_GetFormatFromFIF(fif);
  std::fprintf(stderr, "FreeImage %s: %s\n", format ? format : "", message ? message : "");
}

// libtiff is reached through FreeImage, which links it; when this FreeImage
// carries its own copy, or none, the symbols are not there and nothing is set.
void SetTiffHandler(const char* setter, TiffHandler handler) {
  if (void* symbol = ::dlsym(RTLD_DEFAULT, setter)) reinterpret_cast<TiffSetHandler>(symbol)(handler);
}

}  // namespace

bool ImageLibraryDebugEnabled() {
  const char* value = std::getenv("VELVANE_DEBUG");
  return value && *value && std::strcmp(value, "0") != 0;
}

void InstallImageLibraryMessageHandlers() {
  FreeImage_SetOutputMessage(FreeImageMessage);
  SetTiffHandler("TIFFSetWarningHandler", TiffWarning);
  SetTiffHandler("TIFFSetErrorHandler", TiffError);
}
