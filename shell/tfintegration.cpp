#include "shell/tfintegration.h"

#include "folder/extra_formats.h"
#include "platform/application_title.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"
#include "platform/screen_scale.h"
#include "shell/association_store.h"
#include "shell/integration.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTableWidget>

namespace {

constexpr int DesignClientWidth = 551;
constexpr int DesignClientHeight = 481;
constexpr int FontHeight = 14;
constexpr int NoticeFontHeight = 11;

enum TColumn { ColFormat, ColDescription, ColExtensions };

}  // namespace

TfIntegration::TfIntegration(const TSettings& settings, QWidget* parent, int screenPpi)
    : QDialog(parent, FixedDialogFlags), FSettings(settings), FScreenPpi(screenPpi) {
  setObjectName(QStringLiteral("fIntegration"));
  setWindowTitle(QStringLiteral("File Associations"));
  setModal(true);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(Scaled(FontHeight));
  setFont(font);
  setFixedSize(Scaled(DesignClientWidth), Scaled(DesignClientHeight));

  // A tab row over a framed panel, with the controls placed on the whole
  // control as on the framework's tab control.
  TabControl1 = new QWidget(this);
  TabControl1->setObjectName(QStringLiteral("TabControl1"));
  TabControl1->setGeometry(Scaled(10), Scaled(14), Scaled(531), Scaled(417));
  FTabs = new QTabBar(TabControl1);
  FTabs->addTab(QStringLiteral("Image file types"));
  FTabs->move(0, 0);
  FTabs->resize(FTabs->sizeHint());
  auto* panel = new QFrame(TabControl1);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setGeometry(0, FTabs->height() - 1, TabControl1->width(), TabControl1->height() - FTabs->height() + 1);
  FTabs->raise();

  LV = new QTableWidget(static_cast<int>(ListedFormats().size()), 3, TabControl1);
  LV->setObjectName(QStringLiteral("LV"));
  LV->setGeometry(Scaled(20), Scaled(40), Scaled(491), Scaled(331));
  LV->setHorizontalHeaderLabels(
      {QStringLiteral("Format"), QStringLiteral("Description"), QStringLiteral("File extensions")});
  LV->setColumnWidth(ColFormat, Scaled(100));
  LV->setColumnWidth(ColDescription, Scaled(213));
  LV->setColumnWidth(ColExtensions, Scaled(225));
  LV->horizontalHeader()->setHighlightSections(false);
  LV->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LV->verticalHeader()->hide();
  LV->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + Scaled(6));
  LV->setShowGrid(true);
  LV->setSelectionBehavior(QAbstractItemView::SelectRows);
  LV->setSelectionMode(QAbstractItemView::SingleSelection);
  LV->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LV->setWordWrap(false);

  chSelectAll = new QCheckBox(QStringLiteral("Select all"), TabControl1);
  chSelectAll->setObjectName(QStringLiteral("chSelectAll"));
  chSelectAll->setGeometry(Scaled(20), Scaled(380), Scaled(121), Scaled(21));
  // Like the framework's OnClick, this also runs when the box is checked by code.
  connect(chSelectAll, &QCheckBox::toggled, this, &TfIntegration::chSelectAllClick);

  lblNotice = new QLabel(TabControl1);
  lblNotice->setObjectName(QStringLiteral("lblNotice"));
  lblNotice->setGeometry(Scaled(146), Scaled(373), Scaled(370), Scaled(40));
  lblNotice->setWordWrap(true);
  lblNotice->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QFont small = font;
  small.setPixelSize(Scaled(NoticeFontHeight));
  lblNotice->setFont(small);

  btnOk = new QPushButton(QStringLiteral("Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setGeometry(Scaled(286), Scaled(439), Scaled(124), Scaled(31));
  connect(btnOk, &QPushButton::clicked, this, &TfIntegration::btnOkClick);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setGeometry(Scaled(418), Scaled(439), Scaled(123), Scaled(31));
  connect(btnCancel, &QPushButton::clicked, this, &TfIntegration::btnCancelClick);
  // Neither button is, or becomes, the default: Enter anywhere else must not
  // hand the viewer every file type at once (see FormKeyDown).
  for (QPushButton* b : {btnOk, btnCancel}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
}

int TfIntegration::Scaled(int designValue) const {
  return ScaledToPpi(designValue, ScreenPixelsPerInch(this, FScreenPpi, FormDesignPixelsPerInch),
                     FormDesignPixelsPerInch);
}

int TfIntegration::ShowModalFor(QWidget* parent) {
  // Over parent for this showing only: the dialog must not die with it.
  QWidget* owner = parentWidget();
  if (parent != owner) setParent(parent, windowFlags());
  const int result = ShowModal(*this);
  if (parentWidget() != owner) setParent(owner, windowFlags());
  return result;
}

void TfIntegration::showEvent(QShowEvent* event) {
  // Restoring the minimised dialog shows it too; that keeps the user's checks.
  if (event->spontaneous()) {
    QDialog::showEvent(event);
    return;
  }
  FormShow();
  ::CentreOnScreen(*this);
  QDialog::showEvent(event);
}

bool TfIntegration::IsRowChecked(int row) const {
  const QTableWidgetItem* item = LV->item(row, ColFormat);
  return item && item->checkState() == Qt::Checked;
}

void TfIntegration::SetRowChecked(int row, bool bChecked) {
  if (QTableWidgetItem* item = LV->item(row, ColFormat)) item->setCheckState(bChecked ? Qt::Checked : Qt::Unchecked);
}

void TfIntegration::FormShow() {
  LV->clearContents();
  const std::vector<bool> opened = FormatsOpenedByViewer();
  // The 36 rows, then the extra formats.
  for (int row = 0; row < LV->rowCount(); ++row) {
    const ftype& format = ListedFormats()[static_cast<std::size_t>(row)];
    auto* name = new QTableWidgetItem(QString(format.name));
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    name->setCheckState(opened[row] ? Qt::Checked : Qt::Unchecked);
    LV->setItem(row, ColFormat, name);
    auto* desc = new QTableWidgetItem(QString(format.desc));
    desc->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    LV->setItem(row, ColDescription, desc);
    auto* ext = new QTableWidgetItem(QString(format.Ext).toLower());
    ext->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    LV->setItem(row, ColExtensions, ext);
  }
  lblNotice->setText(CurrentIntegrationNoticeText());
  // On the first run every row ends up checked. Otherwise the box says
  // whether every row is checked, without changing a row.
  if (FSettings.FirstRun) {
    chSelectAll->setChecked(true);
    chSelectAllClick();
    return;
  }
  bool bAll = true;
  for (int row = 0; row < LV->rowCount(); ++row) bAll = bAll && IsRowChecked(row);
  const QSignalBlocker quiet(chSelectAll);
  chSelectAll->setChecked(bAll);
}

void TfIntegration::chSelectAllClick() {
  for (int row = 0; row < LV->rowCount(); ++row) SetRowChecked(row, chSelectAll->isChecked());
}

void TfIntegration::btnOkClick() {
  std::vector<std::pair<QString, bool>> choices;
  for (int row = 0; row < LV->rowCount(); ++row) {
    const QTableWidgetItem* item = LV->item(row, ColFormat);
    if (item) choices.emplace_back(item->text(), IsRowChecked(row));
  }
  const QString failure = ApplyAssociations(choices);
  if (!failure.isEmpty()) ShowErrorBox(this, failure, QLatin1String(ApplicationTitle));
  accept();
}

void TfIntegration::btnCancelClick() { reject(); }

void TfIntegration::keyPressEvent(QKeyEvent* event) { FormKeyDown(event); }

void TfIntegration::FormKeyDown(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    btnCancelClick();
    return;
  }
  // Enter presses the button that has the focus, and elsewhere does nothing.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (QPushButton* button = qobject_cast<QPushButton*>(focusWidget()); button == btnOk || button == btnCancel)
      button->click();
    return;
  }
  QDialog::keyPressEvent(event);
}
