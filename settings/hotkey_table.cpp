#include "settings/hotkey_table.h"

namespace {

struct Row {
  const char* name;
  std::uint16_t modifiers;
  std::uint16_t key;
  const char* action;
  const char* hint;
};

constexpr Row kRows[HotkeyCount] = {
    {"Toggle fullscreen", 0, 13, "AcToggleFullscreen", "Toggle fullscreen"},
    {"Next photo", 0, 32, "AcNext", "Next"},
    {"Previous photo", 0, 66, "AcPrev", "Previous"},
    {"First photo", 0, 36, "AcFirst", "First"},
    {"Last photo", 0, 35, "AcLast", "Last"},
    {"Fit to screen", 0, 106, "AcFitToScreen", "Fit to screen"},
    {"Original size", 0, 111, "AcOriginalSize", "Original size"},
    {"Zoom in", 0, 107, "AcZoomIn", "Zoom in"},
    {"Zoom out", 0, 109, "AcZoomOut", "Zoom out"},
    {"Left", 0, 37, "AcLeft", "Left"},
    {"Right", 0, 39, "AcRight", "Right"},
    {"Up", 0, 38, "AcUp", "Up"},
    {"Down", 0, 40, "AcDown", "Down"},
    {"File Info", 0, 78, "AcFileInfo", "File info"},
    {"Delete photo", 0, 46, "AcDelete", "Delete"},
    {"Rotate left", 0, 117, "AcRotateLeft", "Rotate left"},
    {"Rotate right", 0, 118, "AcRotateRight", "Rotate right"},
    {"Save as", ssCtrl, 87, "AcSaveAs", "Save as"},
    {"Quit", 0, 27, "AcQuit", "Quit"},
    {"Options", ssCtrl, 79, "AcOptions", "Options"},
    {"Sort by name", ssCtrl, 49, "AcSortByName", "Name"},
    {"Sort by date", ssCtrl, 50, "AcSortByDate", "Date"},
    {"Sort by size", ssCtrl, 51, "AcSortBySize", "Size"},
    {"Copy file path", ssCtrl, 67, "AcCopyFilePath", "Copy file path to clipboard"},
    {"Toggle sort direction", ssCtrl, 82, "AcToggleDirection", "Toggle direction"},
    {"Popup menu", 0, 77, "acMenu", "Menu"},
    {"Save", ssCtrl, 83, "acSave", "Save"},
    {"Convert to gray scale", 0, 71, "acConvertToGrayScale", "Convert To Gray Scale"},
    {"Resize to 2160px height", 0, 74, "acResizeTo2160", "Resize to 2160px height"},
    {"Resize to 1080px height", 0, 75, "acResizeTo1080", "Resize to 1080px height"},
    {"Resize to 720px height", 0, 76, "acResizeTo720", "Resize to 720px height"},
    {"Resize to custom", 0, 80, "acResizeToCustom", ""},
    {"Reload original", 0, 79, "acReloadOriginal", "Reload original"},
    {"Gamma +", ssCtrl, 107, "AcGammaIncrease", "Gamma +"},
    {"Gamma -", ssCtrl, 109, "AcGammaDecrease", "Gamma -"},
    {"Gamma original", ssCtrl, 111, "AcGammaOriginal", "Gamma original"},
    {"Brightness +", ssShift, 107, "AcBrightnessIncrease", "Brightness +"},
    {"Brightness -", ssShift, 109, "AcBrightnessDecrease", "Brightness -"},
    {"Brightness original", ssShift, 111, "AcBrightnessOriginal", "Brightness original"},
    {"Contrast +", ssAlt, 107, "AcContrastIncrease", "Contrast +"},
    {"Contrast -", ssAlt, 109, "AcContrastDecrease", "Contrast -"},
    {"Contrast original", ssAlt, 111, "AcContrastOriginal", "Contrast original"},
    {"Flip horizontal", 0, 70, "AcFlipHorizontal", "Flip horizontal"},
    {"Flip vertical", ssShift, 70, "AcFlipVertical", "Flip vertical"},
    {"Set as wallpaper", ssShift, 87, "AcSetAsWallpaper", "Set as wallpaper"},
    {"Next photo #2", ssShift, 8, "AcNext2", "Next photo #2"},
    {"Previous photo #2", 0, 8, "AcPrev2", "Previous photo #2"},
};

}  // namespace

const std::array<thotkey, HotkeyCount>& DefaultHotKeys() {
  static const std::array<thotkey, HotkeyCount> table = [] {
    std::array<thotkey, HotkeyCount> t;
    for (int i = 0; i < HotkeyCount; ++i)
      t[i] = thotkey{QString::fromLatin1(kRows[i].name), kRows[i].modifiers, kRows[i].key};
    return t;
  }();
  return table;
}

const std::array<THotkeyBinding, HotkeyCount>& HotkeyBindings() {
  static const std::array<THotkeyBinding, HotkeyCount> table = [] {
    std::array<THotkeyBinding, HotkeyCount> t;
    for (int i = 0; i < HotkeyCount; ++i) t[i] = THotkeyBinding{kRows[i].action, kRows[i].hint};
    return t;
  }();
  return table;
}
