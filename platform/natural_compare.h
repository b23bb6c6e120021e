#pragma once

#include <QString>

// Compares two file names the way the folder list orders them by name:
// without regard to case, and with every run of ASCII digits compared by its
// numeric value, so that "img9" goes before "img10". Returns -1, 0 or 1.
//
// The finer points:
// - Characters fall into three classes that sort in this order: spaces,
//   punctuation and symbols; digit runs; everything else (letters of any
//   script, marks, non-ASCII digits). Within a class characters compare by
//   their simply case-folded code point, so non-Latin letters follow the
//   Latin ones in code-point order rather than any locale's order.
// - Digit runs of any length compare by value without overflow: leading
//   zeros are skipped, then the longer run is the larger number, then the
//   digits decide.
// - A name that is a prefix of the other goes first ("img" before "img1").
// - Names that differ only in the leading zeros of their numbers ("img01"
//   and "img1") are ordered by those zeros as a last resort: at the first run
//   where the counts differ, more zeros go first. So only names equal apart
//   from case compare as 0, and the order is a strict weak one that sorting
//   can rely on.
int NaturalCompare(const QString& a, const QString& b);
