// Commands on the folder and the file as a whole: navigation, sorting,
// delete, copy path, file info, dropped files, messages.
#include "folder/file_path.h"
#include "folder/folder_argument.h"
#include "folder/folder_list.h"
#include "folder/folder_lister.h"
#include "folder/navigation.h"
#include "platform/application_title.h"
#include "platform/desktop_services.h"
#include "platform/message_box.h"
#include "platform/trash.h"
#include "settings/settings_store.h"
#include "viewer/dropped_files.h"
#include "viewer/image_loader.h"
#include "viewer/tfmain.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace {

constexpr int MessageMs = 900;
// Pictures decoded ahead of the user in the direction of the last step: with
// two, the worker goes on with the second while the first waits, so that a
// steady pace of steps no slower than one decode finds each one ready.
constexpr int PicturesAhead = 2;
const char* const PermanentDeleteQuestion =
    "There is no Trash for this file: it will be deleted permanently. Are you sure?";

}  // namespace

void Tfmain::FlashMessage(const QString& text, int ms) {
  sMessage = text;
  TmrMessage = ms / 100;
  update();
}

void Tfmain::ShowOrClose(const QString& path) {
  if (path.isEmpty())
    close();
  else
    LoadImage(path, true, true);
}

void Tfmain::ListFolderAhead() {
  const QString folder = ExtractFilePath(FState.sCurrentFile);
  if (!folder.isEmpty() && folder != FState.Folder.sLastDir) FFolderLister->Start(folder, FState.Settings);
}

void Tfmain::TakeFolderListedAhead() {
  TakeListedAhead(FState.Folder, FState.sCurrentFile, FState.Settings, *FFolderLister);
}

void Tfmain::DecodeAhead() {
  if (FDecodeWait || FState.sCurrentFile.isEmpty()) return;
  // The worker serves the frames of an animation that plays: a large
  // picture decoded ahead would stop it for as long as its decode takes.
  if (FAnimation->Active() && !FAnimation->Ended()) return;
  const QString folder = ExtractFilePath(FState.sCurrentFile);
  if (folder.isEmpty()) return;
  // The neighbours as the next steps would find them, moving nothing; a
  // folder not listed yet is read on the lister's thread, and this runs
  // again when that is done.
  QStringList paths;
  if (folder == FState.Folder.sLastDir) {
    paths = PeekSteps(FState.Folder.lsDir, FState.Folder.iDirIndex, folder, FAheadStep, PicturesAhead);
  } else {
    ListFolderAhead();
    const TFolderListing* listing = FFolderLister->Finished(folder, FState.Settings);
    if (!listing) return;
    const int index = FindListedName(listing->lsDir, ExtractFileName(FState.sCurrentFile));
    paths = PeekSteps(listing->lsDir, index, folder, FAheadStep, PicturesAhead);
  }
  std::vector<std::string> ahead;
  for (const QString& path : paths)
    if (path != FState.sCurrentFile) ahead.push_back(DecoderPath(path));
  if (ahead.empty()) return;
  // A frame of an animation may wait there to be collected: it frees the worker.
  decoder::TDecoderClient::Shared().Pump();
  decoder::TDecoderClient::Shared().DecodeAhead(std::move(ahead), LoadFlags(FState.Settings.ExifRotation));
  PollDecodeAhead();
}

void Tfmain::PollDecodeAhead() {
  // Each answer ahead read sends the next request: without it the worker
  // would wait for the next step to have its answer read.
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  client.Pump();
  if (client.AheadUnderWay() && !FDecodeWait) FAheadPoll.start();
}

void Tfmain::NextImage() {
  FAheadStep = 1;
  TakeFolderListedAhead();
  QString path = GetNextFile(FState.Folder, FState.sCurrentFile, FState.Settings);
  if (path.isEmpty()) path = GetFirstFile(FState.Folder, FState.sCurrentFile, FState.Settings);
  ShowOrClose(path);
}

void Tfmain::PrevImage() {
  FAheadStep = -1;
  TakeFolderListedAhead();
  QString path = GetPrevFile(FState.Folder, FState.sCurrentFile, FState.Settings);
  if (path.isEmpty()) path = GetLastFile(FState.Folder, FState.sCurrentFile, FState.Settings);
  ShowOrClose(path);
}

void Tfmain::AcNextExecute() { NextImage(); }
void Tfmain::AcPrevExecute() { PrevImage(); }
void Tfmain::AcFirstExecute() {
  FAheadStep = 1;
  TakeFolderListedAhead();
  ShowOrClose(GetFirstFile(FState.Folder, FState.sCurrentFile, FState.Settings));
}
void Tfmain::AcLastExecute() {
  FAheadStep = -1;
  TakeFolderListedAhead();
  ShowOrClose(GetLastFile(FState.Folder, FState.sCurrentFile, FState.Settings));
}

void Tfmain::SortBy(int key, const char* message) {
  FlashMessage(QLatin1String(message), MessageMs);
  if (const std::optional<TCommand> radio = SortCommand(key)) Action(*radio)->SetChecked(true);
  if (FState.Settings.SortType == key) FState.Settings.SortReversed = !FState.Settings.SortReversed;
  FState.Settings.SortType = key;
  SortFolderList(FState.Folder, FState.sCurrentFile, FState.Settings);
  ListFolderAhead();  // a listing not yet used is read again in the new order
  SaveSettings(FState.Settings);
}

void Tfmain::AcSortByNameExecute() { SortBy(SortByName, "Sort by name"); }
void Tfmain::AcSortByDateExecute() { SortBy(SortByDate, "Sort by date"); }
void Tfmain::AcSortBySizeExecute() { SortBy(SortBySize, "Sort by size"); }

void Tfmain::AcToggleDirectionExecute() {
  FState.Settings.SortReversed = !FState.Settings.SortReversed;
  FlashMessage(FState.Settings.SortReversed ? QStringLiteral("Sort direction: Descending")
                                            : QStringLiteral("Sort direction: Ascending"),
               MessageMs);
  SortFolderList(FState.Folder, FState.sCurrentFile, FState.Settings);
  ListFolderAhead();
  SaveSettings(FState.Settings);
}

// Into the Trash; for good only where the file system has none, and the
// question says so. A file that cannot go either way is not asked about: the
// user is told why at once. A file that stays is still listed and shown.
void Tfmain::AcDeleteExecute() {
  const QString path = FState.sCurrentFile;
  const QString why = WhyNotRemovable(path);
  if (!why.isEmpty()) {
    ShowErrorBox(this, QStringLiteral("%1 cannot be deleted: %2.").arg(QFileInfo(path).fileName(), why),
                 QLatin1String(ApplicationTitle));
    return;
  }
  const bool bTrash = !TrashFolderFor(path).isEmpty();
  const QString question = bTrash ? QStringLiteral("Are you sure?") : QLatin1String(PermanentDeleteQuestion);
  if (!ConfirmOkCancel(this, question, QStringLiteral("Warning"))) return;
  // The list must hold the file before it goes, so the next step finds its place.
  TakeFolderListedAhead();
  ScanFolder(FState.Folder, path, FState.Settings);
  const TDeleteResult result = bTrash ? MoveToTrash(path) : DeletePermanently(path);
  if (!result.bDone) {
    const QString what = bTrash ? QStringLiteral("moved to the Trash") : QStringLiteral("deleted");
    ShowErrorBox(this, QStringLiteral("%1 could not be %2: %3.").arg(QFileInfo(path).fileName(), what, result.sError),
                 QLatin1String(ApplicationTitle));
    return;
  }
  ForgetDecodes(path);
  // The only image of its folder stays on screen: the next step would be itself.
  if (FState.Folder.lsDir.size() != 1) NextImage();
  ForgetDeletedFile(FState.Folder, path);
}

void Tfmain::AcCopyFilePathExecute() { SetClipboardText(FState.sCurrentFile); }

void Tfmain::AcFileInfoExecute() {
  FState.bShowFileInfo = !FState.bShowFileInfo;
  FormPaint();
}

void Tfmain::Help1Click() { ShowHelpPage(this, FState.sAppDir); }

// Only files of this machine are taken; refusing anything else at the entry
// shows the user at once that it cannot be dropped here.
void Tfmain::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstDroppedFile(event->mimeData()->urls()).isEmpty()) event->acceptProposedAction();
}

void Tfmain::dropEvent(QDropEvent* event) {
  // The whole path is taken, however long.
  const QString path = FirstDroppedFile(event->mimeData()->urls());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // A dropped folder opens its first picture, as one on the command line does.
  LoadImage(PictureToOpen(FState.Folder, path, FState.Settings), true, true);
}
