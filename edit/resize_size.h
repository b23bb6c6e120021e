#pragma once

// The numbers of the resize commands and their dialog: the width that keeps
// a picture's proportions at a new height, the two boxes' recomputation, the
// reading of a box and the characters the boxes take.

#include <QChar>
#include <QString>
#include <Qt>

#include <cstdint>
#include <optional>
#include <stdexcept>

// The nearest integer to x, an exact half going to the even neighbour.
long double RoundHalfEven(long double x);

// The width of a width x height picture scaled to newHeight, keeping its
// proportions: round(width / height * newHeight) in extended precision.
// Nothing when height is 0 (a picture that could not be read).
std::optional<std::int64_t> WidthForHeight(std::uint32_t width, std::uint32_t height, std::int32_t newHeight);

// width / height, or 1.0 when height is 0.
double AspectRatio(std::int32_t width, std::int32_t height);

// The value of text when it is a 32-bit decimal integer (an optional sign
// and digits, nothing else).
std::optional<std::int32_t> ParseInt32(const QString& text);

// A box's text that is not a 32-bit integer.
class EConvertError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// ParseInt32, throwing EConvertError "'text' is not a valid integer value"
// for text that is not one.
std::int32_t StrToInt(const QString& text);

// What the other box becomes after a key release in one of them: when text
// is an integer other than 0, round(value * ratio) for the width from the
// height and round(value / ratio) for the height from the width, in extended
// precision with halves to even; nothing otherwise.
std::optional<QString> WidthFromHeightText(const QString& heightText, double ratio);
std::optional<QString> HeightFromWidthText(const QString& widthText, double ratio);

// Whether the size boxes take a typed character: the digits and backspace.
bool ResizeBoxAcceptsCharacter(QChar ch);

// Whether a size box discards a key press (qtKey a Qt::Key, text what the
// press types): every typed character that ResizeBoxAcceptsCharacter refuses,
// Enter among them. Keys that type nothing, and editing commands (Ctrl+V,
// Delete, Tab, whatever text they carry), are left to the box.
bool ResizeBoxDiscardsKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);
