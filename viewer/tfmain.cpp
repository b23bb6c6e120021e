#include "viewer/tfmain.h"

#include "folder/folder_lister.h"
#include "platform/data_folder.h"
#include "platform/key_event.h"
#include "platform/message_box.h"
#include "platform/screen_scale.h"
#include "settings/hotkey_binding.h"
#include "settings/hotkey_table.h"
#include "viewer/decode_wait.h"
#include "viewer/icon_font.h"
#include "viewer/image_loader.h"
#include "viewer/overlay_painter.h"
#include "viewer/panel_button.h"
#include "viewer/picture_painter.h"
#include "viewer/worker_frame_source.h"

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
// How often the answer of a decode ahead is looked for while one is under way.
constexpr int AheadPollMs = 25;

}  // namespace

Tfmain::Tfmain(TAppState& state, QWidget* parent, int screenPpi)
    : QWidget(parent),
      FDecoder(std::make_unique<TWorkerDecoder>()),
      FDocument(*FDecoder),
      FState(state),
      FScreenPpi(screenPpi),
      FView(state.View, state.Pointer) {
  // The commands that start from the file load it as the window does,
  // alive while a slow decode runs.
  FDocument.LoadFile = [this](const QString& path) { LoadImage(path, false, false); };
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
  FFolderLister = std::make_unique<TFolderLister>([this] {
    QMetaObject::invokeMethod(
        this, [this] { DecodeAhead(); }, Qt::QueuedConnection);
  });

  if (const std::optional<TCommand> sort = SortCommand(FState.Settings.SortType)) Action(*sort)->SetChecked(true);

  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);

  FFrameSource = std::make_unique<TWorkerFrameSource>(decoder::TDecoderClient::Shared());
  FAnimation = std::make_unique<TAnimationPlayer>(*FFrameSource);
  FAheadPoll.setSingleShot(true);
  FAheadPoll.setInterval(AheadPollMs);
  connect(&FAheadPoll, &QTimer::timeout, this, &Tfmain::PollDecodeAhead);
  FAnimationTimer.setSingleShot(true);
  FAnimationTimer.setTimerType(Qt::PreciseTimer);
  connect(&FAnimationTimer, &QTimer::timeout, this, &Tfmain::AnimationTick);
  FAnimationClock.start();
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
  // A hidden or minimised window plays nothing; shown again, it goes on.
  if (event->type() == QEvent::Show || event->type() == QEvent::WindowStateChange)
    QTimer::singleShot(0, this, &Tfmain::ScheduleAnimationTick);
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
    FView.Reset();
    FState.Tone = TToneState{};
  }
  FState.sCurrentFile = path;
  StopAnimation();
  FDocument.StartLoad(path, FState.Settings.ExifRotation);
  std::unique_ptr<TDecodeWait> wait;
  if (!FDocument.WaitLoad(QuickDecodeMs, true)) {
    if (decoder::TDecoderClient* client = FDecoder->Client()) {
      wait = std::make_unique<TDecodeWait>(
          *this, *client,
          TDecodeWait::THooks{[this](const QKeyEvent& key) { return KeyRunsOneOf(key, {TCommand::AcQuit}); },
                              [this](const QKeyEvent& key) {
                                return KeyRunsOneOf(key, {TCommand::AcNext, TCommand::AcPrev, TCommand::AcNext2,
                                                          TCommand::AcPrev2, TCommand::AcFirst, TCommand::AcLast});
                              },
                              [this] { DecodeWaitTick(); }});
      WaitForSlowLoad(*wait);
    } else {
      FDocument.WaitLoad(-1, false);
    }
  }
  // The picture replaced is released once the new one is on screen: unmapping
  // a large one takes milliseconds.
  auto previous = std::make_shared<TFreeBitmap>();
  FDocument.FinishLoad(path, *previous);
  if (previous->IsValid()) QTimer::singleShot(0, this, [previous] { previous->Clear(); });

  PM_ResInfo->setText(ResInfoCaption(FBitmap.Width(), FBitmap.Height()));
  setWindowTitle(WindowCaption(path, FBitmap.Width(), FBitmap.Height()));
  StartAnimation();
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
  if (FDocument.TakePreview() && isVisible()) FormPaint();
  if (sMessage == QLatin1String(LoadingMessage))
    TmrMessage = std::max(TmrMessage, 2);
  else if (FPreview.IsValid() && FDecodeWaitTime.elapsed() > LoadingMessageWithPreviewMs)
    FlashMessage(QLatin1String(LoadingMessage), 1000);
}

bool Tfmain::KeyRunsOneOf(const QKeyEvent& key, std::initializer_list<TCommand> commands) const {
  const TAction* action = FActions.FindByShortCut(ShortCutFromKeyEvent(key));
  if (!action) return false;
  for (TCommand command : commands)
    if (action == Action(command)) return true;
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
  FView.FitToScreen();
  Repaint();
}

void Tfmain::OriginalSize() {
  FView.OriginalSize();
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
  FFramePicture = 0;
  if (FFrame.isNull()) return;  // an empty client area draws nothing
  if (FPreview.IsValid()) {
    PaintPictureAs(FFrame, FPreview, FDocument.PreviewWidth, FDocument.PreviewHeight, FState.View, FDisplayCopy,
                   &FScreenColour);
  } else {
    const TFreeBitmap& picture = PaintedPicture();
    PaintPicture(FFrame, picture, FState.View, FDisplayCopy, &FScreenColour);
    if (PicturePlace(picture, FFramePicturePlace)) FFramePicture = picture.Version();
  }

  const TOverlayInput in = OverlayInput();
  if (!AnyOverlay(in)) return;
  FFramePicture = 0;
  QPainter painter(&FFrame);
  PaintOverlays(painter, font(), in);
}

TOverlayInput Tfmain::OverlayInput() const {
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
  in.sLoadProblem = FPreview.IsValid() ? QString() : FDocument.LoadProblem;
  in.hint = FHint;
  return in;
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
  FView.ZoomIn();
  FormPaint();
}

void Tfmain::AcZoomOutExecute() {
  const QSize client = DeviceClientSize();
  const bool preview = FPreview.IsValid();
  FView.ZoomOut(client.width(), client.height(), preview ? FDocument.PreviewWidth : FBitmap.Width(),
                preview ? FDocument.PreviewHeight : FBitmap.Height());
  FormPaint();
}

void Tfmain::AcLeftExecute() {
  FView.PanLeft();
  FormPaint();
}

void Tfmain::AcRightExecute() {
  FView.PanRight();
  FormPaint();
}

void Tfmain::AcUpExecute() {
  FView.PanUp();
  FormPaint();
}

void Tfmain::AcDownExecute() {
  FView.PanDown();
  FormPaint();
}

void Tfmain::AcFitToScreenExecute() { FitToScreen(); }
void Tfmain::AcOriginalSizeExecute() { OriginalSize(); }
void Tfmain::AcToggleFullscreenExecute() { ToggleFullscreen(); }
void Tfmain::AcQuitExecute() { close(); }

void Tfmain::AcOptionsExecute() {
  if (ShowOptions) ShowOptions();
}
