// Save, Save as, the favicon and the wallpaper: the commands that write the
// working image out or hand the file on display to the desktop.
#include "edit/rescale_picture.h"
#include "edit/save_dialog_setup.h"
#include "edit/save_picture.h"
#include "folder/file_path.h"
#include "platform/wallpaper.h"
#include "viewer/image_loader.h"
#include "viewer/tfmain.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int ConfirmationMs = 900;
constexpr int FailureMs = 2500;
constexpr int FaviconSize = 32;

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// FreeImage turns only JPEG pictures upright by their EXIF orientation.
bool TurnedUprightOnLoading(const TAppState& state) {
  return state.Settings.ExifRotation && IdentifyReadableFormat(state.sCurrentFile) == FIF_JPEG;
}

bool SameFile(const QString& a, const QString& b) {
  const QString canonical = QFileInfo(a).canonicalFilePath();
  return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

}  // namespace

void Tfmain::FlashFailure(const QString& text) { FlashMessage(text, FailureMs); }

void Tfmain::FlashSaveFailure(const TSaveResult& result) {
  FlashFailure(QStringLiteral("Nothing was written: ") + QString::fromStdString(SaveFailureText(result)));
}

void Tfmain::acSaveExecute() {
  // A picture turned upright on loading is written with orientation 1.
  const TSaveResult result =
      SavePicture(FBitmap.Dib(), NativePath(FState.sCurrentFile), TurnedUprightOnLoading(FState));
  if (!result.Ok()) {
    FlashSaveFailure(result);
    return;
  }
  bWorkingImageEdited = false;
  FlashMessage(QStringLiteral("Saved"), ConfirmationMs);
}

void Tfmain::AcSaveAsExecute() {
  const TSaveAsSetup setup = SaveAsSetup(FState.sCurrentFile, SavePictureDialog1.FilterIndex);
  SavePictureDialog1.Filter = setup.Filter;
  SavePictureDialog1.FilterIndex = setup.FilterIndex;
  SavePictureDialog1.FileName = setup.FileName;
  SavePictureDialog1.DefaultExt = setup.DefaultExt;
  if (!SavePictureDialog1.Execute(this, QFileInfo(FState.sCurrentFile).absolutePath())) return;

  const QString target = SavePictureDialog1.FileName;
  const TSaveResult result = SavePicture(FBitmap.Dib(), NativePath(target), TurnedUprightOnLoading(FState));
  if (!result.Ok()) {
    FlashSaveFailure(result);
    return;
  }
  if (SameFile(target, FState.sCurrentFile)) bWorkingImageEdited = false;
}

void Tfmain::AcSaveAsFavIconExecute() {
  const TFaviconSetup setup = FaviconSetup(FState.sCurrentFile);
  SavePictureDialog1.Filter = setup.Filter;
  SavePictureDialog1.InitialDir = setup.InitialDir;
  SavePictureDialog1.FileName = setup.FileName;
  SavePictureDialog1.DefaultExt = setup.DefaultExt;
  if (!SavePictureDialog1.Execute(this)) return;

  QString failure;
  if (!FBitmap.IsValid()) {
    failure = QStringLiteral("Nothing was written: there is no picture");
  } else {
    FIBITMAP* dib = FBitmap.Release();
    const bool scaled = RescalePicture(dib, FaviconSize, FaviconSize, FState.Settings.ResizeFilter);
    FBitmap.Assign(dib);
    // A picture the rescale refused is not written at its full size.
    if (!scaled) {
      failure = QStringLiteral("Nothing was written: the picture could not be scaled to 32 x 32");
    } else {
      const TSaveResult result =
          SavePicture(FBitmap.Dib(), NativePath(SavePictureDialog1.FileName), TurnedUprightOnLoading(FState));
      if (!result.Ok())
        failure = QStringLiteral("Nothing was written: ") + QString::fromStdString(SaveFailureText(result));
    }
  }
  // The icon was made from the working image; the file on display comes back.
  LoadImage(FState.sCurrentFile, false, false);
  if (!failure.isEmpty()) FlashFailure(failure);
}

void Tfmain::AcSetAsWallpaperExecute() {
  const TWallpaperResult result = SetDesktopWallpaper(FState.sCurrentFile);
  if (result.ok)
    FlashMessage(QStringLiteral("Set as wallpaper"), ConfirmationMs);
  else
    FlashFailure(QStringLiteral("The wallpaper could not be set: ") + result.reason);
}
