#pragma once

// The eight ways of laying a picture onto its grid (turns by quarters and
// mirrors), which form a group: every EXIF orientation, every rotate or flip
// command and every lossless JPEG transform is one of them. The values are
// TurboJPEG's transform operations (TJXOP_*), in its numbering.
enum TPictureTransform {
  ptIdentity = 0,
  ptFlipHorizontal = 1,  // mirror left to right
  ptFlipVertical = 2,    // mirror top to bottom
  ptTranspose = 3,       // mirror across the top-left to bottom-right diagonal
  ptTransverse = 4,      // mirror across the top-right to bottom-left diagonal
  ptRotate90 = 5,        // a quarter turn clockwise
  ptRotate180 = 6,
  ptRotate270 = 7,  // a quarter turn counter-clockwise
};

// first, then second.
TPictureTransform Compose(TPictureTransform first, TPictureTransform second);
TPictureTransform Inverse(TPictureTransform transform);
// Whether width and height change places.
bool SwapsSides(TPictureTransform transform);

// How FreeImage's JPEG_EXIFROTATE lays out the stored pixels of a file with
// this EXIF orientation (1 to 8; anything else leaves them as stored).
TPictureTransform ExifRotationTransform(int orientation);

// Where transform moves the pixel (x, y) of a width x height picture, rows
// counted from the top.
void TransformPoint(TPictureTransform transform, int width, int height, int& x, int& y);
