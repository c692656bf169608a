// The help pages shipped inside the program: every link leads to a page,
// every page is in the contents, and every command's page tells the user
// something real - more than a line, how to reach the command (its menu
// path, its keys, its tool-bar button) and no stale one-liner.
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <functional>
#include <map>

#include "shell/ui/zarnscmd.h"
#include "shell/ui/zrnshelp.h"
#include "ui/support/uitest.h"

namespace {

const QString kHelp = QStringLiteral(":/help/");

QString Read(const QString& page) {
  QFile f(kHelp + page);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

// The relative links of a page, without fragments.
QStringList Links(const QString& html) {
  static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
  QStringList out;
  for (auto it = href.globalMatch(html); it.hasNext();) {
    QString target = it.next().captured(1);
    target = target.section(QLatin1Char('#'), 0, 0);
    if (!target.isEmpty()) out << target;
  }
  return out;
}

// The text of a page's body below its heading, without the closing link
// back to the contents: what the page says about its topic.
QString BodyText(const QString& html) {
  QTextDocument doc;
  doc.setHtml(html);
  QStringList lines;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    const QString t = b.text().trimmed();
    if (!t.isEmpty()) lines << t;
  }
  if (!lines.isEmpty()) lines.removeFirst();  // the heading
  if (!lines.isEmpty() && lines.last() == QLatin1String("Contents")) lines.removeLast();
  return lines.join(QLatin1Char('\n'));
}

QString Title(const QString& html) {
  static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"));
  return title.match(html).captured(1);
}

QString Heading(const QString& html) {
  static const QRegularExpression h1(QStringLiteral("<h1>([^<]*)</h1>"));
  return h1.match(html).captured(1);
}

QString Plain(QString menuText) {
  menuText.remove(QLatin1Char('&'));
  return menuText.trimmed();
}

// "File > Print Setup" for each menu command: the way a page names where
// the command is.
std::map<int, QString> MenuPaths() {
  std::map<int, QString> out;
  std::function<void(const std::vector<zcmd::MenuItem>&, const QString&)> walk =
      [&](const std::vector<zcmd::MenuItem>& items, const QString& path) {
        for (const auto& m : items) {
          if (m.kind == zcmd::MenuItem::Popup)
            walk(m.items, path.isEmpty() ? Plain(m.text) : path + " > " + Plain(m.text));
          else if (m.kind == zcmd::MenuItem::Command)
            out[m.id] = path + " > " + zcmd::ToolTip(m.id);
        }
      };
  walk(zcmd::MainMenu(), QString());
  return out;
}

// A key as the pages write it: "Ctrl+Enter", "Shift+Ins", "Alt+Backspace".
QString KeyText(const QKeySequence& key) {
  QString s = key.toString(QKeySequence::PortableText);
  s.replace(QStringLiteral("Return"), QStringLiteral("Enter"));
  return s;
}

}  // namespace

class HelpPagesTest : public QObject {
  Q_OBJECT

  QStringList pages_;

 private slots:
  void initTestCase() {
    InitShellResources();
    pages_ = QDir(kHelp).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    QVERIFY(pages_.contains(QStringLiteral("contents.html")));
    QVERIFY(pages_.size() > 60);
  }

  void everyLinkLeadsToAPage() {
    for (const QString& page : pages_) {
      for (const QString& target : Links(Read(page)))
        QVERIFY2(QFile::exists(kHelp + target), qPrintable(page + " links to " + target));
    }
  }

  void everyPageIsInTheContents() {
    const QSet<QString> listed = [] {
      const QStringList l = Links(Read(QStringLiteral("contents.html")));
      return QSet<QString>(l.begin(), l.end());
    }();
    for (const QString& page : pages_) {
      if (page == QLatin1String("contents.html")) continue;
      QVERIFY2(listed.contains(page), qPrintable(page + " is not in the contents"));
    }
  }

  void everyPageIsTitledAndLeadsBack() {
    for (const QString& page : pages_) {
      const QString html = Read(page);
      QVERIFY2(!Title(html).isEmpty(), qPrintable(page));
      QCOMPARE(Heading(html), Title(html));
      if (page != QLatin1String("contents.html"))
        QVERIFY2(Links(html).contains(QStringLiteral("contents.html")), qPrintable(page));
    }
  }

  // Every topic the contents lists, and every command's topic, says more
  // than a line: at least two paragraphs (what it does, and how or an
  // example) of some length.
  void everyTopicSaysMoreThanALine() {
    QStringList topics = Links(Read(QStringLiteral("contents.html")));
    for (int id : zcmd::AllCommands()) topics << QStringLiteral("%1.html").arg(id);
    topics.removeDuplicates();
    for (const QString& page : topics) {
      const QString body = BodyText(Read(page));
      QVERIFY2(body.count(QLatin1Char('\n')) >= 1, qPrintable(page + ": one line only"));
      QVERIFY2(body.size() >= 300,
               qPrintable(page + QStringLiteral(": %1 characters only").arg(body.size())));
    }
  }

  // A menu command's page names its menu path; a command with keys names
  // them; a tool-bar command says it is on the tool bar.
  void commandPagesSayHowToReachTheCommand() {
    const std::map<int, QString> paths = MenuPaths();
    for (const auto& [id, path] : paths) {
      const QString body = BodyText(Read(QStringLiteral("%1.html").arg(id)));
      QVERIFY2(body.contains(path),
               qPrintable(QStringLiteral("%1.html lacks \"%2\"").arg(id).arg(path)));
    }
    for (const zcmd::Accel& a : zcmd::Accelerators()) {
      const QString body = BodyText(Read(QStringLiteral("%1.html").arg(a.id)));
      QVERIFY2(body.contains(KeyText(a.key)),
               qPrintable(QStringLiteral("%1.html lacks %2").arg(a.id).arg(KeyText(a.key))));
    }
    for (const zcmd::Gadget& g : zcmd::Gadgets()) {
      if (g.id == 0) continue;
      const QString body = BodyText(Read(QStringLiteral("%1.html").arg(g.id)));
      QVERIFY2(body.contains(QStringLiteral("tool bar")),
               qPrintable(QStringLiteral("%1.html does not mention the tool bar").arg(g.id)));
    }
  }

  // Each dialog's Help button shows a page of that dialog, not the contents.
  void dialogHelpButtonsHaveTheirOwnPages() {
    // Cataloging, Contact Manager, Find results, Preferences, progress.
    for (int id : {6, 18, 193, 2217, 15}) {
      QVERIFY2(!HelpTopicPath(id).isEmpty(), qPrintable(QString::number(id)));
      QVERIFY(ShowHelpContext(id));
      QCOMPARE(HelpWindow()->CurrentPage(), HelpTopicPath(id));
    }
    QuitHelp();
  }
};

ZARNS_UI_TEST_MAIN(HelpPagesTest)
#include "help_pages_test.moc"
