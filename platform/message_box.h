#pragma once

#include <QString>

#include <functional>

class QWidget;

// The viewer's only question and its error report, as modal message boxes.
// Tests answer them through the hooks instead of a real box.
struct TMessageBoxHooks {
  // Returns true for OK.
  std::function<bool(const QString& text, const QString& caption)> confirm;
  std::function<void(const QString& text, const QString& caption)> error;
};
TMessageBoxHooks& MessageBoxHooks();

// "OK" / "Cancel" box with a warning icon; true when the answer is OK.
bool ConfirmOkCancel(QWidget* parent, const QString& text, const QString& caption);

// Error box: the text as given, the caption the application's title.
void ShowErrorBox(QWidget* parent, const QString& text, const QString& caption);
