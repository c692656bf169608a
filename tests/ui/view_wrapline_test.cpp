// The displayed line of the caret in long documents: asked before anything
// else is laid out, the answers must be those of laying out every line
// (wrapped and unwrapped lines, tabs, other scripts, several widths and
// fonts), and a document of short lines must not be laid out whole to get
// them.
#include <QAbstractTextDocumentLayout>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <memory>
#include <random>

#include "common/recordinghost.h"
#include "framework/qttextbuf.h"
#include "store/zrnio.h"
#include "zarn/ui/zrnsedtv.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

using View = zui::TZarnsEditView;

namespace {

// Lines of every kind a wrapping view meets, each length from 0 to 160
// among the plain ones so that some sit right at the edge of a line.
QString MixedDocument(int lines, unsigned seed) {
  std::mt19937 rng(seed);
  QStringList out;
  for (int i = 0; i < lines; ++i) {
    const int kind = static_cast<int>(rng() % 9);
    const int len = static_cast<int>(rng() % 161);
    QString s;
    switch (kind) {
      case 0: s = QString(); break;
      case 1:  // one long word: wraps anywhere
        s = QString(len, QLatin1Char('m'));
        break;
      case 2:
        s = QStringLiteral("\tindented\tby\ttabs ") + QString(len / 3, QLatin1Char('t'));
        break;
      case 3:
        s = QString::fromUtf8("caf\xc3\xa9 \xe6\xbc\xa2\xe5\xad\x97 \xf0\x9f\x98\x80 ")
                .repeated(1 + len / 20);
        break;
      case 4:
        s = QStringLiteral("word") + QString(len, QLatin1Char(' '));
        break;  // trailing blanks
      default:
        for (int k = 0; s.size() < len; ++k) s += QStringLiteral("w%1 ").arg(rng() % 1000);
        s.truncate(len);
    }
    out << s;
  }
  return out.join(QLatin1Char('\n'));
}

}  // namespace

class ViewWrapLineTest : public QObject {
  Q_OBJECT

  ZrnIO files_;
  RecordingHost host_;
  std::unique_ptr<ZarnContext> ctx_;

  // A fresh view of `text`, `width` pixels wide, shown at its top.
  std::unique_ptr<View> Make(const QString& text, int width, int pointSize = 0) {
    auto v = std::make_unique<View>(*ctx_);
    if (pointSize > 0) {
      QFont f = v->font();
      f.setPointSize(pointSize);
      v->setFont(f);
    }
    v->resize(width, 300);
    v->show();
    if (!QTest::qWaitForWindowExposed(v.get())) return nullptr;
    v->setPlainText(text);
    QCoreApplication::processEvents();
    return v;
  }
  static void SetCaret(View& v, int docPos) {
    QTextCursor c = v.textCursor();
    c.setPosition(docPos);
    v.setTextCursor(c);
  }
  // The displayed line of each position and the displayed lines' starts,
  // laying out every block as the answer once was found.
  struct Reference {
    std::vector<int> firstLine;  // per block
    int total = 0;
  };
  static Reference LayOutAll(View& v) {
    Reference r;
    QTextDocument* doc = v.document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      doc->documentLayout()->blockBoundingRect(b);
      r.firstLine.push_back(r.total);
      r.total += std::max(1, b.layout()->lineCount());
    }
    return r;
  }
  static int LineOf(View& v, const Reference& r, int docPos) {
    const QTextBlock b = v.document()->findBlock(docPos);
    const QTextLayout* tl = b.layout();
    int within = 0;
    for (int i = tl->lineCount() - 1; i >= 0; --i)
      if (tl->lineAt(i).textStart() <= docPos - b.position()) {
        within = i;
        break;
      }
    return r.firstLine[static_cast<std::size_t>(b.blockNumber())] + within;
  }

 private slots:
  void initTestCase() { ctx_ = std::make_unique<ZarnContext>(host_, files_); }
  void cleanupTestCase() { ctx_.reset(); }

  void caretLineMatchesAFullLayout_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<unsigned>("seed");
    QTest::newRow("narrow") << 150 << 0 << 1u;
    QTest::newRow("odd width") << 333 << 0 << 2u;
    QTest::newRow("medium") << 640 << 0 << 3u;
    QTest::newRow("wide") << 1200 << 0 << 4u;
    QTest::newRow("large font") << 500 << 22 << 5u;
    QTest::newRow("small font") << 420 << 7 << 6u;
  }
  void caretLineMatchesAFullLayout() {
    QFETCH(int, width);
    QFETCH(int, pointSize);
    QFETCH(unsigned, seed);
    const QString text = MixedDocument(400, seed);
    auto v = Make(text, width, pointSize);
    QVERIFY(v);
    QtTextBuffer& buf = v->Buffer();
    // Asked first, with only what is shown laid out: positions far down,
    // at line starts, inside wrapped lines and at the very end.
    std::mt19937 rng(seed);
    std::vector<int> positions = {0, static_cast<int>(text.size())};
    for (int i = 0; i < 40; ++i) positions.push_back(static_cast<int>(rng() % (text.size() + 1)));
    std::vector<int> lines;
    std::vector<std::uint32_t> starts;
    std::vector<std::string> texts;
    for (int p : positions) {
      SetCaret(*v, p);
      lines.push_back(buf.GetLineFromPos());
      starts.push_back(buf.GetLineIndex(-1));
      std::string line;
      buf.GetLine(-1, 400, line);
      texts.push_back(line);
    }
    const int numLines = buf.GetNumLines();

    const Reference r = LayOutAll(*v);
    QCOMPARE(numLines, r.total);
    QVERIFY2(r.total > 400, "some lines wrap");
    // Byte offsets of the blocks, counted block by block here.
    std::vector<std::uint32_t> blockBytes;
    std::uint32_t bytes = 0;
    for (QTextBlock b = v->document()->begin(); b.isValid(); b = b.next()) {
      blockBytes.push_back(bytes);
      bytes += static_cast<std::uint32_t>(b.text().toUtf8().size()) + 2;
    }
    for (std::size_t i = 0; i < positions.size(); ++i) {
      QCOMPARE(lines[i], LineOf(*v, r, positions[i]));
      const QTextBlock b = v->document()->findBlock(positions[i]);
      const QTextLayout* tl = b.layout();
      int lineStart = 0;
      for (int k = 0; k < tl->lineCount(); ++k)
        if (tl->lineAt(k).textStart() <= positions[i] - b.position())
          lineStart = tl->lineAt(k).textStart();
      QCOMPARE(starts[i], blockBytes[static_cast<std::size_t>(b.blockNumber())] +
                              static_cast<std::uint32_t>(b.text().left(lineStart).toUtf8().size()));
      // The same line found again from its number, everything laid out now.
      QCOMPARE(starts[i], buf.GetLineIndex(lines[i]));
      std::string again;
      buf.GetLine(lines[i], 400, again);
      QCOMPARE(texts[i], again);
    }
  }

  void aResizeOrEditIsFollowed() {
    const QString text = MixedDocument(300, 9);
    auto v = Make(text, 700);
    QVERIFY(v);
    QtTextBuffer& buf = v->Buffer();
    SetCaret(*v, static_cast<int>(text.size()));
    const int wide = buf.GetLineFromPos();
    v->resize(260, 300);
    QCoreApplication::processEvents();
    const int narrow = buf.GetLineFromPos();
    QVERIFY(narrow > wide);
    // An edit near the top that makes a line wrap moves the caret's line down.
    QTextCursor c(v->document());
    c.insertText(QString(300, QLatin1Char('z')));
    SetCaret(*v, static_cast<int>(v->document()->characterCount()) - 1);
    const int edited = buf.GetLineFromPos();
    const Reference r = LayOutAll(*v);
    QCOMPARE(edited, LineOf(*v, r, v->document()->characterCount() - 1));
    QVERIFY(edited > narrow);
  }

  void caretLineWithoutNumberingTheLinesAbove() {
    // One line in eight wraps at 600 pixels; the caret on the last line.
    QStringList l;
    for (int i = 0; i < 20000; ++i)
      l << (i % 8 == 7 ? QStringLiteral("a long line of many words ").repeated(12)
                       : QStringLiteral("line %1").arg(i));
    l << QStringLiteral("quorble fendix matrop");
    const QString text = l.join(QLatin1Char('\n'));
    auto v = Make(text, 600);
    QVERIFY(v);
    v->moveCursor(QTextCursor::End);
    ::TZarnsEditView& core = v->Core();
    core.DoToken();
    QCOMPARE(core.zarn, std::string("matrop"));
    QtTextBuffer& buf = v->Buffer();
    const std::uint32_t lastLine = buf.GetTextLength() - 21;
    QCOMPARE(core.LineStart(), lastLine);
    // The wrapping lines above were not laid out to find it.
    int laidOut = 0;
    for (QTextBlock b = v->document()->begin(); b.isValid(); b = b.next())
      if (b.layout() && b.layout()->lineCount() > 0) ++laidOut;
    QVERIFY2(laidOut < 200, qPrintable(QString::number(laidOut)));

    // The caret's line asked as such and by its number agree, also inside
    // wrapped lines, and so does the line found by any of its offsets.
    std::mt19937 rng(3);
    for (int k = 0; k < 60; ++k) {
      const int p = static_cast<int>(rng() % (text.size() + 1));
      SetCaret(*v, p);
      const std::uint32_t at = buf.GetLineIndex(-1);
      std::string byCaret, byNumber;
      buf.GetLine(-1, 400, byCaret);
      const int len = buf.GetLineLength(-1);
      const std::uint32_t offset = buf.ToOffset(p);
      QCOMPARE(buf.GetLineLengthAt(offset), len);
      QCOMPARE(buf.GetLineLengthAt(at), len);
      const int n = buf.GetLineFromPos();
      QCOMPARE(buf.GetLineIndex(n), at);
      buf.GetLine(n, 400, byNumber);
      QCOMPARE(byCaret, byNumber);
      QCOMPARE(buf.GetLineLength(n), len);
    }
  }

  void shortLinesAreNotAllLaidOut() {
    // 20,000 lines of at most 30 characters: none can wrap at 600 pixels.
    QStringList l;
    for (int i = 0; i < 20000; ++i) l << QStringLiteral("line %1 of short words").arg(i);
    auto v = Make(l.join(QLatin1Char('\n')), 600);
    QVERIFY(v);
    v->moveCursor(QTextCursor::End);
    QCOMPARE(v->Buffer().GetLineFromPos(), 19999);
    QCOMPARE(v->Buffer().GetNumLines(), 20000);
    int laidOut = 0;
    for (QTextBlock b = v->document()->begin(); b.isValid(); b = b.next())
      if (b.layout() && b.layout()->lineCount() > 0) ++laidOut;
    QVERIFY2(laidOut < 200, qPrintable(QString::number(laidOut)));
  }
};

QTEST_MAIN(ViewWrapLineTest)
#include "view_wrapline_test.moc"
