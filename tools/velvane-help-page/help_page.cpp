#include "help_page.h"

#include <QRegularExpression>

namespace {

bool IsFence(const QString& line) { return line.trimmed().startsWith(QLatin1String("```")); }
bool IsTableRow(const QString& line) { return line.trimmed().startsWith(u'|'); }
bool IsListItem(const QString& line) {
  const QString t = line.trimmed();
  return t.startsWith(QLatin1String("- ")) || t.startsWith(QLatin1String("* "));
}
int HeadingLevel(const QString& line) {
  int level = 0;
  while (level < line.size() && line[level] == u'#') ++level;
  return level >= 1 && level <= 6 && level < line.size() && line[level] == u' ' ? level : 0;
}

// Escapes the text and turns `code` spans into <code>; a lone backquote stays.
QString Inline(const QString& text) {
  QString html;
  qsizetype at = 0;
  while (at < text.size()) {
    const qsizetype open = text.indexOf(u'`', at);
    const qsizetype close = open < 0 ? -1 : text.indexOf(u'`', open + 1);
    if (close < 0) {
      html += text.mid(at).toHtmlEscaped();
      break;
    }
    html += text.mid(at, open - at).toHtmlEscaped();
    html += QStringLiteral("<code>") + text.mid(open + 1, close - open - 1).toHtmlEscaped() + QStringLiteral("</code>");
    at = close + 1;
  }
  return html;
}

// The cells of "| a | b |", with "\|" kept as a bar inside a cell.
QStringList Cells(const QString& row) {
  QString t = row.trimmed();
  if (t.startsWith(u'|')) t.remove(0, 1);
  if (t.endsWith(u'|') && !t.endsWith(QLatin1String("\\|"))) t.chop(1);
  QStringList cells;
  QString cell;
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (t[i] == u'\\' && i + 1 < t.size() && t[i + 1] == u'|') {
      cell += u'|';
      ++i;
    } else if (t[i] == u'|') {
      cells << cell.trimmed();
      cell.clear();
    } else {
      cell += t[i];
    }
  }
  cells << cell.trimmed();
  return cells;
}

bool IsSeparatorRow(const QString& row) {
  static const QRegularExpression separator(QStringLiteral("^\\s*\\|?(\\s*:?-+:?\\s*\\|)*\\s*:?-+:?\\s*\\|?\\s*$"));
  return separator.match(row).hasMatch();
}

QString Anchor(const QString& heading) {
  QString id;
  for (const QChar c : heading.toLower()) {
    if (c.isLetterOrNumber() && c.unicode() < 128)
      id += c;
    else if (!id.isEmpty() && !id.endsWith(u'-'))
      id += u'-';
  }
  while (id.endsWith(u'-')) id.chop(1);
  return id;
}

}  // namespace

QString MarkdownToHtml(const QString& markdown) {
  const QStringList lines = markdown.split(u'\n');
  QString html;
  qsizetype i = 0;
  while (i < lines.size()) {
    const QString& line = lines[i];
    if (line.trimmed().isEmpty()) {
      ++i;
    } else if (IsFence(line)) {
      QStringList code;
      for (++i; i < lines.size() && !IsFence(lines[i]); ++i) code << lines[i];
      ++i;  // the closing fence
      html += QStringLiteral("<pre><code>") + code.join(u'\n').toHtmlEscaped() + QStringLiteral("</code></pre>\n");
    } else if (const int level = HeadingLevel(line)) {
      const QString text = line.mid(level + 1).trimmed();
      html += QStringLiteral("<h%1 id=\"%2\">%3</h%1>\n").arg(level).arg(Anchor(text), Inline(text));
      ++i;
    } else if (IsTableRow(line) && i + 1 < lines.size() && IsSeparatorRow(lines[i + 1])) {
      html += QStringLiteral("<table>\n<tr>");
      for (const QString& cell : Cells(line)) html += QStringLiteral("<th>") + Inline(cell) + QStringLiteral("</th>");
      html += QStringLiteral("</tr>\n");
      for (i += 2; i < lines.size() && IsTableRow(lines[i]); ++i) {
        html += QStringLiteral("<tr>");
        for (const QString& cell : Cells(lines[i]))
          html += QStringLiteral("<td>") + Inline(cell) + QStringLiteral("</td>");
        html += QStringLiteral("</tr>\n");
      }
      html += QStringLiteral("</table>\n");
    } else if (IsListItem(line)) {
      html += QStringLiteral("<ul>\n");
      while (i < lines.size() && IsListItem(lines[i])) {
        QString item = lines[i].trimmed().mid(2);
        // Indented lines that follow continue the item.
        for (++i;
             i < lines.size() && lines[i].startsWith(u' ') && !lines[i].trimmed().isEmpty() && !IsListItem(lines[i]);
             ++i)
          item += u' ' + lines[i].trimmed();
        html += QStringLiteral("<li>") + Inline(item) + QStringLiteral("</li>\n");
      }
      html += QStringLiteral("</ul>\n");
    } else {
      QStringList paragraph;
      for (; i < lines.size() && !lines[i].trimmed().isEmpty() && !IsFence(lines[i]) && !HeadingLevel(lines[i]) &&
             !IsListItem(lines[i]) && !(IsTableRow(lines[i]) && paragraph.isEmpty());
           ++i)
        paragraph << lines[i].trimmed();
      if (paragraph.isEmpty()) {  // a table row without its separator: kept as text
        paragraph << line.trimmed();
        ++i;
      }
      html += QStringLiteral("<p>") + Inline(paragraph.join(u' ')) + QStringLiteral("</p>\n");
    }
  }
  return html;
}

QString HelpPageHtml(const QString& markdown, const QString& title, const QStringList& sections, QStringList* missing) {
  // The README as its "## " sections, and the text between its title and the first.
  QString lead;
  QStringList names;
  QStringList bodies;
  bool bInFence = false;
  for (const QString& line : markdown.split(u'\n')) {
    if (IsFence(line)) bInFence = !bInFence;
    if (!bInFence && HeadingLevel(line) == 2) {
      names << line.mid(3).trimmed();
      bodies << QString();
    } else if (!bInFence && HeadingLevel(line) == 1) {
      continue;
    } else if (names.isEmpty()) {
      lead += line + u'\n';
    } else {
      bodies.last() += line + u'\n';
    }
  }

  QString contents;
  QString body;
  for (const QString& name : sections) {
    const qsizetype at = names.indexOf(name);
    if (at < 0) {
      if (missing) *missing << name;
      continue;
    }
    contents += QStringLiteral("<li><a href=\"#%1\">%2</a></li>\n").arg(Anchor(name), Inline(name));
    body += MarkdownToHtml(QStringLiteral("## ") + name + u'\n' + bodies[at]);
  }
  return QStringLiteral(
             "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>%1</title>\n"
             "<style>\n"
             "body { font-family: \"DejaVu Sans\", sans-serif; max-width: 52em; margin: 2em auto; padding: 0 1em;"
             " line-height: 1.5; color: #222; }\n"
             "h1, h2 { line-height: 1.2; } h2 { margin-top: 1.6em; border-bottom: 1px solid #ccc; }\n"
             "table { border-collapse: collapse; } th, td { border: 1px solid #ccc; padding: 0.2em 0.5em;"
             " text-align: left; vertical-align: top; }\n"
             "code { background: #f2f2f2; padding: 0 0.2em; } pre { background: #f2f2f2; padding: 0.6em;"
             " overflow-x: auto; } pre code { padding: 0; }\n"
             "</style>\n</head>\n<body>\n<h1>%1</h1>\n%2<ul class=\"contents\">\n%3</ul>\n%4</body>\n</html>\n")
      .arg(title.toHtmlEscaped(), MarkdownToHtml(lead), contents, body);
}
