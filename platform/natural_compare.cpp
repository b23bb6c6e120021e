#include "platform/natural_compare.h"

#include <algorithm>
#include <map>
#include <memory>
#include <numeric>
#include <string_view>

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
  qsizetype LeadingZeros = 0;
  qsizetype DigitsBegin = 0;  // the run without its leading zeros, in the name
  qsizetype DigitsLength = 0;
};

// A text of a name, told apart from the same letters with a run after them.
struct TTextView {
  std::u16string_view Text;
  bool bRun = false;
};
struct TText {
  std::u16string Text;
  bool bRun = false;
};
// Distinct texts are found by comparison, not hashing: no set of names can
// make the search slow.
struct TTextLess {
  using is_transparent = void;
  template <typename A, typename B>
  bool operator()(const A& a, const B& b) const {
    const int c = std::u16string_view(a.Text).compare(std::u16string_view(b.Text));
    return c < 0 || (c == 0 && a.bRun < b.bRun);
  }
};
using TTextIds = std::map<TText, quint32, TTextLess>;

std::u16string_view ViewOf(const QString& name, qsizetype begin, qsizetype length) {
  return {reinterpret_cast<const char16_t*>(name.utf16()) + begin, static_cast<std::size_t>(length)};
}

// Cuts name into its parts.
void SplitName(const QString& name, TTextIds& textIds, std::vector<TNamePart>& parts) {
  qsizetype pos = 0;
  for (;;) {
    const qsizetype textBegin = pos;
    while (pos < name.size() && !IsAsciiDigit(name[pos])) ++pos;
    TNamePart part;
    part.bRun = pos < name.size();
    const TTextView text{ViewOf(name, textBegin, pos - textBegin), part.bRun};
    auto id = textIds.find(text);
    if (id == textIds.end())
      id = textIds.emplace(TText{std::u16string(text.Text), text.bRun}, static_cast<quint32>(textIds.size())).first;
    part.TextId = id->second;
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

void AppendBigEndian(std::string& key, quint32 value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) key.push_back(char(value >> shift));
}

// A count in one byte when below 255, else 255 and four bytes: compared byte
// by byte, still in the order of the counts.
void AppendCount(std::string& key, qsizetype count) {
  if (count < 255) {
    key.push_back(char(count));
  } else {
    key.push_back(char(255));
    AppendBigEndian(key, static_cast<quint32>(std::min<qsizetype>(count, 0xFFFFFFFF)), 4);
  }
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
// whether a run follows and, if one does, the run's length and its digits
// two to a byte: compared byte by byte, that is text, then run or none, then
// the run's value. The leading zeros of the runs follow, so that they decide
// only between names equal in all the rest, more zeros first. Ranks take as
// few bytes as the number of distinct texts allows, so that the key of a
// camera's name fits in the string itself.
std::vector<std::string> TNaturalCollator::SortKeys(const QStringList& names) const {
  TTextIds textIds;
  std::vector<TNamePart> parts;
  std::vector<std::size_t> firstPart;
  parts.reserve(static_cast<std::size_t>(names.size()) * 2);
  firstPart.reserve(static_cast<std::size_t>(names.size()) + 1);
  for (const QString& name : names) {
    firstPart.push_back(parts.size());
    SplitName(name, textIds, parts);
  }
  firstPart.push_back(parts.size());

  // The run after a text stands there as a "0", so that the collation puts
  // symbols before digits before letters. Texts the collation cannot tell
  // apart share a rank.
  std::vector<QCollatorSortKey> textKeys(textIds.size(), FCollator.sortKey(QString()));
  for (const auto& [text, id] : textIds) {
    QString collated = QString::fromUtf16(text.Text.data(), static_cast<qsizetype>(text.Text.size()));
    if (text.bRun) collated += u'0';
    textKeys[id] = FCollator.sortKey(collated);
  }
  std::vector<quint32> order(textKeys.size());
  std::iota(order.begin(), order.end(), quint32{0});
  std::sort(order.begin(), order.end(),
            [&textKeys](quint32 a, quint32 b) { return textKeys[a].compare(textKeys[b]) < 0; });
  std::vector<quint32> rank(textKeys.size());
  quint32 lastRank = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && textKeys[order[i - 1]].compare(textKeys[order[i]]) != 0) ++lastRank;
    rank[order[i]] = lastRank;
  }
  const int rankBytes = lastRank < 0x100 ? 1 : lastRank < 0x10000 ? 2 : lastRank < 0x1000000 ? 3 : 4;

  std::vector<std::string> keys;
  keys.reserve(static_cast<std::size_t>(names.size()));
  for (qsizetype n = 0; n < names.size(); ++n) {
    const QString& name = names[n];
    const auto begin = parts.begin() + static_cast<std::ptrdiff_t>(firstPart[static_cast<std::size_t>(n)]);
    const auto end = parts.begin() + static_cast<std::ptrdiff_t>(firstPart[static_cast<std::size_t>(n) + 1]);
    std::string key;
    for (auto part = begin; part != end; ++part) {
      AppendBigEndian(key, rank[part->TextId], rankBytes);
      key.push_back(char(part->bRun ? 1 : 0));
      if (!part->bRun) break;
      AppendCount(key, part->DigitsLength);
      for (qsizetype i = 0; i < part->DigitsLength; i += 2) {
        const int high = name[part->DigitsBegin + i].unicode() - u'0';
        const int low = i + 1 < part->DigitsLength ? name[part->DigitsBegin + i + 1].unicode() - u'0' : 0;
        key.push_back(char(high << 4 | low));
      }
    }
    for (auto part = begin; part != end && part->bRun; ++part)
      AppendBigEndian(key, 0xFFFF - static_cast<quint32>(std::min<qsizetype>(part->LeadingZeros, 0xFFFF)), 2);
    key.shrink_to_fit();
    keys.push_back(std::move(key));
  }
  return keys;
}

int CompareNameKeys(const std::string& keyA, const QString& nameA, const std::string& keyB, const QString& nameB) {
  // Byte by byte as unsigned values, then the shorter first.
  if (const int c = Sign(keyA.compare(keyB)); c != 0) return c;
  // The last resort, for names the collation cannot tell apart.
  return Sign(nameA.toCaseFolded().compare(nameB.toCaseFolded()));
}

int TNaturalCollator::Compare(const QString& a, const QString& b) const {
  const std::vector<std::string> keys = SortKeys({a, b});
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
