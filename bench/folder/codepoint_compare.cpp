#include "codepoint_compare.h"

#include <QChar>

namespace {

enum class CharClass { Symbol = 0, Digit = 1, Other = 2 };

bool IsAsciiDigit(char32_t c) { return c >= '0' && c <= '9'; }

CharClass ClassOf(char32_t c) {
  if (IsAsciiDigit(c)) return CharClass::Digit;
  if (QChar::isLetterOrNumber(c) || QChar::isMark(c)) return CharClass::Other;
  return CharClass::Symbol;
}

// Walks a string code point by code point without copying it; an unpaired
// surrogate stands for itself.
class Reader {
public:
  explicit Reader(const QString& s) : FText(s) {}

  bool AtEnd() const { return FPos >= FText.size(); }

  char32_t Peek() const {
    const QChar c = FText.at(FPos);
    if (c.isHighSurrogate() && FPos + 1 < FText.size() && FText.at(FPos + 1).isLowSurrogate())
      return QChar::surrogateToUcs4(c, FText.at(FPos + 1));
    return c.unicode();
  }

  void Advance() { FPos += Peek() > 0xFFFF ? 2 : 1; }

  // Consumes a run of ASCII digits; the run's significant digits are
  // [SigBegin, End) of the text.
  struct DigitRun {
    qsizetype LeadingZeros = 0;
    qsizetype SigBegin = 0;
    qsizetype End = 0;
    qsizetype Length() const { return End - SigBegin; }
  };
  DigitRun ReadDigitRun() {
    DigitRun run;
    while (!AtEnd() && FText.at(FPos) == u'0') {
      ++run.LeadingZeros;
      ++FPos;
    }
    run.SigBegin = FPos;
    while (!AtEnd() && IsAsciiDigit(FText.at(FPos).unicode())) ++FPos;
    run.End = FPos;
    return run;
  }

  QChar At(qsizetype i) const { return FText.at(i); }

private:
  const QString& FText;
  qsizetype FPos = 0;
};

// Compares two digit runs by value: the one with more significant digits is
// larger; with as many, the first differing digit decides.
int CompareRunValues(const Reader& ra, const Reader::DigitRun& a, const Reader& rb, const Reader::DigitRun& b) {
  if (a.Length() != b.Length()) return a.Length() < b.Length() ? -1 : 1;
  for (qsizetype i = 0; i < a.Length(); ++i) {
    const char16_t da = ra.At(a.SigBegin + i).unicode();
    const char16_t db = rb.At(b.SigBegin + i).unicode();
    if (da != db) return da < db ? -1 : 1;
  }
  return 0;
}

}  // namespace

int CodePointNaturalCompare(const QString& a, const QString& b) {
  Reader ra(a);
  Reader rb(b);
  int zerosTieBreak = 0;  // set by the first run whose leading zeros differ

  while (!ra.AtEnd() && !rb.AtEnd()) {
    const char32_t ca = ra.Peek();
    const char32_t cb = rb.Peek();
    const CharClass ka = ClassOf(ca);
    const CharClass kb = ClassOf(cb);
    if (ka != kb) return ka < kb ? -1 : 1;

    if (ka == CharClass::Digit) {
      const Reader::DigitRun runA = ra.ReadDigitRun();
      const Reader::DigitRun runB = rb.ReadDigitRun();
      if (const int c = CompareRunValues(ra, runA, rb, runB); c != 0) return c;
      if (zerosTieBreak == 0 && runA.LeadingZeros != runB.LeadingZeros)
        zerosTieBreak = runA.LeadingZeros > runB.LeadingZeros ? -1 : 1;
      continue;
    }

    const char32_t fa = QChar::toCaseFolded(ca);
    const char32_t fb = QChar::toCaseFolded(cb);
    if (fa != fb) return fa < fb ? -1 : 1;
    ra.Advance();
    rb.Advance();
  }

  if (!ra.AtEnd()) return 1;
  if (!rb.AtEnd()) return -1;
  return zerosTieBreak;
}
