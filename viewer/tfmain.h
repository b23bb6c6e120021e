#pragma once

#include "edit/orient_picture.h"
#include "edit/tone.h"
#include "platform/action.h"
#include "platform/save_picture_dialog.h"
#include "settings/command_table.h"
#include "viewer/animation_player.h"
#include "viewer/app_state.h"
#include "viewer/overlay_layout.h"
#include "viewer/picture_document.h"
#include "viewer/screen_colour.h"
#include "viewer/view_controller.h"
#include "viewer/view_geometry.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QFrame;
class QMenu;
class TDecodeWait;
class TFolderLister;
class TIconFont;
class TWorkerFrameSource;
class TPanelButton;
class TfResizeTo;

// The main window: shows the working image and runs every command as one of
// its actions.
class Tfmain : public QWidget {
  Q_OBJECT
  // First: the names below refer into the document.
  std::unique_ptr<TPictureDecoder> FDecoder;
  TPictureDocument FDocument;

public:
  // The creation handler: wires actions, hotkeys, panel and menu, then loads
  // state.sCurrentFile. screenPpi 0 takes the screen's pixels per inch.
  explicit Tfmain(TAppState& state, QWidget* parent = nullptr, int screenPpi = 0);
  ~Tfmain() override;

  // Decodes path into the working image (see LoadImageFile), optionally
  // resetting zoom, offsets and tone first and repainting after. A decode
  // that takes long keeps the window alive meanwhile (see TDecodeWait).
  void LoadImage(const QString& path, bool resetView, bool repaint);
  // True while LoadImage waits for a slow decode.
  bool WaitingForDecode() const { return FDecodeWait != nullptr; }
  void Reload();
  // Places the panel and paints the whole client area at once.
  void Repaint();
  void FitToScreen();
  void OriginalSize();
  void ToggleFullscreen();
  // Renders the frame and shows it at once.
  void FormPaint();

  void ShowControlsOnPanel();
  void HideControlsOnPanel();
  void SetControlsPosOnPanel();
  void SetWindowPos();
  bool PanelShowing() const;
  // The hint of the control under the pointer changed.
  void DisplayHint();

  // Sets the on-screen message for ms milliseconds (counted in timer ticks).
  void FlashMessage(const QString& text, int ms);
  void Timer1Timer();

  // Runs an action; an error escaping it is shown in an error box.
  bool RunAction(TAction* action);
  TAction* Action(TCommand command) const { return FCommandActions[std::size_t(command)]; }
  // By object name, for callers that hold a name from elsewhere (tests, the
  // hotkey rows); nullptr for a name no command has.
  TAction* Action(const char* name) const;
  const TActionList& Actions() const { return FActions; }
  // Looks up the shortcut of a key press and runs the first action with it.
  bool DispatchShortCut(TShortCut shortCut);

  TAppState& State() { return FState; }
  // The picture on display and the logic of its commands.
  TPictureDocument& Document() { return FDocument; }
  // Reads the folder of the file on display ahead of the first step.
  const TFolderLister& FolderLister() const { return *FFolderLister; }
  const TFreeBitmap& Bitmap() const { return FBitmap; }
  const QImage& Frame() const { return FFrame; }
  // Plays the file on display when it is an animation.
  const TAnimationPlayer& Animation() const { return *FAnimation; }
  // Whether a frame has been drawn on the window since it was created.
  bool ShownOnScreen() const { return FShownOnScreen; }
  QMenu* PopupMenu() const { return PM; }
  QAction* ResInfoItem() const { return PM_ResInfo; }
  QAction* MenuItem(const QString& actionName) const;
  QPoint LastPopupPoint() const { return FLastPopupPoint; }
  const std::vector<TPanelButton*>& PanelButtons() const { return FPanelButtons; }
  TPanelButton* PanelButton(const char* name) const;
  const QFrame* Bevel() const { return Bevel1; }
  const QString& CurrentHint() const { return FHint; }
  const QString& Message() const { return sMessage; }
  // Why the file on display could not be shown; empty when it could.
  const QString& LoadProblem() const { return FDocument.LoadProblem; }
  int MessageTicks() const { return TmrMessage; }
  int Tag() const { return FTag; }
  // Layout values are designed at 120 pixels per inch.
  int Scaled(int designValue) const;
  double ScreenPpi() const;
  // The client area in device pixels: the frame's size. The view geometry
  // (fit, drawn size, offsets, dragging) works in these; the layout, the
  // panel and the overlay texts stay in logical units.
  QSize DeviceClientSize() const;
  // A client position in device pixels.
  QPoint DevicePoint(const QPointF& logical) const;

  // The modal windows the menu opens; their entries stay disabled until set.
  std::function<void()> ShowIntegration;
  std::function<void()> ShowAbout;
  // The options dialog, run by AcOptions.
  std::function<void()> ShowOptions;
  // The custom-size dialog, created once at start-up; "Resize to custom"
  // stays disabled until it is set.
  void SetResizeDialog(TfResizeTo* dialog);

  // The working image holds changes that are not in the file: every command
  // that changes its pixels without writing the file (tone steps, grey-scale,
  // resizing) sets it. LoadImage clears it, and so does writing the working
  // image over the file. While it is clear, rotate and flip of a JPEG move
  // the file's compressed blocks instead of re-encoding the picture.
  bool& bWorkingImageEdited = FDocument.bWorkingImageEdited;
  // Whether the last load found a readable format in the file; when it did
  // not, the working image is still the previous picture.
  bool& bLastLoadReadFile = FDocument.bLastLoadReadFile;
  // Quit was asked for while a load waited for the decoder: the window closes
  // once the event loop runs (start-up ends before showing it).
  bool bQuitRequested = false;
  // The save dialog shared by Save as and the favicon.
  TSavePictureDialog& SavePictureDialog() { return SavePictureDialog1; }

protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void CreateActions();
  // The member that runs command; nullptr for a command that only holds its
  // place in the lookup order.
  static void (Tfmain::*CommandHandler(TCommand command))();
  void CreatePanel();
  void CreatePopupMenu();
  QAction* AddMenuItem(QMenu* menu, TCommand command);
  // The commands of one menu group, in their order.
  void AddMenuItems(QMenu* menu, TMenuPlace place);
  void PopupAt(const QPoint& screenPoint);
  void RenderFrame();
  TOverlayInput OverlayInput() const;
  // An animation starts playing once loaded and stops on any other load;
  // it advances on its own timer while the window is visible.
  void StartAnimation();
  void StopAnimation();
  void AnimationTick();
  void ScheduleAnimationTick();
  // Shows the animation's new frame: only the picture's place goes to the
  // screen, or only what changed from the frame before when that still shows.
  void PaintAnimationFrame();
  // Where picture is drawn in FFrame (device pixels) by the view as it is;
  // false when it is drawn nowhere.
  bool PicturePlace(const TFreeBitmap& picture, TDrawRect& place) const;
  // rect of FFrame in window coordinates, within the window.
  QRect WindowRect(const TDrawRect& rect) const;
  // The picture the painter draws: the animation's frame while one plays
  // (and the working image holds no edit), else the working image.
  const TFreeBitmap& PaintedPicture();
  void SetHint(const QString& hint);

  void WaitForSlowLoad(TDecodeWait& wait);
  // Every poll of a slow load: shows its preview when one came, keeps the
  // loading message up.
  void DecodeWaitTick();
  bool KeyRunsOneOf(const QKeyEvent& key, std::initializer_list<TCommand> commands) const;
  // Has the worker decode the neighbour in the direction of the last step.
  void DecodeAhead();
  void PollDecodeAhead();
  // Has the folder of the file on display read on the lister's thread while
  // it is not the one listed; the first step then takes the listing.
  void ListFolderAhead();
  void TakeFolderListedAhead();

  void NextImage();
  void PrevImage();
  void ShowOrClose(const QString& path);
  void SortBy(int key, const char* message);
  // The radio command of a sort order; none for an order the menu lacks.
  static std::optional<TCommand> SortCommand(int sortType);

  void AcZoomInExecute();
  void AcZoomOutExecute();
  void AcLeftExecute();
  void AcRightExecute();
  void AcUpExecute();
  void AcDownExecute();
  void AcFitToScreenExecute();
  void AcOriginalSizeExecute();
  void AcToggleFullscreenExecute();
  void AcQuitExecute();
  void AcFileInfoExecute();
  void AcNextExecute();
  void AcPrevExecute();
  void AcFirstExecute();
  void AcLastExecute();
  void AcSortByNameExecute();
  void AcSortByDateExecute();
  void AcSortBySizeExecute();
  void AcToggleDirectionExecute();
  void AcDeleteExecute();
  void AcCopyFilePathExecute();
  void acMenuExecute();
  void AcOptionsExecute();
  void acSaveExecute();
  void AcSaveAsExecute();
  void AcSaveAsFavIconExecute();
  void AcSetAsWallpaperExecute();
  void AcRotateLeftExecute();
  void AcRotateRightExecute();
  void AcFlipHorizontalExecute();
  void AcFlipVerticalExecute();
  void AcGammaIncreaseExecute();
  void AcGammaDecreaseExecute();
  void AcGammaOriginalExecute();
  void AcBrightnessIncreaseExecute();
  void AcBrightnessDecreaseExecute();
  void AcBrightnessOriginalExecute();
  void AcContrastIncreaseExecute();
  void AcContrastDecreaseExecute();
  void AcContrastOriginalExecute();
  void acConvertToGrayScaleExecute();
  void acResizeTo2160Execute();
  void acResizeTo1080Execute();
  void acResizeTo720Execute();
  void acResizeToCustomExecute();
  void acReloadOriginalExecute();
  // The resize commands: the file decoded again at a fixed height, the width
  // following its proportions, or at the size of the custom dialog.
  void ResizeToHeight(int height);
  // Shows what a command of the document returned.
  void ShowResult(const TCommandResult& result);
  void AutoSaveAfterResize();
  // Rotate or flip: the working image and the file on display at once.
  void OrientPicture(TOrientCommand command);
  void btnMenuClick();
  void Help1Click();

  TAppState& FState;
  int FScreenPpi;
  TViewController FView;                    // zoom, pan, fit and dragging over FState.View
  TFreeBitmap& FBitmap = FDocument.Bitmap;  // the working image
  TFreeBitmap FDisplayCopy;                 // what the last paint drew in its place, if not FBitmap
  QImage FFrame;                            // the whole client area as last rendered, in device pixels
  TScreenColour FScreenColour;              // converts pictures with a colour profile for the screen
  bool FFrameFresh = false;                 // FFrame was rendered for the next paint event
  bool FShownOnScreen = false;
  TActionList FActions;
  std::array<TAction*, CommandCount> FCommandActions{};  // the actions by command
  TSavePictureDialog SavePictureDialog1;
  TfResizeTo* fResizeTo = nullptr;
  QMenu* PM = nullptr;
  QAction* PM_ResInfo = nullptr;
  QActionGroup* FSortGroup = nullptr;
  QPoint FLastPopupPoint;
  QFrame* Bevel1 = nullptr;  // the invisible box that defines the panel
  std::vector<TPanelButton*> FPanelButtons;
  TPanelButton* btnMenu = nullptr;
  QTimer Timer1;
  QString FHint;                       // hint of the control under the pointer
  QString sMessage;                    // the on-screen message
  int TmrMessage = 0;                  // its remaining lifetime in timer ticks
  int FTag = 0;                        // 1 once the window was first activated
  int FWheelDelta = 0;                 // wheel units not yet spent on a notch
  TDecodeWait* FDecodeWait = nullptr;  // the wait of a slow load under way
  QElapsedTimer FDecodeWaitTime;
  TFreeBitmap& FPreview = FDocument.Preview;           // a reduced decode shown meanwhile, if any
  std::vector<std::function<void()>> FLoadsAfterWait;  // loads asked for during a wait
  int FAheadStep = 1;                                  // +1 after a step forward, -1 after one back
  std::unique_ptr<TFolderLister> FFolderLister;
  std::unique_ptr<TIconFont> FIconFont;  // the panel's glyphs, while the window lives
  std::unique_ptr<TWorkerFrameSource> FFrameSource;
  std::unique_ptr<TAnimationPlayer> FAnimation;
  QTimer FAnimationTimer;
  QTimer FAheadPoll;  // reads the answers of the decodes ahead while they come
  QElapsedTimer FAnimationClock;
  QRect FAnimationRect;  // where the last frame was painted, in window coordinates
  // The picture FFrame shows with nothing drawn over it, by its version
  // (0: none such), and where it shows (device pixels).
  std::uint64_t FFramePicture = 0;
  TDrawRect FFramePicturePlace;
};
