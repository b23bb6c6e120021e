#pragma once

#include <QCollator>
#include <QLocale>
#include <QString>

#include <vector>

// The order of file names in the folder list by name: letters as the user's
// locale orders them (accented letters with their base letters, without
// regard to case, through ICU), and every run of ASCII digits by its numeric
// value, so that "img9" goes before "img10".
//
// The finer points:
// - A name is cut into parts, each a text followed by a digit run (the last
//   part may have no run). Parts are compared in turn: first the texts by the
//   locale's collation, the run standing there as a digit so that spaces,
//   punctuation and symbols go before digits and digits before letters (as
//   in "a b", "a_b", "a1", "ab"); then the runs by value.
// - Digit runs of any length compare by value without overflow: leading
//   zeros are skipped, then the longer run is the larger number, then the
//   digits decide.
// - A name that is a prefix of the other goes first ("img" before "img1").
// - Names equal so far are ordered by the leading zeros of their numbers (at
//   the first run where the counts differ, more zeros go first: "img01"
//   before "img1"), then by their case-folded code units. So only names equal
//   apart from case compare as 0, and the order is a strict weak one that
//   sorting can rely on.

// A name prepared for comparison: the collation keys of its texts and its
// digit runs. Comparing keys is much cheaper than comparing names, so a sort
// makes one key per name.
class TNaturalSortKey {
public:
  friend int CompareSortKeys(const TNaturalSortKey& a, const TNaturalSortKey& b);

private:
  friend class TNaturalCollator;
  struct TPart {
    QCollatorSortKey Text;   // the text, with "0" standing for the run after it
    bool bRun = false;       // a digit run follows the text
    qsizetype LeadingZeros = 0;
    QString Digits;          // the run without its leading zeros
  };
  std::vector<TPart> FParts;
  QString FFolded;  // the whole name case-folded: the last resort
};

// -1, 0 or 1 as the name of a goes before, with or after the name of b.
int CompareSortKeys(const TNaturalSortKey& a, const TNaturalSortKey& b);

// The natural order of one locale. Making one opens an ICU collator, which
// is slow next to a comparison: make it once for many comparisons.
class TNaturalCollator {
public:
  // The C and POSIX locales name no language: they take the root order of
  // Unicode's collation (the order of English).
  explicit TNaturalCollator(const QLocale& locale = QLocale());

  const QLocale& Locale() const { return FLocale; }
  TNaturalSortKey SortKey(const QString& name) const;
  int Compare(const QString& a, const QString& b) const;

private:
  QLocale FLocale;
  QCollator FCollator;
};

// The collator of the locale in effect (QLocale(), the user's unless the
// program set another), made once per thread and made again when that locale
// changes.
const TNaturalCollator& DefaultNaturalCollator();

// DefaultNaturalCollator().Compare(a, b).
int NaturalCompare(const QString& a, const QString& b);
