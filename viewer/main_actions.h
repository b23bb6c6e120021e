#pragma once

#include <array>

// The main window's actions in their fixed order (the order in which a
// shortcut is looked up): object name and caption.
struct TActionDef {
  const char* name;
  const char* caption;
};

inline constexpr int MainActionCount = 49;
const std::array<TActionDef, MainActionCount>& MainActionDefs();
