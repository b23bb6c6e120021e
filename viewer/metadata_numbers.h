#pragma once

// The numbers of a metadata tag's value, as FreeImage holds them, read
// safely: a value shorter than its count says is not read at all.

#include "viewer/metadata_values.h"

#include <QString>

#include <cstdint>

namespace tagvalue {

// Bytes of one element of the type; 0 for a type this reader does not know.
int ElementSize(FREE_IMAGE_MDTYPE type);
bool IsNumeric(FREE_IMAGE_MDTYPE type);
bool IsRational(FREE_IMAGE_MDTYPE type);

// Whether the value holds count whole elements of its type.
bool Complete(const TTagData& tag);

// Element i as a number; a rational with a zero denominator is infinite, or
// NaN for 0/0. The caller has checked Complete.
double Number(const TTagData& tag, std::uint32_t i);

// Beyond this no camera value lies; larger ones (a damaged or hostile file)
// are written as plain decimals instead of being converted to integers.
inline constexpr double LargestReading = 1e12;
bool Reasonable(double v);

// A plain decimal: whole numbers without a point, others to 6 significant
// digits; "inf" and "undef" for a division by zero.
QString Decimal(double v);

// The numbers of a value; a long array (maker notes hold thousands) shows
// its start and its length, which is all a column has room for.
QString Numbers(const TTagData& tag, const QString& separator = QStringLiteral(" "));

}  // namespace tagvalue
