// Save, Save as, the favicon and the wallpaper: the commands that write the
// working image out or hand the file on display to the desktop.
#include "edit/rescale_picture.h"
#include "edit/save_dialog_setup.h"
#include "edit/save_picture.h"
#include "folder/file_path.h"
#include "platform/wallpaper.h"
#include "viewer/image_loader.h"
#include "viewer/tfmain.h"
#include "viewer/worker_access.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int ConfirmationMs = 900;
constexpr int FailureMs = 2500;
constexpr int FaviconSize = 32;

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// FreeImage turns only JPEG pictures upright by their EXIF orientation.
bool TurnedUprightOnLoading(const TAppState& state, const TPictureFacts& file) {
  return state.Settings.ExifRotation && file.Format == FIF_JPEG;
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

TSaveRequest Tfmain::SaveRequest(const QString& target) {
  TSaveRequest request;
  request.Path = NativePath(target);
  request.Picture = FBitmap.Dib();
  // A picture turned upright on loading is written with orientation 1.
  request.UprightPixels = bLastLoadReadFile && TurnedUprightOnLoading(FState, FFileFacts);
  if (bLastLoadReadFile) {
    request.SourcePath = NativePath(FState.sCurrentFile);
    request.SourceFormat = IdentifyReadableFormat(FState.sCurrentFile);
    request.SourceHadAlpha = HasAlpha(FFileFacts);
  }
  request.ReplacesSource = SameFile(target, FState.sCurrentFile);
  request.PictureEdited = bWorkingImageEdited;
  return request;
}

void Tfmain::acSaveExecute() {
  // The file already holds exactly the picture on display.
  if (FBitmap.IsValid() && !bWorkingImageEdited) {
    FlashMessage(QStringLiteral("Saved"), ConfirmationMs);
    return;
  }
  TWorkerShownFile shown(DecoderPath(FState.sCurrentFile), LoadFlags(FState.Settings.ExifRotation));
  TWorkerChecker checker;
  TSaveRequest request = SaveRequest(FState.sCurrentFile);
  request.ReplacesSource = true;
  request.Shown = &shown;
  request.Checker = &checker;
  const TSaveResult result = SavePicture(request);
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
  TWorkerShownFile shown(DecoderPath(FState.sCurrentFile), LoadFlags(FState.Settings.ExifRotation));
  TWorkerChecker checker;
  TSaveRequest request = SaveRequest(target);
  // Onto the file on display, an unedited picture is already there.
  if (request.ReplacesSource && !request.PictureEdited && FBitmap.IsValid()) return;
  request.Shown = &shown;
  request.Checker = &checker;
  const TSaveResult result = SavePicture(request);
  if (!result.Ok()) {
    FlashSaveFailure(result);
    return;
  }
  if (request.ReplacesSource) bWorkingImageEdited = false;
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
      TWorkerChecker checker;
      TSaveRequest request;
      request.Path = NativePath(SavePictureDialog1.FileName);
      request.Picture = FBitmap.Dib();
      request.UprightPixels = bLastLoadReadFile && TurnedUprightOnLoading(FState, FFileFacts);
      request.Checker = &checker;
      const TSaveResult result = SavePicture(request);
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
