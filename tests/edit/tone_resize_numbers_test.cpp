// The numbers behind the tone and resize commands: where the steps stop,
// what the messages read in two locales, the rounding of sizes, the reading
// of a size box and the memory a rescale may take.
#include "edit/rescale_picture.h"
#include "edit/resize_size.h"
#include "edit/tone.h"
#include "edit_test_support.h"

#include <QLocale>
#include <Qt>

#include <gtest/gtest.h>

#include <climits>

namespace {

// Steps from neutral until the limit refuses; returns the last value.
double StepToLimit(TToneValue which, TToneDirection direction, int& steps) {
  double value = ToneRange(which).neutral;
  for (steps = 0; ToneCanStep(which, value, direction) && steps < 1000; ++steps)
    value = ToneStepped(which, value, direction);
  return value;
}

TEST(ToneSteps, StopAtTheLimitsInDoubleArithmetic) {
  int steps = 0;
  // Exactly as the repeated double sums land, not rounded to the grid.
  EXPECT_EQ(StepToLimit(tvGamma, tdDown, steps), 0.09999999999999969);
  EXPECT_EQ(steps, 18);
  EXPECT_EQ(StepToLimit(tvGamma, tdUp, steps), 16.000000000000092);
  EXPECT_EQ(steps, 300);
  EXPECT_EQ(StepToLimit(tvBrightness, tdUp, steps), 100.0);
  EXPECT_EQ(steps, 100);
  EXPECT_EQ(StepToLimit(tvContrast, tdDown, steps), -100.0);
  EXPECT_EQ(steps, 100);
  // The limit test compares the current value, whatever it is.
  EXPECT_TRUE(ToneCanStep(tvBrightness, 100.0, tdDown));
  EXPECT_FALSE(ToneCanStep(tvGamma, 0.1, tdDown));
}

TEST(ToneSteps, MessagesShowTwoDecimalsWithTheLocalesSeparator) {
  EXPECT_EQ(ToneStepMessage(tvGamma, tdUp, 1.05), "Gamma (+): 1.05");
  EXPECT_EQ(ToneStepMessage(tvBrightness, tdDown, -1.0), "Brightness (-): -1.00");
  EXPECT_EQ(ToneLimitMessage(tvContrast, 100.0), "Contrast: 100.00");
  EXPECT_EQ(ToneLimitMessage(tvGamma, 0.09999999999999969), "Gamma: 0.10");
  EXPECT_EQ(ToneOriginalMessage(tvGamma, 1.0), "Gamma (Original): 1.00");
  // Only the separator comes from the locale: not Swedish's U+2212 minus,
  // nor Arabic digits and direction marks, nor grouping.
  struct Case {
    QLocale locale;
    const char* step;
    const char* limit;
  };
  const Case cases[] = {
      {QLocale(QLocale::German, QLocale::Germany), "Brightness (-): -1,00", "Gamma: 16,00"},
      {QLocale(QLocale::Swedish, QLocale::Sweden), "Brightness (-): -1,00", "Gamma: 16,00"},
      {QLocale(QLocale::NorwegianBokmal, QLocale::Norway), "Brightness (-): -1,00", "Gamma: 16,00"},
      {QLocale(QLocale::Arabic, QLocale::Egypt), "Brightness (-): -1\u066B00", "Gamma: 16\u066B00"},
      {QLocale(QLocale::Persian, QLocale::Iran), "Brightness (-): -1\u066B00", "Gamma: 16\u066B00"},
  };
  const QLocale previous;
  for (const Case& c : cases) {
    QLocale::setDefault(c.locale);
    const QString step = ToneStepMessage(tvBrightness, tdDown, -1.0);
    const QString limit = ToneLimitMessage(tvGamma, 16.000000000000092);
    QLocale::setDefault(previous);
    EXPECT_EQ(step, QString::fromUtf8(c.step)) << c.locale.name().toStdString();
    EXPECT_EQ(limit, QString::fromUtf8(c.limit)) << c.locale.name().toStdString();
  }
}

TEST(ResizeNumbers, WidthsFollowTheProportionsWithHalvesToEven) {
  EXPECT_EQ(WidthForHeight(4000, 3000, 1080), 1440);
  EXPECT_EQ(WidthForHeight(3000, 4000, 1080), 810);
  EXPECT_EQ(WidthForHeight(640, 480, 2160), 2880);  // enlarged the same way
  EXPECT_EQ(WidthForHeight(3, 2, 1), 2);            // 1.5 to the even 2
  EXPECT_EQ(WidthForHeight(5, 2, 1), 2);            // 2.5 to the even 2
  EXPECT_EQ(WidthForHeight(4000, 0, 1080), std::nullopt);
  for (const auto& [x, rounded] : std::initializer_list<std::pair<long double, long double>>{
           {0.5L, 0}, {1.5L, 2}, {2.5L, 2}, {-0.5L, 0}, {-1.5L, -2}, {2.4999999L, 2}, {7.5L, 8}, {1e15L + 0.5L, 1e15L}})
    EXPECT_EQ(RoundHalfEven(x), rounded) << double(x);

  // The dialog: 4000 x 3000 keeps 4:3, a 3 x 2 picture shows the ties.
  const double fourThree = AspectRatio(4000, 3000);
  EXPECT_EQ(HeightFromWidthText("1000", fourThree), "750");
  EXPECT_EQ(WidthFromHeightText("2", fourThree), "3");
  EXPECT_EQ(WidthFromHeightText("1", AspectRatio(3, 2)), "2");
  EXPECT_EQ(WidthFromHeightText("3", AspectRatio(3, 2)), "4");
  EXPECT_EQ(WidthFromHeightText("5", AspectRatio(3, 2)), "8");
  EXPECT_EQ(AspectRatio(0, 0), 1.0);
  for (const char* text : {"0", "", "12a", "99999999999"})
    EXPECT_EQ(WidthFromHeightText(QLatin1String(text), fourThree), std::nullopt) << text;
  EXPECT_EQ(HeightFromWidthText("5", AspectRatio(0, 7)), std::nullopt);  // no picture: no ratio to divide by
}

TEST(ResizeNumbers, BoxesReadOnlyThirtyTwoBitDecimalIntegers) {
  EXPECT_EQ(ParseInt32("2147483647"), INT_MAX);
  EXPECT_EQ(ParseInt32("-2147483648"), INT_MIN);
  EXPECT_EQ(ParseInt32("+12"), 12);
  for (const char* text : {"", "-", "2147483648", "-2147483649", "12a", " 12", "1.5", "0x10", "\xd9\xa3"})
    EXPECT_EQ(ParseInt32(QString::fromUtf8(text)), std::nullopt) << text;
  try {
    StrToInt(QStringLiteral("12a"));
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
  }

  // The key filter: digits and backspace are typed, every other character
  // and Enter are discarded, keys that type nothing are the box's.
  EXPECT_FALSE(ResizeBoxDiscardsKey(Qt::Key_7, Qt::KeypadModifier, "7"));
  EXPECT_FALSE(ResizeBoxDiscardsKey(Qt::Key_Backspace, Qt::NoModifier, "\b"));
  for (const auto& [key, text] : std::initializer_list<std::pair<int, const char*>>{{Qt::Key_A, "a"},
                                                                                    {Qt::Key_Minus, "-"},
                                                                                    {Qt::Key_Space, " "},
                                                                                    {Qt::Key_Period, "."},
                                                                                    {Qt::Key_Return, "\r"},
                                                                                    {Qt::Key_Enter, ""}})
    EXPECT_TRUE(ResizeBoxDiscardsKey(key, Qt::ShiftModifier, QLatin1String(text))) << text;
  for (const auto& [key, text] : std::initializer_list<std::pair<int, const char*>>{
           {Qt::Key_Left, ""}, {Qt::Key_Delete, "\x7f"}, {Qt::Key_V, "\x16"}, {Qt::Key_Tab, "\t"}})
    EXPECT_FALSE(ResizeBoxDiscardsKey(key, Qt::NoModifier, QLatin1String(text))) << key;
  EXPECT_FALSE(ResizeBoxDiscardsKey(Qt::Key_V, Qt::ControlModifier, "v"));  // as QTest sends Ctrl+V
}

TEST(ResizeNumbers, ASizeThatWouldExhaustMemoryIsRefusedBeforeAllocating) {
  TDib photo(FreeImage_Allocate(4000, 3000, 24));
  constexpr std::uint64_t GiB = std::uint64_t(1) << 30;
  EXPECT_TRUE(RescaleFitsInMemory(photo.get(), 1440, 1080, 4 * GiB));
  EXPECT_FALSE(RescaleFitsInMemory(photo.get(), 90000, 90000, 16 * GiB));
  EXPECT_FALSE(RescaleFitsInMemory(photo.get(), 90000, 90000));  // this machine
  EXPECT_FALSE(RescaleFitsInMemory(photo.get(), std::int64_t(INT_MAX) + 1, 10, 1 << 30));
  // The bytes per pixel count: a 32-bit picture needs a third more than a 24-bit one.
  TDib rgba(FreeImage_Allocate(4000, 3000, 32));
  EXPECT_EQ(RescaleMemoryNeed(rgba.get(), 8000, 6000) * 3, RescaleMemoryNeed(photo.get(), 8000, 6000) * 4);
  const std::uint64_t limit = std::uint64_t(RescaleMemoryNeed(photo.get(), 8000, 6000)) * 2;
  EXPECT_TRUE(RescaleFitsInMemory(photo.get(), 8000, 6000, limit));
  EXPECT_FALSE(RescaleFitsInMemory(rgba.get(), 8000, 6000, limit));

  // RescalePicture itself refuses and leaves the picture.
  FIBITMAP* dib = photo.release();
  EXPECT_FALSE(RescalePicture(dib, 90000, 90000, 0));
  photo.reset(dib);
  EXPECT_EQ(FreeImage_GetWidth(photo.get()), 4000u);
}

}  // namespace
