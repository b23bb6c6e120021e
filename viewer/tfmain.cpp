#include "viewer/tfmain.h"

#include "platform/message_box.h"
#include "settings/hotkey_table.h"
#include "viewer/image_loader.h"
#include "viewer/main_actions.h"
#include "viewer/picture_painter.h"

#include <QAction>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QScreen>

#include <exception>

namespace {

constexpr int DesignClientWidth = 786;
constexpr int DesignClientHeight = 520;
constexpr double DesignPixelsPerInch = 120.0;

QString BaseHint(const char* actionName, const char* caption) {
  for (const THotkeyBinding& b : HotkeyBindings())
    if (qstrcmp(b.actionName, actionName) == 0) return QString::fromLatin1(b.baseHint);
  return QString::fromLatin1(caption);
}

}  // namespace

Tfmain::Tfmain(TAppState& state, QWidget* parent) : QWidget(parent), FState(state) {
  setWindowTitle(QLatin1String(ApplicationTitle));
  setAcceptDrops(true);
  // Only the painter fills the client area: no background erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
  resize(Scaled(DesignClientWidth), Scaled(DesignClientHeight));

  CreateActions();
  FIconFontId = QFontDatabase::addApplicationFont(FState.sAppDir + QStringLiteral("fa.ttf"));

  PM = new QMenu(this);
  PM_ResInfo = new QAction(QStringLiteral("Resolution"), this);
  PM_ResInfo->setEnabled(false);

  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);

  LoadImage(FState.sCurrentFile, true, true);
}

Tfmain::~Tfmain() {
  if (FIconFontId >= 0) QFontDatabase::removeApplicationFont(FIconFontId);
}

int Tfmain::Scaled(int designValue) const {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  const double dpi = s ? s->logicalDotsPerInch() : DesignPixelsPerInch;
  return static_cast<int>(designValue * dpi / DesignPixelsPerInch);
}

void Tfmain::CreateActions() {
  for (const TActionDef& def : MainActionDefs()) {
    auto* action = new TAction(QString::fromLatin1(def.name), QString::fromLatin1(def.caption),
                               BaseHint(def.name, def.caption), this);
    action->setObjectName(action->Name());
    FActions.Add(action);
  }
  Handle("AcZoomIn", &Tfmain::AcZoomInExecute);
  Handle("AcZoomOut", &Tfmain::AcZoomOutExecute);
  Handle("AcLeft", &Tfmain::AcLeftExecute);
  Handle("AcRight", &Tfmain::AcRightExecute);
  Handle("AcUp", &Tfmain::AcUpExecute);
  Handle("AcDown", &Tfmain::AcDownExecute);
  Handle("AcFitToScreen", &Tfmain::AcFitToScreenExecute);
  Handle("AcOriginalSize", &Tfmain::AcOriginalSizeExecute);
  Handle("AcToggleFullscreen", &Tfmain::AcToggleFullscreenExecute);
  Handle("AcQuit", &Tfmain::AcQuitExecute);
  // Commands still to come run nothing and show disabled.
  for (TAction* action : FActions.Items())
    if (!action->HasHandler()) action->SetEnabled(false);
}

void Tfmain::Handle(const char* name, void (Tfmain::*handler)()) {
  if (TAction* action = Action(name)) action->SetOnExecute([this, handler] { (this->*handler)(); });
}

TAction* Tfmain::Action(const char* name) const { return FActions.FindByName(QLatin1String(name)); }

bool Tfmain::RunAction(TAction* action) {
  if (!action) return false;
  try {
    return action->Execute();
  } catch (const std::exception& e) {
    ShowErrorBox(this, QString::fromUtf8(e.what()) + u'.', QLatin1String(ApplicationTitle));
  }
  return true;
}

void Tfmain::LoadImage(const QString& path, bool resetView, bool repaint) {
  if (resetView) {
    FState.View.fZoom = 1.0f;
    FState.View.iOffsetX = 0;
    FState.View.iOffsetY = 0;
    FState.Tone = TToneState{};
  }
  FState.sCurrentFile = path;
  LoadImageFile(FBitmap, path, FState.Settings.ExifRotation);
  PM_ResInfo->setText(ResInfoCaption(FBitmap.Width(), FBitmap.Height()));
  setWindowTitle(WindowCaption(path, FBitmap.Width(), FBitmap.Height()));
  if (repaint) Repaint();
}

void Tfmain::Reload() { LoadImage(FState.sCurrentFile, true, true); }

void Tfmain::Repaint() { FormPaint(); }

void Tfmain::FitToScreen() {
  FState.View.bZoomToFit = true;
  FState.View.bShrinkToFit = true;
  FState.View.fZoom = 1.0f;
  FState.View.iOffsetX = 0;
  FState.View.iOffsetY = 0;
  Repaint();
}

void Tfmain::OriginalSize() {
  FState.View.bZoomToFit = false;
  FState.View.bShrinkToFit = false;
  FState.View.fZoom = 1.0f;
  FState.View.iOffsetX = 0;
  FState.View.iOffsetY = 0;
  Repaint();
}

void Tfmain::ToggleFullscreen() {
  FState.bFullScreen = !FState.bFullScreen;
  if (FState.bFullScreen) {
    setWindowState(windowState() | Qt::WindowFullScreen);
  } else {
    setWindowState(windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized | Qt::WindowMinimized));
    if (!isVisible()) CentreOnScreen();
  }
}

void Tfmain::CentreOnScreen() {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  const QRect area = s->availableGeometry();
  move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void Tfmain::RenderFrame() {
  if (FFrame.size() != size()) FFrame = QImage(size(), QImage::Format_RGB32);
  if (FFrame.isNull()) return;  // an empty client area draws nothing
  PaintPicture(FFrame, FBitmap, FState.View, FDisplayCopy);
}

void Tfmain::FormPaint() {
  RenderFrame();
  FFrameFresh = true;
  repaint();
}

void Tfmain::paintEvent(QPaintEvent*) {
  if (!FFrameFresh || FFrame.size() != size()) RenderFrame();
  FFrameFresh = false;
  if (FFrame.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, FFrame);
}

void Tfmain::resizeEvent(QResizeEvent*) { FormPaint(); }

void Tfmain::AcZoomInExecute() {
  FState.View.fZoom = FState.View.fZoom + ZoomStep;
  FormPaint();
}

void Tfmain::AcZoomOutExecute() {
  if (FState.View.iDrawWidth > ZoomOutGuard && FState.View.iDrawHeight > ZoomOutGuard)
    FState.View.fZoom = FState.View.fZoom - ZoomStep;
  FormPaint();
}

void Tfmain::AcLeftExecute() {
  FState.View.iOffsetX += PanStepX;
  FormPaint();
}

void Tfmain::AcRightExecute() {
  FState.View.iOffsetX -= PanStepX;
  FormPaint();
}

void Tfmain::AcUpExecute() {
  FState.View.iOffsetY += PanStepY;
  FormPaint();
}

void Tfmain::AcDownExecute() {
  FState.View.iOffsetY -= PanStepY;
  FormPaint();
}

void Tfmain::AcFitToScreenExecute() { FitToScreen(); }
void Tfmain::AcOriginalSizeExecute() { OriginalSize(); }
void Tfmain::AcToggleFullscreenExecute() { ToggleFullscreen(); }
void Tfmain::AcQuitExecute() { close(); }
