#pragma once

#include <QString>

// The name comparison the folder list used before it followed the locale:
// case-folded code points, digit runs by value. Kept only as the baseline of
// the name-sort benchmark.
int CodePointNaturalCompare(const QString& a, const QString& b);
