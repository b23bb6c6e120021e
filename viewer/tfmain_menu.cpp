// The popup menu: every entry bound to an action shows its caption and
// shortcut, follows its enabled and checked state, and runs it.
#include "platform/keys.h"
#include "settings/hotkey_binding.h"
#include "viewer/tfmain.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <algorithm>
#include <vector>

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

QAction* Tfmain::AddMenuItem(QMenu* menu, TCommand command) {
  TAction* action = Action(command);
  auto* item = menu->addAction(MenuText(*action));
  const char* itemName = CommandRow(command).menu.itemName;
  item->setObjectName(itemName ? QLatin1String(itemName) : QStringLiteral("PM_") + action->Name());
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

void Tfmain::AddMenuItems(QMenu* menu, TMenuPlace place) {
  std::vector<const TCommandRow*> rows;
  for (const TCommandRow& row : CommandTable)
    if (row.menu.place == place) rows.push_back(&row);
  std::sort(rows.begin(), rows.end(),
            [](const TCommandRow* a, const TCommandRow* b) { return a->menu.order < b->menu.order; });
  for (const TCommandRow* row : rows) AddMenuItem(menu, row->command);
}

QAction* Tfmain::MenuItem(const QString& actionName) const {
  for (QAction* item : PM->findChildren<QAction*>())
    if (item->property("actionName").toString() == actionName) return item;
  return nullptr;
}

void Tfmain::CreatePopupMenu() {
  PM = new QMenu(this);
  PM->setObjectName(QStringLiteral("PM"));

  AddMenuItems(PM, mpView);

  QMenu* edit = PM->addMenu(QStringLiteral("Edit"));
  AddMenuItems(edit, mpEditTurn);
  edit->addSeparator();
  QMenu* resize = edit->addMenu(QStringLiteral("Resize to"));
  PM_ResInfo = resize->addAction(QStringLiteral("Resolution"));
  PM_ResInfo->setObjectName(QStringLiteral("PM_ResInfo"));
  PM_ResInfo->setEnabled(false);
  AddMenuItems(resize, mpResize);
  AddMenuItems(edit->addMenu(QStringLiteral("Gamma/Brightness/Contrast")), mpTone);
  AddMenuItems(edit, mpEditMore);

  AddMenuItems(PM, mpFile);

  QMenu* sort = PM->addMenu(QStringLiteral("Sort by..."));
  AddMenuItems(sort, mpSort);
  FSortGroup = new QActionGroup(this);
  FSortGroup->setExclusive(true);
  std::vector<TAction*> radios;
  for (QAction* item : sort->actions()) {
    item->setCheckable(true);
    FSortGroup->addAction(item);
    radios.push_back(FActions.FindByName(item->property("actionName").toString()));
  }
  // One radio group: checking an action's item unchecks the other actions.
  for (TAction* action : radios) {
    connect(action, &TAction::Changed, this, [action, radios] {
      if (!action->Checked()) return;
      for (TAction* other : radios)
        if (other != action) other->SetChecked(false);
    });
  }
  Action(TCommand::AcSortByName)->SetChecked(true);  // as laid out, until the settings say otherwise
  sort->addSeparator();
  AddMenuItems(sort, mpSortMore);

  QMenu* misc = PM->addMenu(QStringLiteral("Misc..."));
  AddMenuItems(misc, mpMisc);
  QAction* integration = misc->addAction(QStringLiteral("Shell Integration"));
  integration->setObjectName(QStringLiteral("PMIntegration"));
  connect(integration, &QAction::triggered, this, [this] {
    if (ShowIntegration) ShowIntegration();
  });
  connect(misc, &QMenu::aboutToShow, integration,
          [this, integration] { integration->setEnabled(bool(ShowIntegration)); });

  AddMenuItems(PM, mpOptions);
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
  AddMenuItems(PM, mpQuit);
}
