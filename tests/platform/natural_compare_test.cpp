#include "platform/natural_compare.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <numeric>

namespace {

// The letters' order comes from the user's locale; these tests fix it to
// English (the root order of Unicode) unless they name another.
class TEnglishLocale : public ::testing::Environment {
public:
  void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};
const auto* const kEnglishLocale = ::testing::AddGlobalTestEnvironment(new TEnglishLocale);

QStringList Sorted(QStringList names) {
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return NaturalCompare(a, b) < 0; });
  return names;
}

}  // namespace

TEST(NaturalCompare, DigitRunsCompareByValueAndCaseIsIgnored) {
  EXPECT_EQ(Sorted({"img10.png", "IMG3.png", "img2.png", "img1.png"}),
            QStringList({"img1.png", "img2.png", "IMG3.png", "img10.png"}));
  EXPECT_EQ(NaturalCompare("img9", "img10"), -1);
  EXPECT_EQ(NaturalCompare("IMG10", "img9"), 1);
  EXPECT_EQ(NaturalCompare("Photo.JPG", "photo.jpg"), 0);
  EXPECT_EQ(NaturalCompare("a", "B"), -1);  // not code-unit order, where 'B' < 'a'
  EXPECT_EQ(NaturalCompare("x2y10", "x2y9"), 1);
  EXPECT_EQ(NaturalCompare("", ""), 0);
  EXPECT_EQ(NaturalCompare("", "a"), -1);
}

TEST(NaturalCompare, LongDigitRunsDoNotOverflow) {
  const QString big40 = "1234567890123456789012345678901234567890";
  const QString big40plus1 = "1234567890123456789012345678901234567891";
  const QString big39 = "999999999999999999999999999999999999999";
  EXPECT_EQ(NaturalCompare("n" + big40, "n" + big40plus1), -1);
  EXPECT_EQ(NaturalCompare("n" + big40, "n" + big39), 1);
  EXPECT_EQ(NaturalCompare("n" + big40 + "b", "n" + big40 + "a"), 1);
  // 2^64 and 2^64 - 1: wrap-around arithmetic would get these backwards.
  EXPECT_EQ(NaturalCompare("18446744073709551616", "18446744073709551615"), 1);
}

TEST(NaturalCompare, LeadingZerosOnlyBreakTies) {
  EXPECT_EQ(NaturalCompare("img010", "img9"), 1);
  EXPECT_EQ(NaturalCompare("img001", "img2"), -1);
  EXPECT_EQ(NaturalCompare("img01", "img1"), -1);
  EXPECT_EQ(NaturalCompare("img1", "img01"), 1);
  EXPECT_EQ(NaturalCompare("img0", "img00"), 1);
  // The zeros only count when nothing else differs.
  EXPECT_EQ(NaturalCompare("img01b", "img1a"), 1);
}

TEST(NaturalCompare, PunctuationThenDigitsThenLetters) {
  EXPECT_EQ(Sorted({"ab", "a1", "a_b", "a b", "a"}), QStringList({"a", "a b", "a_b", "a1", "ab"}));
  EXPECT_EQ(NaturalCompare("img.png", "img1.png"), -1);
  EXPECT_EQ(NaturalCompare("a~", "a1"), -1);  // a symbol, before the digits whatever its code point
}

TEST(NaturalCompare, NonLatinLettersFoldCaseAndSurrogatesAreWhole) {
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("ÄPFEL"), QString::fromUtf8("äpfel")), 0);
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("Жук"), QString::fromUtf8("жук")), 0);
  EXPECT_EQ(NaturalCompare("zebra", QString::fromUtf8("жук")), -1);
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("фото2"), QString::fromUtf8("ФОТО10")), -1);
  // U+10400 (DESERET CAPITAL LONG I) folds to U+10428 and sorts by that code
  // point, not by its surrogates, which lie below U+FF41 (fullwidth 'a').
  const QString deseretUpper = QString::fromUtf8("\xF0\x90\x90\x80");
  const QString deseretLower = QString::fromUtf8("\xF0\x90\x90\xA8");
  EXPECT_EQ(NaturalCompare(deseretUpper, deseretLower), 0);
  EXPECT_EQ(NaturalCompare(deseretUpper, QString::fromUtf8("\xEF\xBC\xA1")), 1);
  // A lone surrogate is an ordinary character.
  const QString lone(QChar(0xD800));
  EXPECT_EQ(NaturalCompare(lone + "1", lone + "2"), -1);
}

// Sorting relies on a consistent order: antisymmetric, transitive, and 0 only
// for names equal apart from case.
TEST(NaturalCompare, IsAStrictWeakOrder) {
  const QStringList names = {"",
                             "a",
                             "A",
                             "a0",
                             "a00",
                             "a01",
                             "a1",
                             "a1b",
                             "a01b",
                             "a10",
                             "a 1",
                             "a-1",
                             "a_1",
                             "a.1",
                             "b",
                             "B2",
                             "b02",
                             "b2c",
                             QString::fromUtf8("é"),
                             QString::fromUtf8("É1"),
                             "99999999999999999999",
                             "100000000000000000000"};
  for (const QString& a : names) {
    for (const QString& b : names) {
      const int ab = NaturalCompare(a, b);
      ASSERT_TRUE(ab == -1 || ab == 0 || ab == 1);
      ASSERT_EQ(ab, -NaturalCompare(b, a)) << a.toStdString() << " / " << b.toStdString();
      ASSERT_EQ(ab == 0, a.toCaseFolded() == b.toCaseFolded()) << a.toStdString() << " / " << b.toStdString();
      for (const QString& c : names) {
        if (ab <= 0 && NaturalCompare(b, c) <= 0) {
          ASSERT_LE(NaturalCompare(a, c), 0) << a.toStdString() << " " << b.toStdString() << " " << c.toStdString();
        }
      }
    }
  }
}

TEST(NaturalCompare, AccentedLettersSortWithTheirBaseLetters) {
  EXPECT_EQ(Sorted({"Zebra", QString::fromUtf8("été"), "eclair2", "apple", QString::fromUtf8("éclair"), "Fig",
                    QString::fromUtf8("Éclair10"), "eclair10"}),
            QStringList({"apple", QString::fromUtf8("éclair"), "eclair2", "eclair10", QString::fromUtf8("Éclair10"),
                         QString::fromUtf8("été"), "Fig", "Zebra"}));
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("Über"), "uber"), 1);  // the accent decides only a tie
  // Each part is compared whole, accents included, before the number after it.
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("Über2"), "uber10"), 1);
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("Über2"), QString::fromUtf8("über10")), -1);
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("ñandú"), "nz"), -1);
}

TEST(NaturalCompare, TheLettersFollowTheLocale) {
  // Swedish puts ö after z; German and English keep it with the o's.
  const TNaturalCollator swedish(QLocale(QLocale::Swedish, QLocale::Sweden));
  const TNaturalCollator german(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(swedish.Compare(QString::fromUtf8("öl2"), "zebra"), 1);
  EXPECT_EQ(german.Compare(QString::fromUtf8("öl2"), "zebra"), -1);
  EXPECT_EQ(swedish.Compare(QString::fromUtf8("Öl2"), QString::fromUtf8("öl10")), -1);  // digits by value still

  // NaturalCompare follows the locale in effect.
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("öl"), "zebra"), -1);
  QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("öl"), "zebra"), 1);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(NaturalCompare(QString::fromUtf8("öl"), "zebra"), -1);

  // A user without a language (the C or POSIX locale) gets the root order.
  const TNaturalCollator c(QLocale::c());
  EXPECT_EQ(c.Compare(QString::fromUtf8("été"), "Zebra"), -1);
  EXPECT_EQ(c.Compare("img9", "IMG10"), -1);
}

TEST(NaturalCompare, KeysOfManyNamesOrderAsTheComparisonDoes) {
  // A key ranks its texts among those of the names it was made with: keys of
  // a whole list must still order each pair as a comparison of the two does.
  const TNaturalCollator collator;
  const QStringList names = {"",        "a",
                             "A1",      "a01",
                             "a 1",     "a_1",
                             "img9",    "IMG10",
                             "img010",  QString::fromUtf8("éa"),
                             "ea",      QString::fromUtf8("Éb2"),
                             "z",       QString::fromUtf8("жук"),
                             "x1y2z3",  "X1Y2Z03",
                             "a\u0661", "a\u0660",
                             "a0",      "a00",
                             "a1b",     "a01b",
                             "img",     "IMG"};
  const std::vector<std::string> keys = collator.SortKeys(names);
  ASSERT_EQ(keys.size(), std::size_t(names.size()));
  for (qsizetype i = 0; i < names.size(); ++i)
    for (qsizetype j = 0; j < names.size(); ++j)
      EXPECT_EQ(CompareNameKeys(keys[std::size_t(i)], names[i], keys[std::size_t(j)], names[j]),
                collator.Compare(names[i], names[j]))
          << names[i].toStdString() << " / " << names[j].toStdString();
}

TEST(NaturalCompare, KeysOfAFolderOfManyTextsAndLongNumbersSortAsTheComparisonDoes) {
  // More distinct texts than one byte can rank, and runs too long for a
  // one-byte length.
  QStringList names;
  for (int i = 0; i < 700; ++i) {
    const QString text = QString(QChar(u'a' + i % 26)) + QChar(u'a' + i / 26 % 26) + (i % 3 ? "-" : " ");
    names << text + QString::number(i * 7919 % 1000) + (i % 5 ? ".jpg" : ".PNG");
  }
  for (const int digits : {254, 255, 256, 300})
    names << "n" + QString(digits - 1, u'9') + "8"
          << "n" + QString(digits, u'1') << "n0" + QString(digits, u'1');
  const TNaturalCollator collator;
  const std::vector<std::string> keys = collator.SortKeys(names);
  std::vector<qsizetype> order(static_cast<std::size_t>(names.size()));
  std::iota(order.begin(), order.end(), qsizetype{0});
  std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
    return CompareNameKeys(keys[std::size_t(a)], names[a], keys[std::size_t(b)], names[b]) < 0;
  });
  QStringList byKeys;
  for (const qsizetype i : order) byKeys << names[i];
  EXPECT_EQ(byKeys, Sorted(names));

  // The longer number is the larger across the lengths that change the
  // length's form.
  for (const int digits : {253, 254, 255, 256, 299})
    EXPECT_EQ(NaturalCompare("n" + QString(digits, u'9'), "n1" + QString(digits, u'0')), -1) << digits;
}
