// Save, Save as, the favicon and the wallpaper: the commands that write the
// working image out or hand the file on display to the desktop.
#include "edit/save_dialog_setup.h"
#include "platform/wallpaper.h"
#include "viewer/tfmain.h"

#include <QFileInfo>

void Tfmain::acSaveExecute() { ShowResult(FDocument.Save(FState.sCurrentFile, FState.Settings.ExifRotation)); }

void Tfmain::AcSaveAsExecute() {
  const TSaveAsSetup setup = SaveAsSetup(FState.sCurrentFile, SavePictureDialog1.FilterIndex);
  SavePictureDialog1.Filter = setup.Filter;
  SavePictureDialog1.FilterIndex = setup.FilterIndex;
  SavePictureDialog1.FileName = setup.FileName;
  SavePictureDialog1.DefaultExt = setup.DefaultExt;
  if (!SavePictureDialog1.Execute(this, QFileInfo(FState.sCurrentFile).absolutePath())) return;

  ShowResult(FDocument.SaveAs(FState.sCurrentFile, SavePictureDialog1.FileName, FState.Settings.ExifRotation));
}

void Tfmain::AcSaveAsFavIconExecute() {
  const TFaviconSetup setup = FaviconSetup(FState.sCurrentFile);
  SavePictureDialog1.Filter = setup.Filter;
  SavePictureDialog1.InitialDir = setup.InitialDir;
  SavePictureDialog1.FileName = setup.FileName;
  SavePictureDialog1.DefaultExt = setup.DefaultExt;
  if (!SavePictureDialog1.Execute(this)) return;

  const TCommandResult result = FDocument.SaveFavicon(SavePictureDialog1.FileName, FState.Settings);
  // The icon was made from the working image; the file on display comes back.
  LoadImage(FState.sCurrentFile, false, false);
  ShowResult(result);
}

void Tfmain::AcSetAsWallpaperExecute() {
  const TWallpaperResult result = SetDesktopWallpaper(FState.sCurrentFile);
  if (result.ok)
    FlashMessage(QStringLiteral("Set as wallpaper"), ConfirmationMs);
  else
    FlashMessage(QStringLiteral("The wallpaper could not be set: ") + result.reason, FailureMs);
}
