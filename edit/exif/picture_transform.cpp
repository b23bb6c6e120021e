#include "edit/exif/picture_transform.h"

#include <array>

namespace {

constexpr int Count = 8;

// The transforms told apart by where they move the corners of a 3 x 2 grid;
// composing is applying one after the other.
struct TCorners {
  int points[3][2];
  bool operator==(const TCorners&) const = default;
};

TCorners CornersAfter(TPictureTransform first, TPictureTransform second) {
  TCorners c{{{0, 0}, {2, 0}, {0, 1}}};
  for (auto& p : c.points) {
    int w = 3, h = 2;
    TransformPoint(first, w, h, p[0], p[1]);
    if (SwapsSides(first)) std::swap(w, h);
    TransformPoint(second, w, h, p[0], p[1]);
  }
  return c;
}

const std::array<std::array<TPictureTransform, Count>, Count>& CompositionTable() {
  static const auto table = [] {
    std::array<std::array<TPictureTransform, Count>, Count> t{};
    for (int a = 0; a < Count; ++a)
      for (int b = 0; b < Count; ++b) {
        const TCorners target = CornersAfter(TPictureTransform(a), TPictureTransform(b));
        for (int c = 0; c < Count; ++c)
          if (CornersAfter(TPictureTransform(c), ptIdentity) == target) t[a][b] = TPictureTransform(c);
      }
    return t;
  }();
  return table;
}

}  // namespace

void TransformPoint(TPictureTransform transform, int width, int height, int& x, int& y) {
  const int x0 = x, y0 = y;
  switch (transform) {
    case ptIdentity: break;
    case ptFlipHorizontal: x = width - 1 - x0; break;
    case ptFlipVertical: y = height - 1 - y0; break;
    case ptTranspose:
      x = y0;
      y = x0;
      break;
    case ptTransverse:
      x = height - 1 - y0;
      y = width - 1 - x0;
      break;
    case ptRotate90:
      x = height - 1 - y0;
      y = x0;
      break;
    case ptRotate180:
      x = width - 1 - x0;
      y = height - 1 - y0;
      break;
    case ptRotate270:
      x = y0;
      y = width - 1 - x0;
      break;
  }
}

bool SwapsSides(TPictureTransform transform) { return transform >= ptTranspose && transform != ptRotate180; }

TPictureTransform Compose(TPictureTransform first, TPictureTransform second) {
  return CompositionTable()[first][second];
}

TPictureTransform Inverse(TPictureTransform transform) {
  for (int c = 0; c < Count; ++c)
    if (Compose(transform, TPictureTransform(c)) == ptIdentity) return TPictureTransform(c);
  return ptIdentity;
}

TPictureTransform ExifRotationTransform(int orientation) {
  // Checked against FreeImage's decoder for every value by the tests.
  switch (orientation) {
    case 2: return ptFlipHorizontal;
    case 3: return ptRotate180;
    case 4: return ptFlipVertical;
    case 5: return ptTranspose;
    case 6: return ptRotate90;
    case 7: return ptTransverse;
    case 8: return ptRotate270;
    default: return ptIdentity;
  }
}
