#pragma once

#include <FreeImage.h>

// Owns at most one FreeImage bitmap: the viewer's working image and its
// display copies. "Valid" means it holds a bitmap.
class TFreeBitmap {
public:
  TFreeBitmap() = default;
  explicit TFreeBitmap(FIBITMAP* dib) : FDib(dib) {}
  ~TFreeBitmap() { Clear(); }
  TFreeBitmap(const TFreeBitmap&) = delete;
  TFreeBitmap& operator=(const TFreeBitmap&) = delete;
  TFreeBitmap(TFreeBitmap&& other) noexcept : FDib(other.Release()) {}
  TFreeBitmap& operator=(TFreeBitmap&& other) noexcept {
    if (this != &other) Assign(other.Release());
    return *this;
  }

  bool IsValid() const { return FDib != nullptr; }
  FIBITMAP* Dib() const { return FDib; }

  unsigned Width() const { return FDib ? FreeImage_GetWidth(FDib) : 0; }
  unsigned Height() const { return FDib ? FreeImage_GetHeight(FDib) : 0; }
  unsigned BPP() const { return FDib ? FreeImage_GetBPP(FDib) : 0; }

  // Takes ownership of dib (which may be null), releasing the held bitmap.
  void Assign(FIBITMAP* dib) {
    if (dib == FDib) return;
    Clear();
    FDib = dib;
  }
  // The replace rule: an operation's result replaces the held bitmap only
  // when the operation returned one. True when it did.
  bool Replace(FIBITMAP* result) {
    if (!result) return false;
    Assign(result);
    return true;
  }
  void Clear() {
    if (FDib) FreeImage_Unload(FDib);
    FDib = nullptr;
  }
  FIBITMAP* Release() {
    FIBITMAP* dib = FDib;
    FDib = nullptr;
    return dib;
  }

private:
  FIBITMAP* FDib = nullptr;
};
