#include "platform/wrap_check_box.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;

}  // namespace

QRect TWrapCheckBox::TextRect() const {
  QStyleOptionButton opt;
  initStyleOption(&opt);
  opt.text.clear();
  return style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, this);
}

bool TWrapCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void TWrapCheckBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton opt;
  initStyleOption(&opt);
  const QString caption = opt.text;
  opt.text.clear();

  QStyleOptionButton box = opt;
  box.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, this);
  painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);

  const QRect area = TextRect();
  painter.drawItemText(area, kTextFlags, opt.palette, isEnabled(), caption, QPalette::WindowText);
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = fontMetrics().boundingRect(area, kTextFlags, caption).adjusted(-1, 0, 1, 0) & rect();
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}
