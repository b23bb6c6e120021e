#pragma once

// What the options dialog edits, apart from its widgets: the values its
// controls hold, the settings they come from, and the commit on OK.

#include "platform/action.h"
#include "settings/settings.h"

#include <QString>

#include <array>

// The number of items in the resize-filter list; its index is what is stored.
inline constexpr int ResizeFilterCount = 6;

// The values of the dialog's controls. While the dialog is open the hotkey
// texts are the only record of the user's hotkey edits.
struct TOptionsForm {
  bool ChangeWindowSizeToFitImage = false;
  bool FullScreen = false;
  bool HideMouseCursor = false;
  bool ShrinkToFit = false;
  bool ZoomToFit = false;
  bool AutoSaveAfterResize = false;
  bool ExifRotation = false;
  bool AlwaysShowFilename = false;
  int ResizeFilter = -1;  // the selected filter item, -1 for none
  std::array<QString, HotkeyCount> HotkeyTexts;
};

// The controls as settings shows them. ResizeFilter is the stored value as
// it is, in range or not (the dialog selects only an existing item).
TOptionsForm OptionsFormFromSettings(const TSettings& settings);

// The main window as the dialog's OK changes it.
class TOptionsTarget {
public:
  virtual ~TOptionsTarget() = default;
  virtual bool FullScreen() const = 0;  // the window's current state, not the preference
  virtual void ToggleFullscreen() = 0;
  virtual void SetFitFlags(bool bZoomToFit, bool bShrinkToFit) = 0;
  // Gives the window's actions the hotkeys of settings.
  virtual void BindHotkeys(const TSettings& settings) = 0;
  virtual void Reload() = 0;
  virtual void Repaint() = 0;
};

struct TOptionsOutcome {
  bool bSaved = false;                // the settings reached the store
  bool bExifRotationChanged = false;  // so the image was loaded again
};

// OK: the form into settings (every field with a control; FirstRun,
// SortType, SortReversed and dwVersion untouched), every hotkey text parsed
// back, the hotkeys rebound, the settings saved, then the window brought in
// line: full screen when it differs from the preference, the fit flags, a
// reload when the Exif rotation changed, and a repaint. A failed save
// changes none of the later steps: the settings apply for the run.
TOptionsOutcome CommitOptions(const TOptionsForm& form, TSettings& settings, TOptionsTarget& target);

// The shortcut a hotkey text stands for (0 for a text that names no key).
TShortCut HotkeyTextShortCut(const QString& text);

// For each row, whether its text names the same key and modifiers as some
// other row's; texts that name no key clash with nothing.
std::array<bool, HotkeyCount> DuplicateHotkeyRows(const std::array<QString, HotkeyCount>& texts);

// The text a key press captured in the hotkey list leaves in its cell: the
// hotkey of the shortcut the main window would form from the same press.
// Empty when the press forms none (a modifier key alone, AltGr held, a key
// without a code or a name): no hotkey could run it, so the cell keeps its
// text.
QString CapturedHotkeyText(TShortCut shortCut);
