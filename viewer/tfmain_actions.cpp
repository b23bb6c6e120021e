// The window's actions, one per row of the command table, each running the
// member that carries out its command.
#include "settings/settings.h"
#include "viewer/tfmain.h"

void Tfmain::CreateActions() {
  for (const TCommandRow& row : CommandTable) {
    auto* action = new TAction(QString::fromLatin1(row.name), QString::fromLatin1(row.caption),
                               QString::fromLatin1(row.hint), this);
    action->setObjectName(action->Name());
    if (const auto handler = CommandHandler(row.command))
      action->SetOnExecute([this, handler] { (this->*handler)(); });
    else
      action->SetEnabled(false);  // runs nothing and shows disabled
    FActions.Add(action);
    FCommandActions[std::size_t(row.command)] = action;
  }
  Action(TCommand::acResizeToCustom)->SetEnabled(false);  // until the dialog exists
}

TAction* Tfmain::Action(const char* name) const { return FActions.FindByName(QLatin1String(name)); }

std::optional<TCommand> Tfmain::SortCommand(int sortType) {
  switch (sortType) {
    case SortByName: return TCommand::AcSortByName;
    case SortByDate: return TCommand::AcSortByDate;
    case SortBySize: return TCommand::AcSortBySize;
    default: return std::nullopt;
  }
}

// A switch without a default: a command added to the table without a case
// here is a compiler warning.
void (Tfmain::*Tfmain::CommandHandler(TCommand command))() {
  switch (command) {
    case TCommand::AcNext: return &Tfmain::AcNextExecute;
    case TCommand::AcPrev: return &Tfmain::AcPrevExecute;
    case TCommand::AcNext2: return &Tfmain::AcNextExecute;
    case TCommand::AcPrev2: return &Tfmain::AcPrevExecute;
    case TCommand::AcFirst: return &Tfmain::AcFirstExecute;
    case TCommand::AcLast: return &Tfmain::AcLastExecute;
    case TCommand::AcToggleFullscreen: return &Tfmain::AcToggleFullscreenExecute;
    case TCommand::AcOriginalSize: return &Tfmain::AcOriginalSizeExecute;
    case TCommand::AcFitToScreen: return &Tfmain::AcFitToScreenExecute;
    case TCommand::AcDelete: return &Tfmain::AcDeleteExecute;
    case TCommand::AcZoomIn: return &Tfmain::AcZoomInExecute;
    case TCommand::AcZoomOut: return &Tfmain::AcZoomOutExecute;
    case TCommand::AcUp: return &Tfmain::AcUpExecute;
    case TCommand::AcDown: return &Tfmain::AcDownExecute;
    case TCommand::AcLeft: return &Tfmain::AcLeftExecute;
    case TCommand::AcRight: return &Tfmain::AcRightExecute;
    case TCommand::AcFileInfo: return &Tfmain::AcFileInfoExecute;
    case TCommand::AcQuit: return &Tfmain::AcQuitExecute;
    case TCommand::AcSortByName: return &Tfmain::AcSortByNameExecute;
    case TCommand::AcSortByDate: return &Tfmain::AcSortByDateExecute;
    case TCommand::AcSortBySize: return &Tfmain::AcSortBySizeExecute;
    case TCommand::AcToggleDirection: return &Tfmain::AcToggleDirectionExecute;
    case TCommand::AcCopyFilePath: return &Tfmain::AcCopyFilePathExecute;
    case TCommand::acMenu: return &Tfmain::acMenuExecute;
    case TCommand::AcOptions: return &Tfmain::AcOptionsExecute;
    case TCommand::acSave: return &Tfmain::acSaveExecute;
    case TCommand::AcSaveAs: return &Tfmain::AcSaveAsExecute;
    case TCommand::AcSaveAsFavIcon: return &Tfmain::AcSaveAsFavIconExecute;
    case TCommand::AcSetAsWallpaper: return &Tfmain::AcSetAsWallpaperExecute;
    case TCommand::AcRotateLeft: return &Tfmain::AcRotateLeftExecute;
    case TCommand::AcRotateRight: return &Tfmain::AcRotateRightExecute;
    case TCommand::AcFlipHorizontal: return &Tfmain::AcFlipHorizontalExecute;
    case TCommand::AcFlipVertical: return &Tfmain::AcFlipVerticalExecute;
    case TCommand::AcGammaIncrease: return &Tfmain::AcGammaIncreaseExecute;
    case TCommand::AcGammaDecrease: return &Tfmain::AcGammaDecreaseExecute;
    case TCommand::AcGammaOriginal: return &Tfmain::AcGammaOriginalExecute;
    case TCommand::AcBrightnessIncrease: return &Tfmain::AcBrightnessIncreaseExecute;
    case TCommand::AcBrightnessDecrease: return &Tfmain::AcBrightnessDecreaseExecute;
    case TCommand::AcBrightnessOriginal: return &Tfmain::AcBrightnessOriginalExecute;
    case TCommand::AcContrastIncrease: return &Tfmain::AcContrastIncreaseExecute;
    case TCommand::AcContrastDecrease: return &Tfmain::AcContrastDecreaseExecute;
    case TCommand::AcContrastOriginal: return &Tfmain::AcContrastOriginalExecute;
    case TCommand::acConvertToGrayScale: return &Tfmain::acConvertToGrayScaleExecute;
    case TCommand::acResizeTo2160: return &Tfmain::acResizeTo2160Execute;
    case TCommand::acResizeTo1080: return &Tfmain::acResizeTo1080Execute;
    case TCommand::acResizeTo720: return &Tfmain::acResizeTo720Execute;
    case TCommand::acResizeToCustom: return &Tfmain::acResizeToCustomExecute;
    case TCommand::acReloadOriginal: return &Tfmain::acReloadOriginalExecute;
    case TCommand::acShowExifData: return nullptr;  // holds its place in the lookup order only
  }
  return nullptr;
}
