// Shortcut values and key names.
#include "platform/keys.h"

#include <gtest/gtest.h>

namespace {

TEST(Keys, ShortCutPacksKeyAndModifiers) {
  EXPECT_EQ(ShortCut(VK_RETURN, 0), 13);
  EXPECT_EQ(ShortCut('W', ShiftStateCtrl), 0x4057);
  EXPECT_EQ(ShortCut(VK_ADD, ShiftStateShift | ShiftStateAlt | ShiftStateCtrl), 0xE06B);
  EXPECT_EQ(ShortCut(VK_BACK, 0x0010 | ShiftStateShift), 0x2008);  // higher modifier bits ignored
  EXPECT_EQ(ShortCut(255, 0), 255);
  EXPECT_EQ(ShortCut(256, ShiftStateCtrl), 0);
  EXPECT_EQ(ShortCut(0, 0), 0);

  std::uint16_t key = 0;
  TShiftState shift = 0;
  ShortCutToKey(0xE06B, key, shift);
  EXPECT_EQ(key, VK_ADD);
  EXPECT_EQ(shift, ShiftStateShift | ShiftStateAlt | ShiftStateCtrl);
  ShortCutToKey(0x4057, key, shift);
  EXPECT_EQ(key, 'W');
  EXPECT_EQ(shift, ShiftStateCtrl);
}

TEST(Keys, TheFixedNames) {
  const std::pair<std::uint16_t, const char*> names[] = {
      {8, "BkSp"}, {9, "Tab"},      {13, "Enter"}, {27, "Esc"},    {32, "Space"},  {33, "PgUp"},   {34, "PgDn"},
      {35, "End"}, {36, "Home"},    {37, "Left"},  {38, "Up"},     {39, "Right"},  {40, "Down"},   {45, "Ins"},
      {46, "Del"}, {48, "0"},       {57, "9"},     {65, "A"},      {90, "Z"},      {96, "0"},      {105, "9"},
      {112, "F1"}, {123, "F12"},    {135, "F24"},  {106, "Num *"}, {107, "Num +"}, {109, "Num -"}, {110, "Num ."},
      {111, "."},  {190, "Period"}, {186, ";"},    {187, "="},     {188, ","},     {189, "-"},     {191, "/"},
      {192, "`"},  {219, "["},      {220, "\\"},   {221, "]"},     {222, "'"},
  };
  for (const auto& [key, name] : names) EXPECT_EQ(KeyName(key), QString::fromLatin1(name)) << key;
  for (std::uint16_t unnamed : {0, 1, 7, 10, 11, 14, 15, 136, 200, 255, 256})
    EXPECT_EQ(KeyName(unnamed), QString()) << unnamed;
}

TEST(Keys, ShortCutToTextPutsModifiersInAFixedOrder) {
  EXPECT_EQ(ShortCutToText(ShortCut(VK_SPACE, 0)), QStringLiteral("Space"));
  EXPECT_EQ(ShortCutToText(ShortCut('W', ShiftStateCtrl)), QStringLiteral("Ctrl+W"));
  EXPECT_EQ(ShortCutToText(ShortCut(VK_ADD, ShiftStateAlt | ShiftStateCtrl | ShiftStateShift)),
            QStringLiteral("Shift+Ctrl+Alt+Num +"));
  EXPECT_EQ(ShortCutToText(ShortCut(VK_BACK, ShiftStateShift)), QStringLiteral("Shift+BkSp"));
  // A key without a name gives no text at all, modifiers included.
  EXPECT_EQ(ShortCutToText(ShortCut(0, ShiftStateCtrl)), QString());
  EXPECT_EQ(ShortCutToText(ShortCut(136, ShiftStateShift)), QString());
}

TEST(Keys, TextToShortCutReadsModifiersInAnyOrderAndCase) {
  EXPECT_EQ(TextToShortCut(QStringLiteral("Ctrl+W")), 0x4057);
  EXPECT_EQ(TextToShortCut(QStringLiteral("^W")), 0x4057);
  EXPECT_EQ(TextToShortCut(QStringLiteral("alt+SHIFT+pgdn")), 0xA022);
  EXPECT_EQ(TextToShortCut(QStringLiteral("Shift+Ctrl+Alt+num +")), 0xE06B);
  EXPECT_EQ(TextToShortCut(QStringLiteral("f24")), 135);
  EXPECT_EQ(TextToShortCut(QStringLiteral("Shift+Shift")), 0x2010);  // the Shift key itself
  EXPECT_EQ(TextToShortCut(QStringLiteral("Ctrl+-")), 0x40BD);
  EXPECT_EQ(TextToShortCut(QStringLiteral(".")), VK_DIVIDE);
  // Keypad digits share their names with the digit row; the lower code wins.
  EXPECT_EQ(TextToShortCut(QStringLiteral("7")), '7');
  for (const char* nothing : {"", "Ctrl+", "Shift+Ctrl+", "Hyper+A", "Space ", "F25", "Num /"})
    EXPECT_EQ(TextToShortCut(QString::fromLatin1(nothing)), 0) << nothing;
}

}  // namespace
