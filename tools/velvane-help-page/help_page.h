#pragma once

// The help page that ships with the viewer, made at build time from the
// README's sections for users. Only what the README uses is understood:
// headings, paragraphs, lists, pipe tables, fenced code blocks and `code`
// spans. Every character of the README reaches the page as text (HTML
// special characters escaped), never as markup.

#include <QString>
#include <QStringList>

// The page: its title, the README's opening paragraph, a list of the
// sections, then each section named in sections (the "## " headings), in
// that order. missing receives the names the README does not have.
QString HelpPageHtml(const QString& markdown, const QString& title, const QStringList& sections, QStringList* missing);

// One block of Markdown as HTML (exposed for tests).
QString MarkdownToHtml(const QString& markdown);
