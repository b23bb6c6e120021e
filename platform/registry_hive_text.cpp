#include "platform/registry_hive_text.h"

#include <QStringDecoder>

#include <utility>

namespace {

const QString kSignature = QStringLiteral("Velvane registry hive 1");
const QString kDwordPrefix = QStringLiteral("dword:");

const char kHeaderComment[] =
    "; The current user's registry keys of Velvane Photo Viewer.\n"
    "; [KEY\\PATH] starts a key; below it \"name\"=dword:0000002a is a number,\n"
    "; \"name\"=\"text\" a text, and @ names the key's default value.\n"
    "; In quotes \\\\ \\\" \\n \\r \\t and \\uXXXX stand for special characters.\n";

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendQuoted(QString& out, const QString& text) {
  out += u'"';
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    switch (c) {
      case u'\\': out += QLatin1String("\\\\"); continue;
      case u'"': out += QLatin1String("\\\""); continue;
      case u'\n': out += QLatin1String("\\n"); continue;
      case u'\r': out += QLatin1String("\\r"); continue;
      case u'\t': out += QLatin1String("\\t"); continue;
      default: break;
    }
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1].unicode())) {
      out += text[i];
      out += text[++i];
    } else if (c < 0x20 || c == 0x7F || IsHighSurrogate(c) || IsLowSurrogate(c)) {
      out += QStringLiteral("\\u%1").arg(static_cast<unsigned>(c), 4, 16, QLatin1Char('0'));
    } else {
      out += text[i];
    }
  }
  out += u'"';
}

void AppendKey(QString& out, const TRegKey& key, const QString& path) {
  if (!path.isEmpty() || !key.Values().empty()) {
    out += QLatin1String("\n[") + path + QLatin1String("]\n");
    for (const TRegValue& v : key.Values()) {
      if (v.Name.isEmpty())
        out += u'@';
      else
        AppendQuoted(out, v.Name);
      out += u'=';
      if (v.Type == TRegDataType::rdInteger)
        out += kDwordPrefix + QStringLiteral("%1").arg(v.Dword, 8, 16, QLatin1Char('0'));
      else
        AppendQuoted(out, v.Text);
      out += u'\n';
    }
  }
  for (const TRegKey* sub : key.SubKeys())
    AppendKey(out, *sub, path.isEmpty() ? sub->Name() : path + u'\\' + sub->Name());
}

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// Reads a quoted text starting at line[pos]; pos ends after the closing quote.
bool ReadQuoted(const QString& line, qsizetype& pos, QString& text) {
  if (pos >= line.size() || line[pos] != u'"') return false;
  text.clear();
  for (++pos; pos < line.size(); ++pos) {
    const QChar c = line[pos];
    if (c == u'"') {
      ++pos;
      return true;
    }
    if (c != u'\\') {
      text += c;
      continue;
    }
    if (++pos >= line.size()) return false;
    switch (line[pos].unicode()) {
      case u'\\': text += u'\\'; break;
      case u'"': text += u'"'; break;
      case u'n': text += u'\n'; break;
      case u'r': text += u'\r'; break;
      case u't': text += u'\t'; break;
      case u'u': {
        if (pos + 4 >= line.size()) return false;
        int code = 0;
        for (int i = 1; i <= 4; ++i) {
          const int d = HexDigit(line[pos + i]);
          if (d < 0) return false;
          code = code * 16 + d;
        }
        text += QChar(static_cast<char16_t>(code));
        pos += 4;
        break;
      }
      default: return false;
    }
  }
  return false;
}

bool ReadDword(QStringView digits, std::uint32_t& value) {
  if (digits.isEmpty() || digits.size() > 8) return false;
  value = 0;
  for (QChar c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return true;
}

bool ReadValueLine(const QString& line, int lineNumber, TRegKey& key) {
  qsizetype pos = 0;
  QString name;
  if (line.startsWith(u'@'))
    pos = 1;
  else if (!ReadQuoted(line, pos, name))
    return false;
  if (pos >= line.size() || line[pos] != u'=') return false;
  ++pos;
  if (key.FindValue(name)) return false;  // a name twice in one key
  if (QStringView(line).sliced(pos).startsWith(kDwordPrefix)) {
    std::uint32_t dword = 0;
    if (!ReadDword(QStringView(line).sliced(pos + kDwordPrefix.size()), dword)) return false;
    TRegValue value = TRegValue::Integer(name, dword);
    value.Line = lineNumber;
    key.SetValue(std::move(value));
    return true;
  }
  QString text;
  if (!ReadQuoted(line, pos, text) || pos != line.size()) return false;
  TRegValue value = TRegValue::String(name, text);
  value.Line = lineNumber;
  key.SetValue(std::move(value));
  return true;
}

}  // namespace

QByteArray HiveToText(const TRegKey& root) {
  QString out = kSignature + u'\n' + QString::fromLatin1(kHeaderComment);
  AppendKey(out, root, QString());
  return out.toUtf8();
}

namespace {

// The key a key line names, created; nullptr when the line cannot be read.
TRegKey* ReadKeyLine(const QString& line, TRegKey& root) {
  if (!line.endsWith(u']') || line.size() < 2) return nullptr;
  const QString inner = line.mid(1, line.size() - 2);
  if (inner.count(u'\\') >= TRegKey::MaxDepth) return nullptr;  // not split into millions
  TRegPath path;
  bool bAbsolute = false;
  if (!SplitRegPath(inner, path, bAbsolute) || bAbsolute || inner.endsWith(u'\\')) return nullptr;
  return root.CreateKey(path);
}

}  // namespace

std::optional<TParsedHive> HiveFromText(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);
  TParsedHive hive;
  TRegKey* section = nullptr;
  int lineNumber = 0;
  for (QByteArrayView rest = bytes; lineNumber == 0 || !rest.isNull();) {
    const qsizetype end = rest.indexOf('\n');
    QByteArrayView raw = end < 0 ? rest : rest.first(end);
    rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
    ++lineNumber;
    if (raw.endsWith('\r')) raw.chop(1);

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString line = decoder.decode(raw);
    if (lineNumber == 1) {
      if (decoder.hasError() || line != kSignature) return std::nullopt;
      continue;
    }
    bool bGood = !decoder.hasError();
    if (bGood && (line.trimmed().isEmpty() || line.startsWith(u';'))) continue;
    if (bGood && line.startsWith(u'[')) {
      // The values under a key line that cannot be read have no key to go to.
      section = ReadKeyLine(line, hive.Root);
      bGood = section != nullptr;
    } else if (bGood) {
      bGood = section && ReadValueLine(line, lineNumber, *section);
    } else if (raw.startsWith('[')) {
      section = nullptr;
    }
    if (!bGood) hive.BadLines.push_back(lineNumber);
  }
  return hive;
}
