# Libraries the viewer links, all from Debian 12 packages (scripts/setup-debian).
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Test)
find_package(Threads REQUIRED)
find_package(JPEG REQUIRED)
find_package(pugixml REQUIRED)

find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
add_library(FreeImage::FreeImage UNKNOWN IMPORTED)
set_target_properties(FreeImage::FreeImage PROPERTIES
  IMPORTED_LOCATION "${FREEIMAGE_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${FREEIMAGE_INCLUDE_DIR}")

# Little CMS 2: colour management of the screen image.
find_path(LCMS2_INCLUDE_DIR lcms2.h REQUIRED)
find_library(LCMS2_LIBRARY NAMES lcms2 REQUIRED)
add_library(LCMS2::LCMS2 UNKNOWN IMPORTED)
set_target_properties(LCMS2::LCMS2 PROPERTIES
  IMPORTED_LOCATION "${LCMS2_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${LCMS2_INCLUDE_DIR}")

# TurboJPEG: lossless rotation and flipping of JPEG files.
find_path(TURBOJPEG_INCLUDE_DIR turbojpeg.h REQUIRED)
find_library(TURBOJPEG_LIBRARY NAMES turbojpeg REQUIRED)
add_library(TurboJPEG::TurboJPEG UNKNOWN IMPORTED)
set_target_properties(TurboJPEG::TurboJPEG PROPERTIES
  IMPORTED_LOCATION "${TURBOJPEG_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${TURBOJPEG_INCLUDE_DIR}")

if(VELVANE_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(VELVANE_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
