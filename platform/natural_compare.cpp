#include "platform/natural_compare.h"

#include <memory>

namespace {

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int Sign(int value) { return (value > 0) - (value < 0); }

QLocale CollationLocale(const QLocale& locale) {
  // Qt compares code units in the C locale; the root order is what a user
  // without a language expects.
  if (locale.language() == QLocale::C) return QLocale(QLocale::English, QLocale::UnitedStates);
  return locale;
}

}  // namespace

TNaturalCollator::TNaturalCollator(const QLocale& locale) : FLocale(locale), FCollator(CollationLocale(locale)) {
  FCollator.setCaseSensitivity(Qt::CaseInsensitive);
  // Our own runs are ASCII digits; other scripts' digits in the texts still
  // compare by value this way.
  FCollator.setNumericMode(true);
  FCollator.setIgnorePunctuation(false);
}

TNaturalSortKey TNaturalCollator::SortKey(const QString& name) const {
  TNaturalSortKey key;
  key.FFolded = name.toCaseFolded();
  qsizetype pos = 0;
  for (;;) {
    const qsizetype textBegin = pos;
    while (pos < name.size() && !IsAsciiDigit(name[pos])) ++pos;
    QString text = name.mid(textBegin, pos - textBegin);
    const bool bRun = pos < name.size();
    if (bRun) text += u'0';
    TNaturalSortKey::TPart part{FCollator.sortKey(text), bRun, 0, {}};
    if (bRun) {
      while (pos < name.size() && name[pos] == u'0') {
        ++part.LeadingZeros;
        ++pos;
      }
      const qsizetype digitsBegin = pos;
      while (pos < name.size() && IsAsciiDigit(name[pos])) ++pos;
      part.Digits = name.mid(digitsBegin, pos - digitsBegin);
    }
    key.FParts.push_back(std::move(part));
    if (!bRun) break;
  }
  return key;
}

int CompareSortKeys(const TNaturalSortKey& a, const TNaturalSortKey& b) {
  int zerosTieBreak = 0;  // set by the first run whose leading zeros differ
  // Every key ends with a part without a run, so both have the part i looked at.
  for (std::size_t i = 0;; ++i) {
    const TNaturalSortKey::TPart& pa = a.FParts[i];
    const TNaturalSortKey::TPart& pb = b.FParts[i];
    if (const int c = Sign(pa.Text.compare(pb.Text)); c != 0) return c;
    // Texts that collate alike where only one is followed by a number.
    if (pa.bRun != pb.bRun) return pa.bRun ? 1 : -1;
    if (!pa.bRun) break;
    if (pa.Digits.size() != pb.Digits.size()) return pa.Digits.size() < pb.Digits.size() ? -1 : 1;
    if (const int c = Sign(pa.Digits.compare(pb.Digits)); c != 0) return c;
    if (zerosTieBreak == 0 && pa.LeadingZeros != pb.LeadingZeros)
      zerosTieBreak = pa.LeadingZeros > pb.LeadingZeros ? -1 : 1;
  }
  if (zerosTieBreak != 0) return zerosTieBreak;
  return Sign(a.FFolded.compare(b.FFolded));
}

int TNaturalCollator::Compare(const QString& a, const QString& b) const {
  return CompareSortKeys(SortKey(a), SortKey(b));
}

const TNaturalCollator& DefaultNaturalCollator() {
  // QCollator is not safe to share between threads: one per thread.
  thread_local std::unique_ptr<TNaturalCollator> collator;
  const QLocale current;
  if (!collator || collator->Locale() != current) collator = std::make_unique<TNaturalCollator>(current);
  return *collator;
}

int NaturalCompare(const QString& a, const QString& b) { return DefaultNaturalCollator().Compare(a, b); }
