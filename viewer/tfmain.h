#pragma once

#include "platform/action.h"
#include "viewer/app_state.h"
#include "viewer/free_bitmap.h"

#include <QImage>
#include <QWidget>

class QAction;
class QMenu;

// The main window: shows the working image and runs every command as one of
// its actions.
class Tfmain : public QWidget {
  Q_OBJECT
public:
  // The creation handler: wires the actions and loads state.sCurrentFile.
  explicit Tfmain(TAppState& state, QWidget* parent = nullptr);
  ~Tfmain() override;

  // Decodes path into the working image (see LoadImageFile), optionally
  // resetting zoom, offsets and tone first and repainting after.
  void LoadImage(const QString& path, bool resetView, bool repaint);
  void Reload();
  // Places the panel and paints the whole client area at once.
  void Repaint();
  void FitToScreen();
  void OriginalSize();
  void ToggleFullscreen();
  // Renders the frame and shows it at once.
  void FormPaint();

  // Runs an action; an error escaping it is shown in an error box.
  bool RunAction(TAction* action);
  TAction* Action(const char* name) const;
  const TActionList& Actions() const { return FActions; }

  TAppState& State() { return FState; }
  const TFreeBitmap& Bitmap() const { return FBitmap; }
  const QImage& Frame() const { return FFrame; }
  QMenu* PopupMenu() const { return PM; }
  QAction* ResInfoItem() const { return PM_ResInfo; }
  // Layout values are designed at 120 pixels per inch.
  int Scaled(int designValue) const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void CreateActions();
  void Handle(const char* name, void (Tfmain::*handler)());
  void RenderFrame();
  void CentreOnScreen();

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

  TAppState& FState;
  TFreeBitmap FBitmap;       // the working image
  TFreeBitmap FDisplayCopy;  // what the last paint drew in its place, if not FBitmap
  QImage FFrame;             // the whole client area as last rendered
  bool FFrameFresh = false;  // FFrame was rendered for the next paint event
  TActionList FActions;
  QMenu* PM = nullptr;
  QAction* PM_ResInfo = nullptr;
  int FIconFontId = -1;
};
