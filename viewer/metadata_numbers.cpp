#include "viewer/metadata_numbers.h"

#include <QStringList>

#include <cmath>
#include <cstring>

namespace tagvalue {

namespace {

constexpr std::uint32_t NumbersShown = 32;

template <typename T>
T Read(const TTagData& tag, std::uint32_t offset) {
  T v;
  std::memcpy(&v, tag.value.constData() + offset, sizeof v);
  return v;
}

}  // namespace

int ElementSize(FREE_IMAGE_MDTYPE type) {
  switch (type) {
    case FIDT_BYTE:
    case FIDT_ASCII:
    case FIDT_SBYTE:
    case FIDT_UNDEFINED: return 1;
    case FIDT_SHORT:
    case FIDT_SSHORT: return 2;
    case FIDT_LONG:
    case FIDT_SLONG:
    case FIDT_FLOAT:
    case FIDT_IFD:
    case FIDT_PALETTE: return 4;
    case FIDT_RATIONAL:
    case FIDT_SRATIONAL:
    case FIDT_DOUBLE:
    case FIDT_LONG8:
    case FIDT_SLONG8:
    case FIDT_IFD8: return 8;
    default: return 0;
  }
}

bool IsNumeric(FREE_IMAGE_MDTYPE type) {
  return type != FIDT_ASCII && type != FIDT_UNDEFINED && type != FIDT_PALETTE && ElementSize(type) > 0;
}

bool IsRational(FREE_IMAGE_MDTYPE type) { return type == FIDT_RATIONAL || type == FIDT_SRATIONAL; }

bool Complete(const TTagData& tag) {
  const int size = ElementSize(tag.type);
  return size > 0 && tag.count > 0 && static_cast<qint64>(tag.count) * size <= tag.value.size();
}

double Number(const TTagData& tag, std::uint32_t i) {
  const std::uint32_t at = i * static_cast<std::uint32_t>(ElementSize(tag.type));
  switch (tag.type) {
    case FIDT_BYTE:
    case FIDT_UNDEFINED: return Read<std::uint8_t>(tag, at);
    case FIDT_SBYTE: return Read<std::int8_t>(tag, at);
    case FIDT_SHORT: return Read<std::uint16_t>(tag, at);
    case FIDT_SSHORT: return Read<std::int16_t>(tag, at);
    case FIDT_LONG:
    case FIDT_IFD: return Read<std::uint32_t>(tag, at);
    case FIDT_SLONG: return Read<std::int32_t>(tag, at);
    case FIDT_FLOAT: return Read<float>(tag, at);
    case FIDT_DOUBLE: return Read<double>(tag, at);
    case FIDT_LONG8:
    case FIDT_IFD8: return static_cast<double>(Read<std::uint64_t>(tag, at));
    case FIDT_SLONG8: return static_cast<double>(Read<std::int64_t>(tag, at));
    case FIDT_RATIONAL: {
      const double num = Read<std::uint32_t>(tag, at);
      const double den = Read<std::uint32_t>(tag, at + 4);
      return den != 0 ? num / den : num != 0 ? INFINITY : NAN;
    }
    case FIDT_SRATIONAL: {
      const double num = Read<std::int32_t>(tag, at);
      const double den = Read<std::int32_t>(tag, at + 4);
      return den != 0 ? num / den : num > 0 ? INFINITY : num < 0 ? -INFINITY : NAN;
    }
    default: return NAN;
  }
}

bool Reasonable(double v) { return std::isfinite(v) && std::fabs(v) < LargestReading; }

QString Decimal(double v) {
  if (std::isnan(v)) return QStringLiteral("undef");
  if (std::isinf(v)) return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
  if (v == std::trunc(v) && std::fabs(v) < 1e15) return QString::number(static_cast<qint64>(v));
  return QString::number(v, 'g', 6);
}

QString Numbers(const TTagData& tag, const QString& separator) {
  QStringList parts;
  for (std::uint32_t i = 0; i < tag.count && i < NumbersShown; ++i) parts << Decimal(Number(tag, i));
  QString text = parts.join(separator);
  if (tag.count > NumbersShown) text += QStringLiteral(" ... (%1 values)").arg(tag.count);
  return text;
}

}  // namespace tagvalue
