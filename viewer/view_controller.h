#pragma once

#include "viewer/app_state.h"
#include "viewer/view_state.h"

// The commands on where and how large the picture is shown: zoom, pan, fit,
// original size and dragging. Everything is in the frame's device pixels.
// The caller repaints after each change.
class TViewController {
public:
  TViewController(TViewState& view, TPointerState& pointer) : FView(view), FPointer(pointer) {}

  // A new picture starts at zoom 1 with no pan.
  void Reset();
  void ZoomIn();
  // Refused (false, nothing changed) where the step would take the zoom to 0
  // or draw an image of imageWidth x imageHeight smaller than the guard.
  bool ZoomOut(int clientWidth, int clientHeight, unsigned imageWidth, unsigned imageHeight);
  void PanLeft();
  void PanRight();
  void PanUp();
  void PanDown();
  void FitToScreen();
  void OriginalSize();

  // A left press at (x, y) starts a drag from the present offsets.
  void StartDrag(int x, int y);
  // The pointer dragged to (x, y): the picture follows it. False, nothing
  // moved, when the picture as last drawn fits wholly in the client area.
  bool DragTo(int x, int y, int clientWidth, int clientHeight);

private:
  TViewState& FView;
  TPointerState& FPointer;
};
