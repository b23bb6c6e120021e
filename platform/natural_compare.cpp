#include "platform/natural_compare.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>

namespace {

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int Sign(int value) { return (value > 0) - (value < 0); }

QLocale CollationLocale(const QLocale& locale) {
  // Qt compares code units in the C locale; the root order is what a user
  // without a language expects.
  if (locale.language() == QLocale::C) return QLocale(QLocale::English, QLocale::UnitedStates);
  return locale;
}

// One part of a name: a text, then perhaps a run of digits.
struct TNamePart {
  quint32 TextId = 0;  // among the distinct texts of all the names
  bool bRun = false;
  quint32 LeadingZeros = 0;
  qsizetype DigitsBegin = 0;  // the run without its leading zeros, in the name
  qsizetype DigitsLength = 0;
};

// Cuts name into its parts. A text followed by a run gets a "0" standing
// for it, so that the collation puts symbols before digits before letters.
void SplitName(const QString& name, QHash<QString, quint32>& textIds, QStringList& texts,
               std::vector<TNamePart>& parts) {
  qsizetype pos = 0;
  for (;;) {
    const qsizetype textBegin = pos;
    while (pos < name.size() && !IsAsciiDigit(name[pos])) ++pos;
    TNamePart part;
    part.bRun = pos < name.size();
    QString text = name.mid(textBegin, pos - textBegin);
    if (part.bRun) text += u'0';
    auto id = textIds.constFind(text);
    if (id == textIds.constEnd()) {
      id = textIds.insert(text, static_cast<quint32>(texts.size()));
      texts.push_back(text);
    }
    part.TextId = id.value();
    if (part.bRun) {
      while (pos < name.size() && name[pos] == u'0') {
        ++part.LeadingZeros;
        ++pos;
      }
      part.DigitsBegin = pos;
      while (pos < name.size() && IsAsciiDigit(name[pos])) ++pos;
      part.DigitsLength = pos - part.DigitsBegin;
    }
    parts.push_back(part);
    if (!part.bRun) break;
  }
}

void AppendBigEndian(QByteArray& key, quint32 value) {
  const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
  key.append(bytes, 4);
}

}  // namespace

TNaturalCollator::TNaturalCollator(const QLocale& locale) : FLocale(locale), FCollator(CollationLocale(locale)) {
  FCollator.setCaseSensitivity(Qt::CaseInsensitive);
  // Our own runs are ASCII digits; other scripts' digits in the texts still
  // compare by value this way.
  FCollator.setNumericMode(true);
  FCollator.setIgnorePunctuation(false);
}

// A key is the parts in turn, each as the rank of its text, a byte telling
// whether a run follows and, if one does, the run's length and its digits:
// compared byte by byte, that is text, then run or none, then the run's
// value. The leading zeros of the runs follow, so that they decide only
// between names equal in all the rest, more zeros first.
std::vector<QByteArray> TNaturalCollator::SortKeys(const QStringList& names) const {
  QHash<QString, quint32> textIds;
  QStringList texts;
  std::vector<TNamePart> parts;
  std::vector<std::size_t> firstPart;
  parts.reserve(static_cast<std::size_t>(names.size()) * 2);
  firstPart.reserve(static_cast<std::size_t>(names.size()) + 1);
  for (const QString& name : names) {
    firstPart.push_back(parts.size());
    SplitName(name, textIds, texts, parts);
  }
  firstPart.push_back(parts.size());

  // Texts the collation cannot tell apart share a rank.
  std::vector<QCollatorSortKey> textKeys;
  textKeys.reserve(static_cast<std::size_t>(texts.size()));
  for (const QString& text : texts) textKeys.push_back(FCollator.sortKey(text));
  std::vector<quint32> order(textKeys.size());
  std::iota(order.begin(), order.end(), quint32{0});
  std::sort(order.begin(), order.end(),
            [&textKeys](quint32 a, quint32 b) { return textKeys[a].compare(textKeys[b]) < 0; });
  std::vector<quint32> rank(textKeys.size());
  quint32 current = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && textKeys[order[i - 1]].compare(textKeys[order[i]]) != 0) ++current;
    rank[order[i]] = current;
  }

  std::vector<QByteArray> keys;
  keys.reserve(static_cast<std::size_t>(names.size()));
  for (qsizetype n = 0; n < names.size(); ++n) {
    const QString& name = names[n];
    const auto begin = parts.begin() + static_cast<std::ptrdiff_t>(firstPart[static_cast<std::size_t>(n)]);
    const auto end = parts.begin() + static_cast<std::ptrdiff_t>(firstPart[static_cast<std::size_t>(n) + 1]);
    QByteArray key;
    for (auto part = begin; part != end; ++part) {
      AppendBigEndian(key, rank[part->TextId]);
      key.append(char(part->bRun ? 1 : 0));
      if (!part->bRun) break;
      AppendBigEndian(key, static_cast<quint32>(part->DigitsLength));
      for (qsizetype i = 0; i < part->DigitsLength; ++i) key.append(char(name[part->DigitsBegin + i].unicode()));
    }
    for (auto part = begin; part != end && part->bRun; ++part) AppendBigEndian(key, ~part->LeadingZeros);
    key.squeeze();
    keys.push_back(std::move(key));
  }
  return keys;
}

int CompareNameKeys(const QByteArray& keyA, const QString& nameA, const QByteArray& keyB, const QString& nameB) {
  const qsizetype common = std::min(keyA.size(), keyB.size());
  int c = common > 0 ? std::memcmp(keyA.constData(), keyB.constData(), static_cast<std::size_t>(common)) : 0;
  if (c == 0) c = (keyA.size() > keyB.size()) - (keyA.size() < keyB.size());
  if (c != 0) return Sign(c);
  // The last resort, for names the collation cannot tell apart.
  return Sign(nameA.toCaseFolded().compare(nameB.toCaseFolded()));
}

int TNaturalCollator::Compare(const QString& a, const QString& b) const {
  const std::vector<QByteArray> keys = SortKeys({a, b});
  return CompareNameKeys(keys[0], a, keys[1], b);
}

const TNaturalCollator& DefaultNaturalCollator() {
  // QCollator is not safe to share between threads: one per thread.
  thread_local std::unique_ptr<TNaturalCollator> collator;
  const QLocale current;
  if (!collator || collator->Locale() != current) collator = std::make_unique<TNaturalCollator>(current);
  return *collator;
}

int NaturalCompare(const QString& a, const QString& b) { return DefaultNaturalCollator().Compare(a, b); }
