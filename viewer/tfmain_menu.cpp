// The popup menu: every entry bound to an action shows its caption and
// shortcut, follows its enabled and checked state, and runs it.
#include "platform/keys.h"
#include "settings/hotkey_binding.h"
#include "viewer/tfmain.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace {

// The caption and, after a tab, the shortcut as the hotkey list names it (so
// the keypad "/" reads "Num /").
QString MenuText(const TAction& action) {
  QString text = action.Caption();
  std::uint16_t key = 0;
  TShiftState shift = 0;
  ShortCutToKey(action.ShortCut(), key, shift);
  const QString keys = action.ShortCut() ? HotkeyToText(shift, key) : QString();
  if (!keys.isEmpty()) text += u'\t' + keys;
  return text;
}

}  // namespace

QAction* Tfmain::AddMenuItem(QMenu* menu, const char* actionName) {
  TAction* action = Action(actionName);
  auto* item = menu->addAction(MenuText(*action));
  item->setObjectName(QStringLiteral("PM_") + action->Name());
  item->setProperty("actionName", action->Name());
  auto sync = [item, action] {
    item->setText(MenuText(*action));
    item->setEnabled(action->Enabled());
    item->setChecked(action->Checked());
  };
  sync();
  connect(action, &TAction::Changed, item, sync);
  connect(item, &QAction::triggered, this, [this, action] { RunAction(action); });
  return item;
}

QAction* Tfmain::MenuItem(const QString& actionName) const {
  for (QAction* item : PM->findChildren<QAction*>())
    if (item->property("actionName").toString() == actionName) return item;
  return nullptr;
}

void Tfmain::CreatePopupMenu() {
  PM = new QMenu(this);
  PM->setObjectName(QStringLiteral("PM"));

  AddMenuItem(PM, "AcToggleFullscreen");
  AddMenuItem(PM, "AcOriginalSize");
  AddMenuItem(PM, "AcFitToScreen");

  QMenu* edit = PM->addMenu(QStringLiteral("Edit"));
  AddMenuItem(edit, "AcRotateRight");
  AddMenuItem(edit, "AcRotateLeft");
  edit->addSeparator();
  QMenu* resize = edit->addMenu(QStringLiteral("Resize to"));
  PM_ResInfo = resize->addAction(QStringLiteral("Resolution"));
  PM_ResInfo->setObjectName(QStringLiteral("PM_ResInfo"));
  PM_ResInfo->setEnabled(false);
  for (const char* name : {"acResizeTo2160", "acResizeTo1080", "acResizeTo720", "acResizeToCustom", "acReloadOriginal"})
    AddMenuItem(resize, name);
  QMenu* tone = edit->addMenu(QStringLiteral("Gamma/Brightness/Contrast"));
  for (const char* name : {"AcGammaIncrease", "AcGammaDecrease", "AcGammaOriginal", "AcBrightnessIncrease",
                           "AcBrightnessDecrease", "AcBrightnessOriginal", "AcContrastIncrease", "AcContrastDecrease",
                           "AcContrastOriginal"})
    AddMenuItem(tone, name);
  for (const char* name : {"acConvertToGrayScale", "AcFlipHorizontal", "AcFlipVertical", "acSave"})
    AddMenuItem(edit, name);

  AddMenuItem(PM, "AcDelete");
  AddMenuItem(PM, "AcSaveAs");
  AddMenuItem(PM, "AcFileInfo");

  QMenu* sort = PM->addMenu(QStringLiteral("Sort by..."));
  FSortGroup = new QActionGroup(this);
  FSortGroup->setExclusive(true);
  const std::pair<const char*, const char*> radios[] = {
      {"AcSortByName", "PM_SortByName"}, {"AcSortByDate", "PM_SortByDate"}, {"AcSortBySize", "PM_SortBySize"}};
  for (const auto& [actionName, itemName] : radios) {
    QAction* item = AddMenuItem(sort, actionName);
    item->setObjectName(QLatin1String(itemName));
    item->setCheckable(true);
    FSortGroup->addAction(item);
  }
  // One radio group: checking an action's item unchecks the other actions.
  for (const auto& [actionName, itemName] : radios) {
    TAction* action = Action(actionName);
    connect(action, &TAction::Changed, this, [this, action] {
      if (!action->Checked()) return;
      for (const char* other : {"AcSortByName", "AcSortByDate", "AcSortBySize"})
        if (Action(other) != action) Action(other)->SetChecked(false);
    });
  }
  Action("AcSortByName")->SetChecked(true);  // as laid out, until the settings say otherwise
  sort->addSeparator();
  AddMenuItem(sort, "AcToggleDirection");

  QMenu* misc = PM->addMenu(QStringLiteral("Misc..."));
  for (const char* name : {"AcSetAsWallpaper", "AcSaveAsFavIcon", "AcCopyFilePath", "AcFirst", "AcLast", "AcZoomIn", "AcZoomOut"})
    AddMenuItem(misc, name);
  QAction* integration = misc->addAction(QStringLiteral("Shell Integration"));
  integration->setObjectName(QStringLiteral("PMIntegration"));
  connect(integration, &QAction::triggered, this, [this] {
    if (ShowIntegration) ShowIntegration();
  });
  connect(misc, &QMenu::aboutToShow, integration, [this, integration] { integration->setEnabled(bool(ShowIntegration)); });

  AddMenuItem(PM, "AcOptions");
  QAction* help = PM->addAction(QStringLiteral("Help"));
  help->setObjectName(QStringLiteral("Help1"));
  connect(help, &QAction::triggered, this, &Tfmain::Help1Click);
  QAction* about = PM->addAction(QStringLiteral("About"));
  about->setObjectName(QStringLiteral("PMAbout"));
  connect(about, &QAction::triggered, this, [this] {
    if (ShowAbout) ShowAbout();
  });
  // Windows that do not exist yet leave their entries disabled.
  connect(PM, &QMenu::aboutToShow, about, [this, about] { about->setEnabled(bool(ShowAbout)); });
  PM->addSeparator();
  AddMenuItem(PM, "AcQuit");
}
