// The help page made from the README at build time.
#include "help_page.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

TEST(HelpPage, TheReadmesTextIsNeverMarkup) {
  const QString html = MarkdownToHtml(
      "A <script>alert(1)</script> & \"quotes\" <b>bold</b>, `x < y && <i>` and a lone ` backquote.\n"
      "\n"
      "| Key | What <it> does |\n"
      "|---|---|\n"
      "| `<` \\| `>` | a \"bar\" |\n"
      "\n"
      "```sh\n"
      "echo '<html>' && ## not a heading\n"
      "```\n");
  EXPECT_FALSE(html.contains("<script")) << html.toStdString();
  EXPECT_FALSE(html.contains("<b>"));
  EXPECT_FALSE(html.contains("<i>"));
  EXPECT_FALSE(html.contains("<it>"));
  EXPECT_TRUE(
      html.contains("<p>A &lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;quotes&quot; &lt;b&gt;bold&lt;/b&gt;, "
                    "<code>x &lt; y &amp;&amp; &lt;i&gt;</code> and a lone ` backquote.</p>"))
      << html.toStdString();
  EXPECT_TRUE(
      html.contains("<tr><th>Key</th><th>What &lt;it&gt; does</th></tr>\n"
                    "<tr><td><code>&lt;</code> | <code>&gt;</code></td><td>a &quot;bar&quot;</td></tr>"))
      << html.toStdString();
  EXPECT_TRUE(html.contains("<pre><code>echo '&lt;html&gt;' &amp;&amp; ## not a heading</code></pre>"))
      << html.toStdString();
}

TEST(HelpPage, ParagraphsListsAndHeadingsKeepTheirText) {
  const QString html = MarkdownToHtml(
      "### Two lines\n"
      "one\n"
      "two\n"
      "- first\n"
      "  item\n"
      "- second\n"
      "|not a table\n");
  EXPECT_EQ(html.toStdString(),
            "<h3 id=\"two-lines\">Two lines</h3>\n"
            "<p>one two</p>\n"
            "<ul>\n<li>first item</li>\n<li>second</li>\n</ul>\n"
            "<p>|not a table</p>\n");
}

TEST(HelpPage, TheChosenSectionsComeInTheirOrderAndAMissingOneIsNamed) {
  const QString readme =
      "# Viewer\n\nIntro text.\n\n## Building\n\nmake\n\n## Keys\n\nSpace: next.\n\n"
      "```\n## Inside a fence\n```\n\n## Starting\n\nRun it.\n";
  QStringList missing;
  const QString html = HelpPageHtml(readme, "Viewer: help", {"Starting", "Keys", "Tools"}, &missing);
  EXPECT_EQ(missing, QStringList{"Tools"});
  EXPECT_TRUE(html.contains("<title>Viewer: help</title>"));
  EXPECT_TRUE(html.contains("<p>Intro text.</p>"));
  EXPECT_FALSE(html.contains("Building"));
  EXPECT_FALSE(html.contains("make"));
  const qsizetype starting = html.indexOf("<h2 id=\"starting\">Starting</h2>");
  const qsizetype keys = html.indexOf("<h2 id=\"keys\">Keys</h2>");
  ASSERT_GE(starting, 0);
  ASSERT_GE(keys, 0);
  EXPECT_LT(starting, keys);
  EXPECT_TRUE(html.contains("<pre><code>## Inside a fence</code></pre>"));  // part of Keys, not a section
  EXPECT_TRUE(html.contains("<li><a href=\"#keys\">Keys</a></li>"));
}

// The page the build made from the real README, read by an independent parser.
TEST(HelpPage, TheBuiltPageIsValidHtmlWithTheKeyTable) {
  const QString page = QStringLiteral(VELVANE_BUILD_DIR "/res/help/index.html");
  QFile file(page);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(file.readAll());
  EXPECT_TRUE(html.contains("<h2 id=\"keys-and-commands\">Keys and commands</h2>"));
  EXPECT_TRUE(html.contains("<td>Esc</td><td>Quit</td>")) << "the hotkey table";
  EXPECT_FALSE(html.contains("Layout of the code"));
  const QString xmllint = QStandardPaths::findExecutable("xmllint");
  if (xmllint.isEmpty()) GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
  QProcess check;
  check.start(xmllint, {"--html", "--noout", page});
  ASSERT_TRUE(check.waitForFinished(30000));
  EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
  EXPECT_TRUE(check.readAllStandardError().isEmpty());
}

}  // namespace
