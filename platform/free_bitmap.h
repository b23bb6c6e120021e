#pragma once

#include <FreeImage.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

// Owns at most one FreeImage bitmap: every bitmap the viewer, the editing
// code and the decoding worker make is released here and nowhere else.
// "Valid" means it holds a bitmap. A decoded bitmap's rows
// may live outside it, in memory mapped from the decoder (FreeImage's
// external bits): the mapping is owned here too and released after the
// bitmap.
class TFreeBitmap {
public:
  TFreeBitmap() = default;
  explicit TFreeBitmap(FIBITMAP* dib) : FDib(dib) {}
  // dib's rows live in pixels, which is released after the bitmap.
  TFreeBitmap(FIBITMAP* dib, std::shared_ptr<void> pixels) : FDib(dib), FPixels(std::move(pixels)) {}
  ~TFreeBitmap() { Clear(); }
  TFreeBitmap(const TFreeBitmap&) = delete;
  TFreeBitmap& operator=(const TFreeBitmap&) = delete;
  TFreeBitmap(TFreeBitmap&& other) noexcept
      : FDib(std::exchange(other.FDib, nullptr)),
        FPixels(std::move(other.FPixels)),
        FLinearLight(std::exchange(other.FLinearLight, false)) {
    other.FComposite = -1;
  }
  TFreeBitmap& operator=(TFreeBitmap&& other) noexcept {
    if (this != &other) {
      Clear();
      FDib = std::exchange(other.FDib, nullptr);
      FPixels = std::move(other.FPixels);
      FLinearLight = std::exchange(other.FLinearLight, false);
      other.FComposite = -1;
    }
    return *this;
  }

  bool IsValid() const { return FDib != nullptr; }
  explicit operator bool() const { return FDib != nullptr; }
  FIBITMAP* Dib() const { return FDib; }

  unsigned Width() const { return FDib ? FreeImage_GetWidth(FDib) : 0; }
  unsigned Height() const { return FDib ? FreeImage_GetHeight(FDib) : 0; }
  unsigned BPP() const { return FDib ? FreeImage_GetBPP(FDib) : 0; }

  // Takes ownership of dib (which may be null), releasing the held bitmap.
  void Assign(FIBITMAP* dib) {
    if (dib == FDib) return;
    Clear();
    FDib = dib;
    FVersion = NextVersion();
  }
  // Takes ownership of dib whose rows live in pixels, which is released
  // after the bitmap.
  void Assign(FIBITMAP* dib, std::shared_ptr<void> pixels) {
    if (dib == FDib) return;
    Clear();
    FDib = dib;
    FPixels = std::move(pixels);
    FVersion = NextVersion();
  }
  // Whether the bitmap is transparent or carries a file background colour.
  // FreeImage answers the first by scanning every pixel of a 32-bit image, so
  // the answer is kept until the bitmap is replaced or Touch() is called.
  bool NeedsComposite() const {
    if (FComposite < 0)
      FComposite = FDib && (FreeImage_IsTransparent(FDib) || FreeImage_HasBackgroundColor(FDib)) ? 1 : 0;
    return FComposite == 1;
  }
  // Tells the bitmap that its pixels were changed in place.
  void Touch() {
    FComposite = -1;
    FVersion = NextVersion();
  }
  // Names the pixels as they are: it changes with every bitmap held and
  // every Touch(), so what was made of them can be kept until it does.
  std::uint64_t Version() const { return FVersion; }
  // The replace rule: an operation's result replaces the held bitmap only
  // when the operation returned one. True when it did. The result is the same
  // picture changed: it keeps what is known of its values.
  bool Replace(FIBITMAP* result) {
    if (!result) return false;
    const bool linear = FLinearLight;
    Assign(result);
    FLinearLight = linear;
    return true;
  }
  void Clear() {
    if (FDib) FreeImage_Unload(FDib);
    FDib = nullptr;
    FPixels.reset();
    FComposite = -1;
    FVersion = NextVersion();
    FLinearLight = false;
  }
  // Whether floating-point values are linear light (OpenEXR and Radiance
  // HDR files say so) rather than values to show as they are.
  bool LinearLight() const { return FLinearLight; }
  void SetLinearLight(bool linear) { FLinearLight = linear; }
  // Hands the bitmap over to the caller, who will free it with
  // FreeImage_Unload: rows that live in a mapping are first copied into a
  // bitmap of FreeImage's own (null when that copy fails).
  FIBITMAP* Release() {
    FIBITMAP* dib = FDib;
    if (dib && FPixels) {
      dib = FreeImage_Clone(FDib);
      FreeImage_Unload(FDib);
    }
    FDib = nullptr;
    FPixels.reset();
    FComposite = -1;
    FLinearLight = false;
    return dib;
  }

private:
  static std::uint64_t NextVersion() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
  }

  FIBITMAP* FDib = nullptr;
  std::shared_ptr<void> FPixels;  // where FDib's rows live, when not in FDib
  mutable int FComposite = -1;    // NeedsComposite() as last answered; -1 unknown
  bool FLinearLight = false;
  std::uint64_t FVersion = NextVersion();
};
