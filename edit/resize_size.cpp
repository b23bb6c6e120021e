#include "edit/resize_size.h"

#include <cmath>
#include <limits>

namespace {

// round(value) as decimal text, when it is a number an int64 holds.
std::optional<QString> RoundedText(long double value) {
  const long double rounded = RoundHalfEven(value);
  if (!(std::fabs(rounded) < 9.2e18L)) return std::nullopt;
  return QString::number(static_cast<qint64>(rounded));
}

std::optional<long double> NonZeroValue(const QString& text) {
  const std::optional<std::int32_t> value = ParseInt32(text);
  if (!value || *value == 0) return std::nullopt;
  return static_cast<long double>(*value);
}

}  // namespace

long double RoundHalfEven(long double x) {
  // x - floor(x) is exact, so a half is seen as a half.
  long double whole = std::floor(x);
  const long double fraction = x - whole;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0)) whole += 1;
  return whole;
}

std::optional<std::int64_t> WidthForHeight(std::uint32_t width, std::uint32_t height, std::int32_t newHeight) {
  if (height == 0) return std::nullopt;
  const long double quotient = static_cast<long double>(width) / static_cast<long double>(height);
  const long double rounded = RoundHalfEven(quotient * static_cast<long double>(newHeight));
  constexpr long double Largest = 9.2e18L;  // below the int64 limit: the caller refuses it as too large
  return static_cast<std::int64_t>(std::fmax(-Largest, std::fmin(rounded, Largest)));
}

double AspectRatio(std::int32_t width, std::int32_t height) {
  return height == 0 ? 1.0 : static_cast<double>(static_cast<long double>(width) / height);
}

std::optional<std::int32_t> ParseInt32(const QString& text) {
  int i = 0;
  const bool negative = !text.isEmpty() && text[0] == u'-';
  if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+')) i = 1;
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
    return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t StrToInt(const QString& text) {
  const std::optional<std::int32_t> value = ParseInt32(text);
  if (!value) throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
  return *value;
}

std::optional<QString> WidthFromHeightText(const QString& heightText, double ratio) {
  const std::optional<long double> height = NonZeroValue(heightText);
  if (!height) return std::nullopt;
  return RoundedText(*height * static_cast<long double>(ratio));
}

std::optional<QString> HeightFromWidthText(const QString& widthText, double ratio) {
  const std::optional<long double> width = NonZeroValue(widthText);
  if (!width) return std::nullopt;
  return RoundedText(*width / static_cast<long double>(ratio));
}

bool ResizeBoxAcceptsCharacter(QChar ch) { return ch == u'\b' || (ch >= u'0' && ch <= u'9'); }

bool ResizeBoxDiscardsKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
  if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter) return true;
  if (text.isEmpty() || (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) return false;
  const QChar ch = text[0];
  const bool typed = ch.isPrint() || ch == u'\r' || ch == u'\n' || ch == u'\b';
  return typed && !ResizeBoxAcceptsCharacter(ch);
}
