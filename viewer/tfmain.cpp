#include "viewer/tfmain.h"

#include "folder/folder_lister.h"
#include "platform/key_event.h"
#include "platform/data_folder.h"
#include "platform/message_box.h"
#include "platform/screen_scale.h"
#include "settings/hotkey_binding.h"
#include "settings/hotkey_table.h"
#include "viewer/decode_wait.h"
#include "viewer/icon_font.h"
#include "viewer/image_loader.h"
#include "viewer/main_actions.h"
#include "viewer/overlay_painter.h"
#include "viewer/panel_button.h"
#include "viewer/picture_painter.h"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <exception>

namespace {

constexpr int DesignClientWidth = 786;
constexpr int DesignClientHeight = 520;
// A decode that takes longer than this shows the loading message and lets
// the window live; shorter ones are waited for as a plain call.
constexpr int QuickDecodeMs = 250;
// With a preview on screen the message waits longer: the picture is there.
constexpr int LoadingMessageWithPreviewMs = 1000;
const char* const LoadingMessage = "Loading...";
constexpr int DecodeAheadDelayMs = 100;

QString BaseHint(const char* actionName, const char* caption) {
  for (const THotkeyBinding& b : HotkeyBindings())
    if (qstrcmp(b.actionName, actionName) == 0) return QString::fromLatin1(b.baseHint);
  return QString::fromLatin1(caption);
}

}  // namespace

Tfmain::Tfmain(TAppState& state, QWidget* parent, int screenPpi)
    : QWidget(parent), FState(state), FScreenPpi(screenPpi) {
  setWindowTitle(QLatin1String(ApplicationTitle));
  setAcceptDrops(true);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // Only the painter fills the client area: no background erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
  resize(Scaled(DesignClientWidth), Scaled(DesignClientHeight));

  CreateActions();
  // The panel's glyphs need the icon font, so it comes before the panel.
  FIconFont = std::make_unique<TIconFont>(IconFontFamily(), DataFolder(FState.sAppDir) + QStringLiteral("fa.ttf"));
  CreatePanel();
  CreatePopupMenu();

  BindHotkeys(FActions, FState.Settings);

  // A finished listing brings the decode ahead that waited for it.
  FFolderLister = std::make_unique<TFolderLister>(
      [this] { QMetaObject::invokeMethod(this, [this] { DecodeAhead(); }, Qt::QueuedConnection); });

  switch (FState.Settings.SortType) {
    case SortByName: Action("AcSortByName")->SetChecked(true); break;
    case SortByDate: Action("AcSortByDate")->SetChecked(true); break;
    case SortBySize: Action("AcSortBySize")->SetChecked(true); break;
    default: break;
  }

  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);

  connect(&Timer1, &QTimer::timeout, this, &Tfmain::Timer1Timer);
  Timer1.start(100);

  LoadImage(FState.sCurrentFile, true, true);
}

Tfmain::~Tfmain() = default;

double Tfmain::ScreenPpi() const { return ScreenPixelsPerInch(this, FScreenPpi, FormDesignPixelsPerInch); }

int Tfmain::Scaled(int designValue) const { return ScaledToPpi(designValue, ScreenPpi(), FormDesignPixelsPerInch); }

// Rounded as Qt sizes the window's backing store, so the frame covers it
// pixel for pixel at fractional ratios too.
QSize Tfmain::DeviceClientSize() const { return size() * devicePixelRatioF(); }

QPoint Tfmain::DevicePoint(const QPointF& logical) const { return (logical * devicePixelRatioF()).toPoint(); }

void Tfmain::CreateActions() {
  for (const TActionDef& def : MainActionDefs()) {
    auto* action = new TAction(QString::fromLatin1(def.name), QString::fromLatin1(def.caption),
                               BaseHint(def.name, def.caption), this);
    action->setObjectName(action->Name());
    FActions.Add(action);
  }
  Handle("AcNext", &Tfmain::AcNextExecute);
  Handle("AcPrev", &Tfmain::AcPrevExecute);
  Handle("AcNext2", &Tfmain::AcNextExecute);
  Handle("AcPrev2", &Tfmain::AcPrevExecute);
  Handle("AcFirst", &Tfmain::AcFirstExecute);
  Handle("AcLast", &Tfmain::AcLastExecute);
  Handle("AcToggleFullscreen", &Tfmain::AcToggleFullscreenExecute);
  Handle("AcOriginalSize", &Tfmain::AcOriginalSizeExecute);
  Handle("AcFitToScreen", &Tfmain::AcFitToScreenExecute);
  Handle("AcDelete", &Tfmain::AcDeleteExecute);
  Handle("AcZoomIn", &Tfmain::AcZoomInExecute);
  Handle("AcZoomOut", &Tfmain::AcZoomOutExecute);
  Handle("AcUp", &Tfmain::AcUpExecute);
  Handle("AcDown", &Tfmain::AcDownExecute);
  Handle("AcLeft", &Tfmain::AcLeftExecute);
  Handle("AcRight", &Tfmain::AcRightExecute);
  Handle("AcFileInfo", &Tfmain::AcFileInfoExecute);
  Handle("AcQuit", &Tfmain::AcQuitExecute);
  Handle("AcSortByName", &Tfmain::AcSortByNameExecute);
  Handle("AcSortByDate", &Tfmain::AcSortByDateExecute);
  Handle("AcSortBySize", &Tfmain::AcSortBySizeExecute);
  Handle("AcToggleDirection", &Tfmain::AcToggleDirectionExecute);
  Handle("AcCopyFilePath", &Tfmain::AcCopyFilePathExecute);
  Handle("acMenu", &Tfmain::acMenuExecute);
  Handle("AcOptions", &Tfmain::AcOptionsExecute);
  Handle("acSave", &Tfmain::acSaveExecute);
  Handle("AcSaveAs", &Tfmain::AcSaveAsExecute);
  Handle("AcSaveAsFavIcon", &Tfmain::AcSaveAsFavIconExecute);
  Handle("AcSetAsWallpaper", &Tfmain::AcSetAsWallpaperExecute);
  Handle("AcRotateLeft", &Tfmain::AcRotateLeftExecute);
  Handle("AcRotateRight", &Tfmain::AcRotateRightExecute);
  Handle("AcFlipHorizontal", &Tfmain::AcFlipHorizontalExecute);
  Handle("AcFlipVertical", &Tfmain::AcFlipVerticalExecute);
  Handle("AcGammaIncrease", &Tfmain::AcGammaIncreaseExecute);
  Handle("AcGammaDecrease", &Tfmain::AcGammaDecreaseExecute);
  Handle("AcGammaOriginal", &Tfmain::AcGammaOriginalExecute);
  Handle("AcBrightnessIncrease", &Tfmain::AcBrightnessIncreaseExecute);
  Handle("AcBrightnessDecrease", &Tfmain::AcBrightnessDecreaseExecute);
  Handle("AcBrightnessOriginal", &Tfmain::AcBrightnessOriginalExecute);
  Handle("AcContrastIncrease", &Tfmain::AcContrastIncreaseExecute);
  Handle("AcContrastDecrease", &Tfmain::AcContrastDecreaseExecute);
  Handle("AcContrastOriginal", &Tfmain::AcContrastOriginalExecute);
  Handle("acConvertToGrayScale", &Tfmain::acConvertToGrayScaleExecute);
  Handle("acResizeTo2160", &Tfmain::acResizeTo2160Execute);
  Handle("acResizeTo1080", &Tfmain::acResizeTo1080Execute);
  Handle("acResizeTo720", &Tfmain::acResizeTo720Execute);
  Handle("acResizeToCustom", &Tfmain::acResizeToCustomExecute);
  Handle("acReloadOriginal", &Tfmain::acReloadOriginalExecute);
  // An action without a command (acShowExifData only holds its place in the
  // lookup order) runs nothing and shows disabled.
  for (TAction* action : FActions.Items())
    if (!action->HasHandler()) action->SetEnabled(false);
  Action("acResizeToCustom")->SetEnabled(false);  // until the dialog exists
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

bool Tfmain::DispatchShortCut(TShortCut shortCut) {
  TAction* action = FActions.FindByShortCut(shortCut);
  if (!action) return false;
  RunAction(action);
  return true;
}

bool Tfmain::event(QEvent* event) {
  // Tab and Shift+Tab are hotkeys like any other key, not focus moves.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  return QWidget::event(event);
}

void Tfmain::keyPressEvent(QKeyEvent* event) {
  if (!DispatchShortCut(ShortCutFromKeyEvent(*event))) QWidget::keyPressEvent(event);
}

void Tfmain::LoadImage(const QString& path, bool resetView, bool repaint) {
  if (FDecodeWait) {
    // Asked for from inside a slow load's wait: it runs after that load.
    FLoadsAfterWait.push_back([this, path, resetView, repaint] { LoadImage(path, resetView, repaint); });
    return;
  }
  if (resetView) {
    FState.View.fZoom = 1.0f;
    FState.View.iOffsetX = 0;
    FState.View.iOffsetY = 0;
    FState.Tone = TToneState{};
  }
  FState.sCurrentFile = path;
  FLoadProblem.clear();

  bWorkingImageEdited = false;
  decoder::TDecoderClient& client = decoder::TDecoderClient::Shared();
  client.StartLoad(DecoderPath(path), LoadFlags(FState.Settings.ExifRotation), PreviewSize);
  std::unique_ptr<TDecodeWait> wait;
  if (!client.WaitLoad(QuickDecodeMs, true)) {
    wait = std::make_unique<TDecodeWait>(
        *this, client,
        TDecodeWait::THooks{[this](const QKeyEvent& key) { return KeyRunsOneOf(key, {"AcQuit"}); },
                            [this](const QKeyEvent& key) {
                              return KeyRunsOneOf(key, {"AcNext", "AcPrev", "AcNext2", "AcPrev2", "AcFirst", "AcLast"});
                            },
                            [this] { DecodeWaitTick(); }});
    WaitForSlowLoad(*wait);
  }
  // The picture replaced is released once the new one is on screen: unmapping
  // a large one takes milliseconds.
  auto previous = std::make_shared<TFreeBitmap>();
  decoder::TLoadResult result = client.TakeLoad();
  FLoadProblem = LoadProblemMessage(path, result.problem);
  bLastLoadReadFile = ApplyLoadResult(FBitmap, std::move(result), previous.get(), &FFileFacts);
  if (previous->IsValid()) QTimer::singleShot(0, this, [previous] { previous->Clear(); });
  FPreview.Clear();

  PM_ResInfo->setText(ResInfoCaption(FBitmap.Width(), FBitmap.Height()));
  setWindowTitle(WindowCaption(path, FBitmap.Width(), FBitmap.Height()));
  if (repaint) Repaint();

  std::vector<std::function<void()>> later = std::move(FLoadsAfterWait);
  FLoadsAfterWait.clear();
  if (wait && wait->QuitRequested()) {
    bQuitRequested = true;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return;
  }
  if (wait) wait->ReplayHeldEvents();
  for (auto& load : later) QTimer::singleShot(0, this, std::move(load));
  // Once the new picture has reached the screen: the decode ahead would
  // otherwise compete with its way there.
  QTimer::singleShot(DecodeAheadDelayMs, this, &Tfmain::DecodeAhead);
}

void Tfmain::WaitForSlowLoad(TDecodeWait& wait) {
  FDecodeWait = &wait;
  FDecodeWaitTime.start();
  DecodeWaitTick();
  if (!FPreview.IsValid()) FlashMessage(QLatin1String(LoadingMessage), 1000);
  if (!isVisible() && FState.ShowWhileLoading) FState.ShowWhileLoading(*this);
  FormPaint();
  wait.Run();
  FDecodeWait = nullptr;
  if (sMessage == QLatin1String(LoadingMessage)) {
    sMessage.clear();
    TmrMessage = 0;
  }
}

void Tfmain::DecodeWaitTick() {
  decoder::TLoadResult preview;
  unsigned width = 0;
  unsigned height = 0;
  if (decoder::TDecoderClient::Shared().TakePreview(preview, width, height)) {
    FPreview = std::move(preview.bitmap);
    FPreviewWidth = width;
    FPreviewHeight = height;
    if (isVisible()) FormPaint();
  }
  if (sMessage == QLatin1String(LoadingMessage))
    TmrMessage = std::max(TmrMessage, 2);
  else if (FPreview.IsValid() && FDecodeWaitTime.elapsed() > LoadingMessageWithPreviewMs)
    FlashMessage(QLatin1String(LoadingMessage), 1000);
}

bool Tfmain::KeyRunsOneOf(const QKeyEvent& key, std::initializer_list<const char*> actionNames) const {
  const TAction* action = FActions.FindByShortCut(ShortCutFromKeyEvent(key));
  if (!action) return false;
  for (const char* name : actionNames)
    if (action == Action(name)) return true;
  return false;
}

void Tfmain::Reload() { LoadImage(FState.sCurrentFile, true, true); }

void Tfmain::Repaint() {
  SetWindowPos();
  FormPaint();
  // Qt draws the buttons over the fresh picture by itself; showing them again
  // keeps the menu button, hidden in the layout, joining the panel here.
  if (PanelShowing()) ShowControlsOnPanel();
}

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
    if (isVisible())
      showFullScreen();
    else
      setWindowState(windowState() | Qt::WindowFullScreen);
  } else if (isVisible()) {
    showNormal();
  } else {
    setWindowState(windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized | Qt::WindowMinimized));
    ::CentreOnScreen(*this);
  }
}


void Tfmain::RenderFrame() {
  const double ratio = devicePixelRatioF();
  const QSize deviceSize = DeviceClientSize();
  if (FFrame.size() != deviceSize || FFrame.devicePixelRatio() != ratio) {
    FFrame = QImage(deviceSize, QImage::Format_RGB32);
    // Overlay texts are sized in points at the screen's logical resolution
    // and drawn in logical units, at the frame's full device resolution.
    const int dotsPerMeter = qRound(ScreenPpi() / 0.0254);
    FFrame.setDotsPerMeterX(dotsPerMeter);
    FFrame.setDotsPerMeterY(dotsPerMeter);
    FFrame.setDevicePixelRatio(ratio);
  }
  if (FFrame.isNull()) return;  // an empty client area draws nothing
  if (FPreview.IsValid())
    PaintPictureAs(FFrame, FPreview, FPreviewWidth, FPreviewHeight, FState.View, FDisplayCopy, &FScreenColour);
  else
    PaintPicture(FFrame, FBitmap, FState.View, FDisplayCopy, &FScreenColour);

  TOverlayInput in;
  in.clientWidth = width();
  in.clientHeight = height();
  in.bevelHeight = Bevel1->height();
  in.bShowFileInfo = FState.bShowFileInfo;
  in.bAlwaysShowFilename = FState.Settings.AlwaysShowFilename;
  in.working = FPreview.IsValid() ? nullptr : FBitmap.Dib();
  in.sCurrentFile = FState.sCurrentFile;
  in.sMessage = sMessage;
  in.TmrMessage = TmrMessage;
  in.sLoadProblem = FPreview.IsValid() ? QString() : FLoadProblem;
  in.hint = FHint;
  QPainter painter(&FFrame);
  PaintOverlays(painter, font(), in);
}

void Tfmain::FormPaint() {
  RenderFrame();
  FFrameFresh = true;
  repaint();
}

void Tfmain::paintEvent(QPaintEvent*) {
  if (!FFrameFresh || FFrame.size() != DeviceClientSize() || FFrame.devicePixelRatio() != devicePixelRatioF())
    RenderFrame();
  FFrameFresh = false;
  if (FFrame.isNull()) return;
  // The frame has the window's pixel ratio: it lands one to one on the
  // device pixels.
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), FFrame);
  FShownOnScreen = true;
}

void Tfmain::resizeEvent(QResizeEvent*) {
  SetControlsPosOnPanel();
  FormPaint();
}

void Tfmain::AcZoomInExecute() {
  FState.View.fZoom = FState.View.fZoom + ZoomStep;
  FormPaint();
}

void Tfmain::AcZoomOutExecute() {
  // The guard looks at the size the step would give, so that no step takes
  // the picture below it or the zoom to 0.
  const QSize client = DeviceClientSize();
  const bool preview = FPreview.IsValid();
  if (ZoomOutAllowed(client.width(), client.height(), preview ? FPreviewWidth : FBitmap.Width(),
                     preview ? FPreviewHeight : FBitmap.Height(), FState.View))
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

void Tfmain::AcOptionsExecute() {
  if (ShowOptions) ShowOptions();
}
