#pragma once

#include <QCheckBox>

// A check box whose caption wraps onto further lines within its width, the
// box centred beside the text; a click anywhere on it toggles it.
class TWrapCheckBox : public QCheckBox {
public:
  using QCheckBox::QCheckBox;

protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override;

private:
  // Where the caption goes: right of the box, the whole height.
  QRect TextRect() const;
};
