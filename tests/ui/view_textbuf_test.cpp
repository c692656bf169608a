// The text operations over the editor widget: CR LF counting, lines as
// displayed when long lines wrap, byte offsets for UTF-8 text, and files
// that keep every byte and their line endings through load, edit and save.
#include <QTest>
#include <QTextBlock>
#include <memory>

#include "common/recordinghost.h"
#include "framework/qttextbuf.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"
#include "zarn/ui/zrnsedtv.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

using View = zui::TZarnsEditView;

class ViewTextBufTest : public QObject {
  Q_OBJECT

  ZrnIO files_;
  RecordingHost host_;                // answers every box with OK unless told otherwise
  std::unique_ptr<ZarnContext> ctx_;  // the engine context of the views
  std::unique_ptr<View> view_;
  QtTextBuffer& Buf() { return view_->Buffer(); }
  void SetCaret(int docPos) {
    QTextCursor c = view_->textCursor();
    c.setPosition(docPos);
    view_->setTextCursor(c);
  }

 private slots:
  void initTestCase() { ctx_ = std::make_unique<ZarnContext>(host_, files_); }
  void cleanupTestCase() { ctx_.reset(); }
  void init() {
    view_ = std::make_unique<View>(*ctx_);
    view_->resize(240, 300);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
  }
  void cleanup() { view_.reset(); }

  void lineBreaksCountAsCrLf() {
    view_->setPlainText("ab\ncd\n\nef");
    QCOMPARE(Buf().GetTextLength(), 12u);
    QCOMPARE(Buf().GetText(), std::string("ab\r\ncd\r\n\r\nef"));
    QCOMPARE(Buf().GetNumLines(), 4);
    QCOMPARE(Buf().GetLineIndex(1), 4u);
    QCOMPARE(Buf().GetLineIndex(3), 10u);
    QCOMPARE(Buf().GetLineIndex(4), kNoPos);
    QCOMPARE(Buf().GetLineLength(2), 0);
    QCOMPARE(Buf().GetSubText(1, 5), std::string("b\r\nc"));
    Buf().SetSelection(5, 5);
    QCOMPARE(Buf().GetLineFromPos(), 1);
    QCOMPARE(Buf().GetLineIndex(-1), 4u);
    std::uint32_t s = 0, e = 0;
    Buf().GetSelection(s, e);
    QCOMPARE(s, 5u);
    // Deleting a line break joins the lines; the caret stays where the range began.
    Buf().DeleteSubText(2, 4);
    QCOMPARE(Buf().GetText(), std::string("abcd\r\n\r\nef"));
    Buf().GetSelection(s, e);
    QCOMPARE(s, 2u);
    QCOMPARE(e, 2u);
    // Inserting CR LF text makes new lines; the caret ends after the text.
    Buf().Insert("X\r\nY");
    QCOMPARE(Buf().GetText(), std::string("abX\r\nYcd\r\n\r\nef"));
    Buf().GetSelection(s, e);
    QCOMPARE(s, 6u);
    // Offsets past the end are clamped.
    QCOMPARE(Buf().GetSubText(12, 500), std::string("ef"));
  }

  void getLineCopiesAtMostTheBufferSize() {
    view_->setPlainText("short\n" + QString(90, 'x'));
    std::string out;
    QVERIFY(Buf().GetLine(0, 80, out));
    QCOMPARE(out, std::string("short"));
    // The long line wraps; its first displayed line is what is copied.
    view_->resize(4000, 300);
    QVERIFY(!Buf().GetLine(1, 80, out));
    QCOMPARE(out, std::string(80, 'x'));
    QVERIFY(Buf().GetLine(9, 80, out));  // past the last line: nothing
    QCOMPARE(out, std::string());
  }

  void wrappedLinesAreTheLinesAsDisplayed() {
    QString words;
    for (int i = 0; i < 40; ++i) words += QString("word%1 ").arg(i, 2, 10, QChar('0'));
    view_->setPlainText("first\n" + words.trimmed() + "\nlast");
    const int lines = Buf().GetNumLines();
    QVERIFY2(lines > 4, QByteArray::number(lines).constData());
    // The displayed lines of the long paragraph cover it without gaps.
    const std::string all = Buf().GetText();
    std::uint32_t expected = 7;  // "first" CR LF
    for (int l = 1; l < lines - 1; ++l) {
      const std::uint32_t at = Buf().GetLineIndex(l);
      QCOMPARE(at, expected);
      std::string text;
      Buf().GetLine(l, 400, text);
      QCOMPARE(static_cast<int>(text.size()), Buf().GetLineLength(l));
      QCOMPARE(all.substr(at, text.size()), text);
      expected = at + static_cast<std::uint32_t>(text.size());
      QVERIFY(text.rfind("word", 0) == 0);  // wrapped at a word boundary
    }
    QCOMPARE(Buf().GetLineIndex(lines - 1), expected + 2);
    // The caret on the second displayed line of the paragraph.
    const std::uint32_t second = Buf().GetLineIndex(2);
    Buf().SetSelection(second + 2, second + 2);
    QCOMPARE(Buf().GetLineFromPos(), 2);
    QCOMPARE(Buf().GetLineIndex(-1), second);
    // A zarn capture sees only that displayed line.
    view_->Core().DoToken();
    QCOMPARE(view_->Core().LineStart(), second);
    std::string line;
    Buf().GetLine(2, 80, line);
    QCOMPARE(view_->Core().TokPtr.front(), line.substr(0, line.find(' ')));
    QVERIFY(view_->Core().TokPtr.size() < 40);
    // Wider window, fewer lines.
    view_->resize(6000, 300);
    QCOMPARE(Buf().GetNumLines(), 3);
  }

  void linesStayRightThroughEditsAndResizes() {
    QString text;
    for (int i = 0; i < 30; ++i) text += QString("line %1 short\n").arg(i);
    view_->setPlainText(text);
    // The same questions asked of a buffer that has seen nothing before.
    auto same = [this] {
      QtTextBuffer fresh(view_.get());
      if (fresh.GetNumLines() != Buf().GetNumLines()) return false;
      for (int l = 0; l < fresh.GetNumLines(); ++l)
        if (fresh.GetLineIndex(l) != Buf().GetLineIndex(l)) return false;
      for (int p = 0; p < view_->document()->characterCount(); p += 7) {
        SetCaret(p);
        if (fresh.GetLineFromPos() != Buf().GetLineFromPos()) return false;
      }
      return true;
    };
    QVERIFY(same());
    // A block in the middle grows over several displayed lines.
    QTextCursor c(view_->document()->findBlockByNumber(10));
    c.insertText(QString("many more words ").repeated(20));
    QVERIFY(same());
    // A line break removed near the top.
    c = QTextCursor(view_->document()->findBlockByNumber(2));
    c.movePosition(QTextCursor::EndOfBlock);
    c.deleteChar();
    QVERIFY(same());
    view_->resize(500, 300);
    QVERIFY(same());
    view_->setFont(QFont("Tahoma", 14));
    QVERIFY(same());
  }

  void zarnOnTheSecondDisplayedLine() {
    view_->setPlainText("aaaa bbbb cccc dddd eeee ffff gggg hhhh 3 + 4");
    // A width at which the expression starts the last displayed line.
    std::string last;
    for (int w = 80; w < 600; w += 2) {
      view_->resize(w, 300);
      Buf().GetLine(Buf().GetNumLines() - 1, 80, last);
      if (last == "3 + 4") break;
    }
    QCOMPARE(last, std::string("3 + 4"));
    QTextCursor c = view_->textCursor();
    c.movePosition(QTextCursor::End);
    view_->setTextCursor(c);
    QVERIFY(view_->HandleCommand(293));
    QCOMPARE(Buf().GetText(), std::string("aaaa bbbb cccc dddd eeee ffff gggg hhhh 7 "));
    // With "+ 4" alone on the last displayed line, the "3" above is not seen:
    // the operator reads 0 + 4.
    view_->setPlainText("aaaa bbbb cccc dddd eeee ffff gggg hhhh 3 + 4");
    for (int w = 80; w < 600; w += 2) {
      view_->resize(w, 300);
      Buf().GetLine(Buf().GetNumLines() - 1, 80, last);
      if (last == "+ 4") break;
    }
    if (last == "+ 4") {
      c.movePosition(QTextCursor::End);
      view_->setTextCursor(c);
      QVERIFY(view_->HandleCommand(293));
      QCOMPARE(Buf().GetText(), std::string("aaaa bbbb cccc dddd eeee ffff gggg hhhh 3 + 44 "));
    }
  }

  void utf8OffsetsCountBytes() {
    view_->setPlainText(QString::fromUtf8("h\xc3\xa9llo w\xc3\xb6rld \xf0\x9f\x98\x80 end"));
    QCOMPARE(Buf().GetText(), std::string("h\xc3\xa9llo w\xc3\xb6rld \xf0\x9f\x98\x80 end"));
    QCOMPARE(Buf().GetTextLength(), 22u);
    Buf().SetSelection(7, 13);
    QCOMPARE(view_->textCursor().selectedText(), QString::fromUtf8("w\xc3\xb6rld"));
    for (int p = 0; p <= view_->document()->characterCount() - 1; ++p) {
      if (p == 13) continue;  // between the halves of the emoji's surrogate pair
      QCOMPARE(Buf().ToDocPos(Buf().ToOffset(p)), p);
    }
    // An offset inside a multi-byte character goes to the character's start.
    QCOMPARE(Buf().ToDocPos(2), 1);
    // A zarn on a UTF-8 line keeps the other characters intact.
    view_->setPlainText(QString::fromUtf8("caf\xc3\xa9 3 + 4"));
    SetCaret(view_->document()->characterCount() - 1);
    QVERIFY(view_->HandleCommand(293));
    QCOMPARE(Buf().GetText(), std::string("caf\xc3\xa9 7 "));
  }

  void nonUtf8FileKeepsEveryByte() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
      if (i != '\r' && i != '\n') bytes += static_cast<char>(i);
    bytes += "\r\nsecond line 3 + 4\r\n\xff\xfe end\r\n";
    const std::string path = uitest::FreshDir("latin") + "bytes.txt";
    WriteFile(path, bytes);
    QString error;
    QVERIFY(view_->LoadFile(QString::fromStdString(path), &error));
    QCOMPARE(Buf().Encoding(), TextEncoding::Latin1);
    QCOMPARE(view_->DocumentBytes(), bytes);
    // Saved without edits: the same bytes.
    QVERIFY(view_->SaveFile(QString(), &error));
    QCOMPARE(Slurp(path), bytes);
    // An edit through a zarn and a typed character; every other byte stays.
    view_->setFocus();
    Buf().SetSelection(0, 0);
    Buf().Insert("X");
    QTextCursor c(view_->document()->findBlockByNumber(1));
    c.movePosition(QTextCursor::EndOfBlock);
    view_->setTextCursor(c);
    QVERIFY(view_->HandleCommand(293));
    QVERIFY(view_->SaveFile(QString(), &error));
    std::string want = bytes;
    want.insert(0, "X");
    want.replace(want.find("3 + 4"), 5, "7 ");
    QCOMPARE(Slurp(path), want);
    // Loading it again shows the same bytes.
    View again(*ctx_);
    QVERIFY(again.LoadFile(QString::fromStdString(path)));
    QCOMPARE(again.DocumentBytes(), want);
  }

  void latin1FileAsksBeforeLosingACharacter() {
    const std::string path = uitest::FreshDir("euro") + "prices.txt";
    WriteFile(path,
              "price \xa3"
              "5\n");
    QVERIFY(view_->LoadFile(QString::fromStdString(path)));
    QCOMPARE(Buf().Encoding(), TextEncoding::Latin1);
    QTextCursor c = view_->textCursor();
    c.movePosition(QTextCursor::End);
    c.insertText(QString::fromUtf8("\xe2\x82\xac"));  // the euro sign has no Latin-1 byte
    RecordingHost& rec = host_;                       // the view's boxes go to its context's host
    rec.boxes.clear();
    rec.answers = {IDCANCEL, IDOK};
    QString error;
    QVERIFY(!view_->SaveFile(QString(), &error));
    QCOMPARE(Slurp(path), std::string("price \xa3"
                                      "5\n"));
    QVERIFY(view_->SaveFile(QString(), &error));
    QCOMPARE(rec.boxes.size(), std::size_t(2));
    QCOMPARE(Slurp(path), std::string("price \xa3"
                                      "5\n?"));
  }

  void lineEndingsSurviveEditAndSave() {
    const std::string dir = uitest::FreshDir("endings");
    for (const std::string& nl : {std::string("\n"), std::string("\r\n")}) {
      const std::string path = dir + (nl == "\n" ? "lf.txt" : "crlf.txt");
      WriteFile(path, "one" + nl + "2 * 21" + nl + "three" + nl);
      QVERIFY(view_->LoadFile(QString::fromStdString(path)));
      QCOMPARE(Buf().Encoding(), TextEncoding::Utf8);
      QTextCursor c(view_->document()->findBlockByNumber(1));
      c.movePosition(QTextCursor::EndOfBlock);
      view_->setTextCursor(c);
      QVERIFY(view_->HandleCommand(293));
      QVERIFY(view_->SaveFile());
      QCOMPARE(Slurp(path), "one" + nl + "42 " + nl + "three" + nl);
    }
    // A failed save leaves the file as it was and says so.
    QString error;
    QVERIFY(!view_->SaveFile(QString::fromStdString(dir + "missing-dir/x.txt"), &error));
    QVERIFY(!error.isEmpty());
    // A file that cannot be read is refused.
    QVERIFY(!view_->LoadFile(QString::fromStdString(dir + "nothing-here.txt"), &error));
  }
};

ZARNS_UI_TEST_MAIN(ViewTextBufTest)
#include "view_textbuf_test.moc"
