#include "viewer/metadata_values.h"

#include "viewer/metadata_numbers.h"

#include <QStringDecoder>
#include <QStringList>

#include <cmath>
#include <cstring>
#include <optional>

namespace {

// Standard EXIF tags read here rather than through FreeImage's text.
enum : std::uint16_t {
  ExposureTime = 0x829A,
  FNumber = 0x829D,
  IsoSpeedRatings = 0x8827,
  ShutterSpeedValue = 0x9201,
  ApertureValue = 0x9202,
  BrightnessValue = 0x9203,
  ExposureBiasValue = 0x9204,
  MaxApertureValue = 0x9205,
  SubjectDistance = 0x9206,
  Flash = 0x9209,
  FocalLength = 0x920A,
  UserComment = 0x9286,
  FocalLengthIn35mmFilm = 0xA405,
  XpTitle = 0x9C9B,  // XPTitle to XPSubject: UTF-16 text that Windows writes as bytes
  XpSubject = 0x9C9F,
};

enum : std::uint16_t {
  GpsVersionId = 0x00,
  GpsLatitudeRef = 0x01,
  GpsLatitude = 0x02,
  GpsLongitudeRef = 0x03,
  GpsLongitude = 0x04,
  GpsAltitudeRef = 0x05,
  GpsAltitude = 0x06,
  GpsTimeStamp = 0x07,
  GpsSpeedRef = 0x0C,
  GpsTrackRef = 0x0E,
  GpsImgDirectionRef = 0x10,
  GpsDestLatitude = 0x14,
  GpsDestLongitude = 0x16,
  GpsDestBearingRef = 0x17,
  GpsProcessingMethod = 0x1B,
  GpsAreaInformation = 0x1C,
};

constexpr int HexBytesShown = 8;
using namespace tagvalue;

// An exposure in seconds: 1/25 below a quarter second, else one decimal.
QString ExposureText(double seconds) {
  if (!Reasonable(seconds) || (seconds > 0 && seconds < 1 / LargestReading)) return Decimal(seconds);
  if (seconds > 0 && seconds < 0.25001) return QStringLiteral("1/%1 s").arg(static_cast<qint64>(0.5 + 1 / seconds));
  QString text = QString::number(seconds, 'f', 1);
  if (text.endsWith(QLatin1String(".0"))) text.chop(2);
  return text + QStringLiteral(" s");
}

QString FNumberText(double f) {
  if (!std::isfinite(f) || f <= 0) return Decimal(f);
  return QStringLiteral("f/") + QString::number(f, 'f', f < 1 ? 2 : 1);
}

// An exposure bias in EV: thirds and halves as fractions (+1/3, -2/3, +1/2).
QString BiasText(double ev) {
  if (!Reasonable(ev)) return Decimal(ev);
  const double v = ev * 1.00001;  // round-off, so that 0.33333 counts as a third
  QString text;
  if (v == 0)
    text = QStringLiteral("0");
  else if (std::trunc(v) / v > 0.999)
    text = QString::asprintf("%+d", static_cast<int>(v));
  else if (std::trunc(v * 2) / (v * 2) > 0.999)
    text = QString::asprintf("%+d/2", static_cast<int>(v * 2));
  else if (std::trunc(v * 3) / (v * 3) > 0.999)
    text = QString::asprintf("%+d/3", static_cast<int>(v * 3));
  else
    text = QString::asprintf("%+.3g", v);
  return text + QStringLiteral(" EV");
}

QString FlashText(double reading) {
  if (!(reading >= 0 && reading <= 0xFFFF)) return Decimal(reading);
  const auto value = static_cast<unsigned>(reading);
  struct TFlash {
    unsigned value;
    const char* text;
  };
  static constexpr TFlash Names[] = {
      {0x00, "No Flash"},
      {0x01, "Fired"},
      {0x05, "Fired, Return not detected"},
      {0x07, "Fired, Return detected"},
      {0x08, "On, Did not fire"},
      {0x09, "On, Fired"},
      {0x0D, "On, Return not detected"},
      {0x0F, "On, Return detected"},
      {0x10, "Off, Did not fire"},
      {0x14, "Off, Did not fire, Return not detected"},
      {0x18, "Auto, Did not fire"},
      {0x19, "Auto, Fired"},
      {0x1D, "Auto, Fired, Return not detected"},
      {0x1F, "Auto, Fired, Return detected"},
      {0x20, "No flash function"},
      {0x30, "Off, No flash function"},
      {0x41, "Fired, Red-eye reduction"},
      {0x45, "Fired, Red-eye reduction, Return not detected"},
      {0x47, "Fired, Red-eye reduction, Return detected"},
      {0x49, "On, Red-eye reduction"},
      {0x4D, "On, Red-eye reduction, Return not detected"},
      {0x4F, "On, Red-eye reduction, Return detected"},
      {0x50, "Off, Red-eye reduction"},
      {0x58, "Auto, Did not fire, Red-eye reduction"},
      {0x59, "Auto, Fired, Red-eye reduction"},
      {0x5D, "Auto, Fired, Red-eye reduction, Return not detected"},
      {0x5F, "Auto, Fired, Red-eye reduction, Return detected"},
  };
  for (const TFlash& f : Names)
    if (f.value == value) return QLatin1String(f.text);
  return QStringLiteral("Unknown (0x%1)").arg(value, 0, 16);
}

// Degrees, minutes and seconds from up to three numbers, whatever mix of
// them the camera filled in (48 51 29.52, or 48 51.492 0).
QString DegreesText(const TTagData& tag) {
  double degrees = 0;
  for (std::uint32_t i = 0; i < tag.count && i < 3; ++i) degrees += Number(tag, i) / std::pow(60.0, i);
  if (!Reasonable(degrees)) return Numbers(tag);
  degrees = std::fabs(degrees);
  qint64 d = static_cast<qint64>(degrees);
  qint64 m = static_cast<qint64>((degrees - d) * 60);
  double s = (degrees - d - m / 60.0) * 3600;
  // 59.999 seconds print as 60.00: carry them over.
  if (QString::number(s, 'f', 2).toDouble() >= 60) {
    s -= 60;
    if (++m >= 60) m -= 60, ++d;
  }
  return QStringLiteral("%1\u00B0 %2' %3\"").arg(d).arg(m).arg(std::fabs(s), 0, 'f', 2);
}

// A time of day from hours, minutes and seconds, the seconds to the microsecond.
QString TimeOfDayText(const TTagData& tag) {
  double total = 0;
  for (std::uint32_t i = 0; i < tag.count && i < 3; ++i) total += Number(tag, i) * std::pow(60.0, 2 - i);
  if (!Reasonable(total) || total < 0) return Numbers(tag);
  total = std::round(total * 1e6) / 1e6;
  qint64 h = static_cast<qint64>(total / 3600);
  total -= h * 3600.0;
  const qint64 m = static_cast<qint64>(total / 60);
  total -= m * 60.0;
  QString seconds = QString::number(total, 'f', 6);
  while (seconds.endsWith(u'0')) seconds.chop(1);
  if (seconds.endsWith(u'.')) seconds.chop(1);
  if (total < 10) seconds.prepend(u'0');
  return QStringLiteral("%1:%2:%3").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0')).arg(seconds);
}

// Whether text can be shown as it is: no control characters, nothing that
// failed to decode.
bool Printable(const QString& text) {
  for (QChar c : text)
    if (c == QChar::ReplacementCharacter || (!c.isPrint() && c != u' ')) return false;
  return true;
}

QByteArray TrimmedPadding(QByteArray bytes) {
  while (!bytes.isEmpty() && (bytes.back() == '\0' || bytes.back() == ' ')) bytes.chop(1);
  return bytes;
}

bool AllZero(const QByteArray& bytes) {
  for (char c : bytes)
    if (c != '\0') return false;
  return true;
}

// An ASCII value: one or more strings ended by zeros. Any string that is not
// clean text makes the whole value hex.
QString AsciiText(const TTagData& tag, bool latin1) {
  const QByteArray bytes = tag.value.left(static_cast<qsizetype>(std::min<qint64>(tag.count, tag.value.size())));
  QStringList parts;
  for (const QByteArray& piece : bytes.split('\0')) {
    const std::optional<QString> text = DecodeTagText(piece, latin1);
    if (!text || !Printable(*text)) return ShortHex(TrimmedPadding(bytes));
    if (const QString trimmed = text->trimmed(); !trimmed.isEmpty()) parts << trimmed;
  }
  return parts.join(QStringLiteral(", "));
}

// Bytes that may be text: shown as text when they are printable ASCII (apart
// from padding), empty when all zero, else as hex.
QString BytesText(const QByteArray& raw) {
  const QByteArray bytes = TrimmedPadding(raw);
  if (bytes.isEmpty()) return QString();
  for (char c : bytes)
    if (c < 0x20 || c > 0x7E) return AllZero(raw) ? QString() : ShortHex(bytes);
  return QString::fromLatin1(bytes).trimmed();
}

// A comment with its 8-byte character code: ASCII, UNICODE (UTF-16 in the
// byte order the bytes show), or undefined (taken as text when it reads so).
QString CommentText(const TTagData& tag) {
  const QByteArray& raw = tag.value;
  if (raw.size() < 8) return BytesText(raw);
  const QByteArray code = raw.left(8);
  const QByteArray body = raw.mid(8);
  if (code.startsWith("UNICODE")) {
    // The byte order is the file's, which FreeImage does not keep: the
    // zero bytes of Latin text show it.
    int evenZeros = 0;
    int oddZeros = 0;
    for (qsizetype i = 0; i + 1 < body.size(); i += 2) {
      evenZeros += body[i] == '\0';
      oddZeros += body[i + 1] == '\0';
    }
    const bool bigEndian = evenZeros > oddZeros;
    QString text;
    for (qsizetype i = 0; i + 1 < body.size(); i += 2) {
      const auto hi = static_cast<unsigned char>(body[bigEndian ? i : i + 1]);
      const auto lo = static_cast<unsigned char>(body[bigEndian ? i + 1 : i]);
      text += QChar(static_cast<char16_t>(hi << 8 | lo));
    }
    while (text.endsWith(QChar(u'\0'))) text.chop(1);
    return Printable(text) ? text.trimmed() : ShortHex(TrimmedPadding(body));
  }
  if (code.startsWith("ASCII") || AllZero(code)) {
    const std::optional<QString> text = DecodeTagText(TrimmedPadding(body), true);
    if (text && Printable(*text)) return text->trimmed();
    return AllZero(body) ? QString() : ShortHex(TrimmedPadding(body));
  }
  return ShortHex(TrimmedPadding(raw));
}

// UTF-16 in the little-endian order Windows always writes, ended by a zero.
QString WindowsText(const TTagData& tag) {
  QString text;
  for (qsizetype i = 0; i + 1 < tag.value.size(); i += 2)
    text += QChar(static_cast<char16_t>(static_cast<unsigned char>(tag.value[i + 1]) << 8 |
                                        static_cast<unsigned char>(tag.value[i])));
  if (const qsizetype end = text.indexOf(QChar(u'\0')); end >= 0) text.truncate(end);
  return Printable(text) ? text.trimmed() : ShortHex(TrimmedPadding(tag.value));
}

QString SeaLevelText(double ref) {
  return ref == 0 ? QStringLiteral("Above Sea Level") : ref == 1 ? QStringLiteral("Below Sea Level") : Decimal(ref);
}

// The letter codes of GPS references, as words.
QString GpsReferenceText(std::uint16_t id, const QString& code) {
  struct TWord {
    char code;
    const char* word;
  };
  auto lookup = [&code](std::initializer_list<TWord> words) {
    for (const TWord& w : words)
      if (code == QLatin1Char(w.code)) return QString::fromLatin1(w.word);
    return code;
  };
  switch (id) {
    case GpsLatitudeRef: return lookup({{'N', "North"}, {'S', "South"}});
    case GpsLongitudeRef: return lookup({{'E', "East"}, {'W', "West"}});
    case GpsSpeedRef: return lookup({{'K', "km/h"}, {'M', "mph"}, {'N', "knots"}});
    case GpsTrackRef:
    case GpsImgDirectionRef:
    case GpsDestBearingRef: return lookup({{'T', "True North"}, {'M', "Magnetic North"}});
    default: return code;
  }
}

std::optional<QString> ExifSettingText(const TTagData& tag) {
  const bool numeric = IsNumeric(tag.type) && Complete(tag);
  const double first = numeric ? Number(tag, 0) : NAN;
  switch (tag.id) {
    case IsoSpeedRatings:
      if (numeric) return Numbers(tag, QStringLiteral(", "));
      break;
    case ExposureTime:
      if (numeric) return ExposureText(first);
      break;
    case ShutterSpeedValue:
      // An APEX value: the exposure is 2^-value seconds.
      if (numeric) return std::fabs(first) < 100 ? ExposureText(std::exp2(-first)) : Decimal(first);
      break;
    case FNumber:
      if (numeric) return FNumberText(first);
      break;
    case ApertureValue:
    case MaxApertureValue:
      if (numeric) return std::isfinite(first) ? FNumberText(std::exp2(first / 2)) : Decimal(first);
      break;
    case FocalLength:
      if (numeric) return Reasonable(first) ? QString::number(first, 'f', 1) + QStringLiteral(" mm") : Decimal(first);
      break;
    case FocalLengthIn35mmFilm:
      if (numeric) return Decimal(first) + QStringLiteral(" mm");
      break;
    case ExposureBiasValue:
      if (numeric) return BiasText(first);
      break;
    case BrightnessValue:
      if (numeric) return Decimal(first);
      break;
    case SubjectDistance:
      if (numeric) return std::isfinite(first) ? Decimal(first) + QStringLiteral(" m") : Decimal(first);
      break;
    case Flash:
      if (numeric) return FlashText(first);
      break;
    case UserComment:
      if (tag.type == FIDT_UNDEFINED) return CommentText(tag);
      break;
    default:
      if (tag.id >= XpTitle && tag.id <= XpSubject && tag.type == FIDT_BYTE) return WindowsText(tag);
      break;
  }
  return std::nullopt;
}

std::optional<QString> GpsText(const TTagData& tag) {
  const bool numeric = IsNumeric(tag.type) && Complete(tag);
  switch (tag.id) {
    case GpsVersionId:
      if (numeric) return Numbers(tag, QStringLiteral("."));
      break;
    case GpsLatitude:
    case GpsLongitude:
    case GpsDestLatitude:
    case GpsDestLongitude:
      if (numeric) return DegreesText(tag);
      break;
    case GpsAltitudeRef:
      if (numeric) return SeaLevelText(Number(tag, 0));
      break;
    case GpsAltitude:
      if (numeric) {
        const double metres = Number(tag, 0);
        return std::isfinite(metres) ? Decimal(std::trunc(metres * 10) / 10) + QStringLiteral(" m") : Decimal(metres);
      }
      break;
    case GpsTimeStamp:
      if (numeric) return TimeOfDayText(tag);
      break;
    case GpsLatitudeRef:
    case GpsLongitudeRef:
    case GpsSpeedRef:
    case GpsTrackRef:
    case GpsImgDirectionRef:
    case GpsDestBearingRef:
      if (tag.type == FIDT_ASCII) return GpsReferenceText(tag.id, AsciiText(tag, false));
      break;
    case GpsProcessingMethod:
    case GpsAreaInformation:
      if (tag.type == FIDT_UNDEFINED) return CommentText(tag);
      break;
    default: break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<QString> DecodeTagText(QByteArrayView bytes, bool latin1) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) {
    if (!latin1) return std::nullopt;
    text = QString::fromLatin1(bytes);
  }
  return text;
}

QString ShortHex(const QByteArray& bytes) {
  QString text = QString::fromLatin1(bytes.left(HexBytesShown).toHex(' '));
  if (bytes.size() > HexBytesShown) text += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
  return text;
}

QString MetadataValueText(const TTagData& tag) {
  const bool exif = tag.model == FIMD_EXIF_MAIN || tag.model == FIMD_EXIF_EXIF;
  const bool makerNote = tag.model == FIMD_EXIF_MAKERNOTE;
  if (exif)
    if (std::optional<QString> text = ExifSettingText(tag)) return *text;
  if (tag.model == FIMD_EXIF_GPS)
    if (std::optional<QString> text = GpsText(tag)) return *text;

  // A maker note's layout is the camera maker's: bytes that do not decode as
  // UTF-8 there are more likely data than old-style text.
  if (tag.type == FIDT_ASCII) return AsciiText(tag, !makerNote);
  if (tag.type == FIDT_UNDEFINED) {
    // Standard tags FreeImage names in words (SceneType, FileSource ...).
    if (!makerNote && !tag.freeImageText.isEmpty() && Printable(tag.freeImageText)) return tag.freeImageText.trimmed();
    return BytesText(tag.value);
  }
  if (!Complete(tag)) return ShortHex(tag.value);
  if (IsRational(tag.type) || tag.type == FIDT_FLOAT || tag.type == FIDT_DOUBLE || tag.type == FIDT_BYTE ||
      tag.type == FIDT_SBYTE)
    return Numbers(tag);
  // Whole numbers: FreeImage names the states of the standard tags
  // ("Aperture priority", "Multi-segment"); its text is kept when it is clean.
  if (!tag.freeImageText.trimmed().isEmpty() && Printable(tag.freeImageText)) return tag.freeImageText.trimmed();
  if (IsNumeric(tag.type)) return Numbers(tag);
  return ShortHex(tag.value);
}
