#pragma once

// The viewer's commands, one row each: object name, caption, base hint,
// factory hotkey, place in the popup menu and button on the panel. The
// actions, the menu, the sort radio group, the hotkey table and the panel are
// all built from these rows, and code names a command by its TCommand value,
// so a misspelt command does not compile.

#include "platform/keys.h"

#include <array>
#include <cstdint>

// Modifier bits of a hotkey (thotkey::modifiers).
inline constexpr std::uint16_t ssShift = ShiftStateShift;
inline constexpr std::uint16_t ssAlt = ShiftStateAlt;
inline constexpr std::uint16_t ssCtrl = ShiftStateCtrl;

// The factory hotkey: its row in the hotkey list (-1 for none), the row's
// display name, modifiers and Windows virtual-key code.
struct THotkeyDefault {
  int row = -1;
  const char* name = nullptr;
  std::uint16_t modifiers = 0;
  std::uint16_t key = 0;
};

// The groups of the popup menu, each a run of entries between submenus or
// separators, in the order the menu shows them.
enum TMenuPlace : std::uint8_t {
  mpNone,
  mpView,
  mpEditTurn,
  mpResize,
  mpTone,
  mpEditMore,
  mpFile,
  mpSort,
  mpSortMore,
  mpMisc,
  mpOptions,
  mpQuit
};

// Where a command sits in the menu: its group, its order in it, and the
// menu item's object name when it is not "PM_" + the command's name. The
// mpSort group is one radio group.
struct TMenuEntry {
  TMenuPlace place = mpNone;
  int order = 0;
  const char* itemName = nullptr;
};

// A glyph button of the panel: its order on the panel, object name, code
// point in the icon font and design geometry at 120 pixels per inch. Its
// accessible name is the command's caption.
struct TPanelEntry {
  int index = -1;
  const char* name = nullptr;
  char16_t glyph = 0;
  int glyphHeight = 0, left = 0, top = 0, width = 0, height = 0;
  bool showsToolTip = false;  // the platform's tooltip as well as the hint line
};

constexpr THotkeyDefault Hotkey(int row, const char* name, std::uint16_t modifiers, std::uint16_t key) {
  return {row, name, modifiers, key};
}
inline constexpr THotkeyDefault NoHotkey{};
constexpr TMenuEntry Menu(TMenuPlace place, int order, const char* itemName = nullptr) {
  return {place, order, itemName};
}
inline constexpr TMenuEntry NoMenu{};
constexpr TPanelEntry Panel(int index, const char* name, char16_t glyph, int glyphHeight, int left, int top, int width,
                            int height, bool showsToolTip = false) {
  return {index, name, glyph, glyphHeight, left, top, width, height, showsToolTip};
}
inline constexpr TPanelEntry NoPanel{};

// The rows in the order in which a key press looks for its command.
// X(id, caption, base hint, hotkey, menu, panel)
#define VELVANE_COMMANDS(X)                                                                                            \
  X(AcNext, "Next", "Next", Hotkey(1, "Next photo", 0, 32), NoMenu, Panel(6, "btnNext", 0xF054, 24, 313, 5, 55, 40))   \
  X(AcPrev, "Previous", "Previous", Hotkey(2, "Previous photo", 0, 66), NoMenu,                                        \
    Panel(5, "btnPrevious", 0xF053, 24, 255, 5, 56, 40))                                                               \
  X(AcToggleFullscreen, "Toggle fullscreen", "Toggle fullscreen", Hotkey(0, "Toggle fullscreen", 0, 13),               \
    Menu(mpView, 0), Panel(0, "btnFullscreen", 0xF0B2, 16, 10, 13, 33, 25))                                            \
  X(AcOriginalSize, "Original size", "Original size", Hotkey(6, "Original size", 0, 111), Menu(mpView, 1),             \
    Panel(2, "btnOriginalSize", 0xF06E, 16, 106, 13, 33, 25))                                                          \
  X(AcDelete, "Delete", "Delete", Hotkey(14, "Delete photo", 0, 46), Menu(mpFile, 0),                                  \
    Panel(7, "btnDelete", 0xF014, 16, 419, 13, 32, 25))                                                                \
  X(AcZoomIn, "Zoom in", "Zoom in", Hotkey(7, "Zoom in", 0, 107), Menu(mpMisc, 5), NoPanel)                            \
  X(AcZoomOut, "Zoom out", "Zoom out", Hotkey(8, "Zoom out", 0, 109), Menu(mpMisc, 6), NoPanel)                        \
  X(AcUp, "Up", "Up", Hotkey(11, "Up", 0, 38), NoMenu, NoPanel)                                                        \
  X(AcDown, "Down", "Down", Hotkey(12, "Down", 0, 40), NoMenu, NoPanel)                                                \
  X(AcLeft, "Left", "Left", Hotkey(9, "Left", 0, 37), NoMenu, NoPanel)                                                 \
  X(AcRight, "Right", "Right", Hotkey(10, "Right", 0, 39), NoMenu, NoPanel)                                            \
  X(AcFitToScreen, "Fit to screen", "Fit to screen", Hotkey(5, "Fit to screen", 0, 106), Menu(mpView, 2),              \
    Panel(1, "btnFitToScreen", 0xF065, 16, 68, 13, 32, 25, true))                                                      \
  X(AcFileInfo, "File info", "File info", Hotkey(13, "File Info", 0, 78), Menu(mpFile, 2),                             \
    Panel(4, "btnInfo", 0xF129, 16, 185, 13, 33, 25))                                                                  \
  X(AcQuit, "Quit", "Quit", Hotkey(18, "Quit", 0, 27), Menu(mpQuit, 0),                                                \
    Panel(11, "btnClose", 0xF08B, 16, 579, 13, 32, 25))                                                                \
  X(AcFirst, "First", "First", Hotkey(3, "First photo", 0, 36), Menu(mpMisc, 3), NoPanel)                              \
  X(AcLast, "Last", "Last", Hotkey(4, "Last photo", 0, 35), Menu(mpMisc, 4), NoPanel)                                  \
  X(AcRotateLeft, "Rotate left", "Rotate left", Hotkey(15, "Rotate left", 0, 117), Menu(mpEditTurn, 1),                \
    Panel(8, "btnRotateLeft", 0xF0E2, 16, 459, 13, 32, 25))                                                            \
  X(AcRotateRight, "Rotate right", "Rotate right", Hotkey(16, "Rotate right", 0, 118), Menu(mpEditTurn, 0),            \
    Panel(9, "btnRotateRight", 0xF01E, 16, 499, 13, 32, 25))                                                           \
  X(AcSaveAs, "Save as...", "Save as", Hotkey(17, "Save as", ssCtrl, 87), Menu(mpFile, 1), NoPanel)                    \
  X(AcSortByName, "Name", "Name", Hotkey(20, "Sort by name", ssCtrl, 49), Menu(mpSort, 0, "PM_SortByName"), NoPanel)   \
  X(AcSortByDate, "Date", "Date", Hotkey(21, "Sort by date", ssCtrl, 50), Menu(mpSort, 1, "PM_SortByDate"), NoPanel)   \
  X(AcSortBySize, "Size", "Size", Hotkey(22, "Sort by size", ssCtrl, 51), Menu(mpSort, 2, "PM_SortBySize"), NoPanel)   \
  X(AcOptions, "Options", "Options", Hotkey(19, "Options", ssCtrl, 79), Menu(mpOptions, 0),                            \
    Panel(3, "btnOptions", 0xF013, 16, 145, 13, 33, 25))                                                               \
  X(AcCopyFilePath, "Copy file path to clipboard", "Copy file path to clipboard",                                      \
    Hotkey(23, "Copy file path", ssCtrl, 67), Menu(mpMisc, 2), NoPanel)                                                \
  X(AcToggleDirection, "Toggle direction", "Toggle direction", Hotkey(24, "Toggle sort direction", ssCtrl, 82),        \
    Menu(mpSortMore, 0), NoPanel)                                                                                      \
  X(acShowExifData, "Show Exif data", "Show Exif data", NoHotkey, NoMenu, NoPanel)                                     \
  X(acMenu, "Menu", "Menu", Hotkey(25, "Popup menu", 0, 77), NoMenu,                                                   \
    Panel(10, "btnMenu", 0xF0D7, 16, 538, 13, 32, 25))                                                                 \
  X(acConvertToGrayScale, "Convert To Gray Scale", "Convert To Gray Scale",                                            \
    Hotkey(27, "Convert to gray scale", 0, 71), Menu(mpEditMore, 0), NoPanel)                                          \
  X(acSave, "Save", "Save", Hotkey(26, "Save", ssCtrl, 83), Menu(mpEditMore, 3), NoPanel)                              \
  X(acResizeTo2160, "Resize to 2160px height", "Resize to 2160px height",                                              \
    Hotkey(28, "Resize to 2160px height", 0, 74), Menu(mpResize, 0), NoPanel)                                          \
  X(acResizeTo1080, "Resize to 1080px height", "Resize to 1080px height",                                              \
    Hotkey(29, "Resize to 1080px height", 0, 75), Menu(mpResize, 1), NoPanel)                                          \
  X(acResizeTo720, "Resize to 720px height", "Resize to 720px height", Hotkey(30, "Resize to 720px height", 0, 76),    \
    Menu(mpResize, 2), NoPanel)                                                                                        \
  X(acReloadOriginal, "Reload original", "Reload original", Hotkey(32, "Reload original", 0, 79), Menu(mpResize, 4),   \
    NoPanel)                                                                                                           \
  X(acResizeToCustom, "Resize to custom", "", Hotkey(31, "Resize to custom", 0, 80), Menu(mpResize, 3), NoPanel)       \
  X(AcFlipHorizontal, "Flip horizontal", "Flip horizontal", Hotkey(42, "Flip horizontal", 0, 70), Menu(mpEditMore, 1), \
    NoPanel)                                                                                                           \
  X(AcFlipVertical, "Flip vertical", "Flip vertical", Hotkey(43, "Flip vertical", ssShift, 70), Menu(mpEditMore, 2),   \
    NoPanel)                                                                                                           \
  X(AcGammaIncrease, "Gamma +", "Gamma +", Hotkey(33, "Gamma +", ssCtrl, 107), Menu(mpTone, 0), NoPanel)               \
  X(AcGammaDecrease, "Gamma -", "Gamma -", Hotkey(34, "Gamma -", ssCtrl, 109), Menu(mpTone, 1), NoPanel)               \
  X(AcGammaOriginal, "Gamma original", "Gamma original", Hotkey(35, "Gamma original", ssCtrl, 111), Menu(mpTone, 2),   \
    NoPanel)                                                                                                           \
  X(AcBrightnessIncrease, "Brightness +", "Brightness +", Hotkey(36, "Brightness +", ssShift, 107), Menu(mpTone, 3),   \
    NoPanel)                                                                                                           \
  X(AcBrightnessDecrease, "Brightness -", "Brightness -", Hotkey(37, "Brightness -", ssShift, 109), Menu(mpTone, 4),   \
    NoPanel)                                                                                                           \
  X(AcBrightnessOriginal, "Brightness original", "Brightness original",                                                \
    Hotkey(38, "Brightness original", ssShift, 111), Menu(mpTone, 5), NoPanel)                                         \
  X(AcContrastIncrease, "Contrast +", "Contrast +", Hotkey(39, "Contrast +", ssAlt, 107), Menu(mpTone, 6), NoPanel)    \
  X(AcContrastDecrease, "Contrast -", "Contrast -", Hotkey(40, "Contrast -", ssAlt, 109), Menu(mpTone, 7), NoPanel)    \
  X(AcContrastOriginal, "Contrast original", "Contrast original", Hotkey(41, "Contrast original", ssAlt, 111),         \
    Menu(mpTone, 8), NoPanel)                                                                                          \
  X(AcSetAsWallpaper, "Set as wallpaper", "Set as wallpaper", Hotkey(44, "Set as wallpaper", ssShift, 87),             \
    Menu(mpMisc, 0), NoPanel)                                                                                          \
  X(AcSaveAsFavIcon, "Save as favicon (32x32)", "Save as favicon (32x32)", NoHotkey, Menu(mpMisc, 1), NoPanel)         \
  X(AcPrev2, "Previous photo #2", "Previous photo #2", Hotkey(46, "Previous photo #2", 0, 8), NoMenu, NoPanel)         \
  X(AcNext2, "Next photo #2", "Next photo #2", Hotkey(45, "Next photo #2", ssShift, 8), NoMenu, NoPanel)

enum class TCommand : std::uint8_t {
#define VELVANE_COMMAND_ID(id, ...) id,
  VELVANE_COMMANDS(VELVANE_COMMAND_ID)
#undef VELVANE_COMMAND_ID
};

struct TCommandRow {
  TCommand command;
  const char* name;     // the action's object name
  const char* caption;  // the menu entry's and the accessible name
  const char* hint;     // the hint line's text before the hotkey is added
  THotkeyDefault hotkey;
  TMenuEntry menu;
  TPanelEntry panel;
};

inline constexpr std::array CommandTable{
#define VELVANE_COMMAND_ROW(id, caption, hint, hotkey, menu, panel) \
  TCommandRow{TCommand::id, #id, caption, hint, hotkey, menu, panel},
    VELVANE_COMMANDS(VELVANE_COMMAND_ROW)
#undef VELVANE_COMMAND_ROW
};

inline constexpr int CommandCount = int(CommandTable.size());
inline constexpr int HotkeyCount = 47;
inline constexpr int PanelButtonCount = 12;

constexpr const TCommandRow& CommandRow(TCommand command) { return CommandTable[std::size_t(command)]; }

namespace command_table_detail {

// Every row sits at its command's index, every hotkey row and panel place
// is taken by exactly one command, and no two entries of a menu group share
// a place in it.
constexpr bool Consistent() {
  for (const TCommandRow& a : CommandTable)
    for (const TCommandRow& b : CommandTable)
      if (&a != &b && a.menu.place != mpNone && a.menu.place == b.menu.place && a.menu.order == b.menu.order)
        return false;
  std::array<int, HotkeyCount> hotkeys{};
  std::array<int, PanelButtonCount> buttons{};
  for (int i = 0; i < CommandCount; ++i) {
    const TCommandRow& row = CommandTable[std::size_t(i)];
    if (int(row.command) != i) return false;
    if (row.hotkey.row >= HotkeyCount) return false;
    if (row.hotkey.row >= 0) ++hotkeys[std::size_t(row.hotkey.row)];
    if (row.panel.index >= PanelButtonCount) return false;
    if (row.panel.index >= 0) ++buttons[std::size_t(row.panel.index)];
  }
  for (int n : hotkeys)
    if (n != 1) return false;
  for (int n : buttons)
    if (n != 1) return false;
  return true;
}
static_assert(Consistent(), "the command table leaves a hotkey row, panel or menu place empty or doubly taken");

}  // namespace command_table_detail

// The command of hotkey row `row` (0 to HotkeyCount - 1).
constexpr TCommand HotkeyCommand(int row) {
  for (const TCommandRow& r : CommandTable)
    if (r.hotkey.row == row) return r.command;
  return TCommand::acShowExifData;  // unreachable: every row is taken (see above)
}

// The command on panel place `index` (0 to PanelButtonCount - 1).
constexpr TCommand PanelCommand(int index) {
  for (const TCommandRow& r : CommandTable)
    if (r.panel.index == index) return r.command;
  return TCommand::acShowExifData;
}
