#pragma once

#include <QCollator>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <string>
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

// The natural order of one locale. Making one opens an ICU collator, which
// is slow next to a comparison: make it once for many comparisons.
class TNaturalCollator {
public:
  // The C and POSIX locales name no language: they take the root order of
  // Unicode's collation (the order of English).
  explicit TNaturalCollator(const QLocale& locale = QLocale());

  const QLocale& Locale() const { return FLocale; }

  // One key per name, in the order of names, such that CompareNameKeys on
  // two of them gives the order of their names. The keys rank each distinct
  // text among the texts of these names, so only keys made by the same call
  // can be compared; in return they are short (a camera's name takes about
  // ten bytes), and a folder of camera names, a handful of distinct texts,
  // costs the collator a handful of calls.
  std::vector<std::string> SortKeys(const QStringList& names) const;

  int Compare(const QString& a, const QString& b) const;

private:
  QLocale FLocale;
  QCollator FCollator;
};

// -1, 0 or 1 as nameA goes before, with or after nameB, given their keys
// from one SortKeys call. The names themselves are read only when the keys
// are equal, as they are for names that differ only in case.
int CompareNameKeys(const std::string& keyA, const QString& nameA, const std::string& keyB, const QString& nameB);

// The collator of the locale in effect (QLocale(), the user's unless the
// program set another), made once per thread and made again when that locale
// changes.
const TNaturalCollator& DefaultNaturalCollator();

// DefaultNaturalCollator().Compare(a, b).
int NaturalCompare(const QString& a, const QString& b);
