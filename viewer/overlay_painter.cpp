#include "viewer/overlay_painter.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr int TextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;

// The text's cell: its advance and the font's full line height.
QRect TextCell(const QFontMetrics& metrics, int x, int y, const QString& str) {
  return QRect(x, y, metrics.horizontalAdvance(str), metrics.height());
}

void DrawHint(QPainter& painter, const QFont& windowFont, const THintText& hint) {
  painter.setFont(OverlayFont(windowFont, OverlayTextSize, true));
  const QFontMetrics metrics(painter.font(), painter.device());
  const QRect cell = TextCell(metrics, hint.X, hint.Y, hint.str);
  painter.fillRect(cell.adjusted(0, 0, 1, 1), HintBackground);
  painter.setPen(OverlaySilver);
  painter.drawText(cell.translated(1, 1), TextFlags, hint.str);
  painter.setPen(HintColor);
  painter.drawText(TextCell(metrics, hint.X, hint.Y, hint.str), TextFlags, hint.str);
}

}  // namespace

QFont OverlayFont(const QFont& windowFont, int size, bool bold) {
  QFont font(windowFont.family(), size, bold ? QFont::Bold : QFont::Normal);
  font.setItalic(false);
  return font;
}

void WriteText(QPainter& painter, int X, int Y, const QString& str, int size, const QColor& color,
               const QColor& textcolor) {
  painter.setFont(OverlayFont(painter.font(), size, false));
  const QFontMetrics metrics(painter.font(), painter.device());
  const QRect edge = TextCell(metrics, X, Y + 1, str);
  painter.fillRect(edge, color);
  painter.setPen(OverlaySilver);
  painter.drawText(edge, TextFlags, str);
  painter.setPen(textcolor);
  painter.drawText(TextCell(metrics, X, Y, str), TextFlags, str);
}

TTextMeasure OverlayTextMeasure(const QPainter& painter, const QFont& windowFont) {
  const QFontMetrics regular(OverlayFont(windowFont, OverlayTextSize, false), painter.device());
  const QFontMetrics bold(OverlayFont(windowFont, OverlayTextSize, true), painter.device());
  return [regular, bold](const QString& text, bool isBold) {
    const QFontMetrics& m = isBold ? bold : regular;
    return QSize(m.horizontalAdvance(text), m.height());
  };
}

void PaintOverlays(QPainter& painter, const QFont& windowFont, const TOverlayInput& in) {
  const TOverlayLayout layout = LayoutOverlays(in, OverlayTextMeasure(painter, windowFont));
  painter.save();
  painter.setFont(OverlayFont(windowFont, OverlayTextSize, false));
  const QFontMetrics metrics(painter.font(), painter.device());
  for (const TOverlayText& t : layout.texts) {
    // Lines of columns beyond the right edge cannot show: skip their drawing.
    if (t.X >= in.clientWidth || t.Y >= in.clientHeight) continue;
    const QString str = t.maxWidth > 0 ? metrics.elidedText(t.str, Qt::ElideRight, t.maxWidth) : t.str;
    WriteText(painter, t.X, t.Y, str, OverlayTextSize, t.color, t.textcolor);
  }
  if (layout.hint) DrawHint(painter, windowFont, *layout.hint);
  painter.restore();
}
