#include "viewer/view_controller.h"

#include "viewer/view_geometry.h"

void TViewController::Reset() {
  FView.fZoom = 1.0f;
  FView.iOffsetX = 0;
  FView.iOffsetY = 0;
}

void TViewController::ZoomIn() { FView.fZoom = FView.fZoom + ZoomStep; }

bool TViewController::ZoomOut(int clientWidth, int clientHeight, unsigned imageWidth, unsigned imageHeight) {
  // The guard looks at the size the step would give, so that no step takes
  // the picture below it or the zoom to 0.
  if (!ZoomOutAllowed(clientWidth, clientHeight, imageWidth, imageHeight, FView)) return false;
  FView.fZoom = FView.fZoom - ZoomStep;
  return true;
}

void TViewController::PanLeft() { FView.iOffsetX += PanStepX; }
void TViewController::PanRight() { FView.iOffsetX -= PanStepX; }
void TViewController::PanUp() { FView.iOffsetY += PanStepY; }
void TViewController::PanDown() { FView.iOffsetY -= PanStepY; }

void TViewController::FitToScreen() {
  FView.bZoomToFit = true;
  FView.bShrinkToFit = true;
  Reset();
}

void TViewController::OriginalSize() {
  FView.bZoomToFit = false;
  FView.bShrinkToFit = false;
  Reset();
}

void TViewController::StartDrag(int x, int y) {
  FPointer.iDragStartX = x;
  FPointer.iDragStartY = y;
  FPointer.iDragOffsetX = FView.iOffsetX;
  FPointer.iDragOffsetY = FView.iOffsetY;
}

bool TViewController::DragTo(int x, int y, int clientWidth, int clientHeight) {
  // A picture that fits wholly cannot be dragged.
  if (clientWidth >= FView.iDrawWidth && clientHeight >= FView.iDrawHeight) return false;
  FView.iOffsetX = x + FPointer.iDragOffsetX - FPointer.iDragStartX;
  FView.iOffsetY = y + FPointer.iDragOffsetY - FPointer.iDragStartY;
  return true;
}
