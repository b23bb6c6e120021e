#pragma once

#include <FreeImage.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// How the information overlay writes a metadata tag's value. FreeImage's own
// text is wrong for several camera settings (ISO below 50 multiplied by 200,
// the shutter speed cut to a whole APEX step, rationals left as fractions,
// maker-note bytes passed on as text), so the value is read from the tag's
// raw data here, the way a photographer reads it (1/25 s, f/2.2, 639.6 m),
// and FreeImage's text is used only where it is a sound reading of the value
// (named states such as "Aperture priority").

// One tag as FreeImage holds it.
struct TTagData {
  FREE_IMAGE_MDMODEL model = FIMD_COMMENTS;
  std::uint16_t id = 0;
  FREE_IMAGE_MDTYPE type = FIDT_NOTYPE;
  std::uint32_t count = 0;
  QByteArray value;       // numbers in this machine's byte order, as FreeImage keeps them
  QString freeImageText;  // FreeImage_TagToString's reading
};

// The value as the overlay shows it: never control characters or undecodable
// bytes (those are written as short hex), trimmed of padding (a value of
// only spaces or zeros is empty).
QString MetadataValueText(const TTagData& tag);

// Text bytes as camera strings come: UTF-8 when they are valid UTF-8, else
// Latin-1 (as older cameras wrote) where latin1 allows it, else nothing.
std::optional<QString> DecodeTagText(QByteArrayView bytes, bool latin1);

// Up to 8 bytes as hex pairs, followed by the whole length when there are more.
QString ShortHex(const QByteArray& bytes);
