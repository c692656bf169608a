// The editor view widget: zarn runs from the command, the key chords and the
// double click; the tool-bar built-ins; the Find results for an unknown word;
// copy and paste through the clip menu; the current view following the focus.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "catalog/buildprogress.h"
#include "catalog/ui/zrnmtchd.h"
#include "catalog/zrnwcat.h"
#include "common/recordinghost.h"
#include "framework/uihooks.h"
#include "platform/pclock.h"
#include "platform/plauncher.h"
#include "shell/ui/qthost.h"
#include "store/zrnio.h"
#include "store/zrnlvl.h"
#include "ui/support/uitest.h"
#include "zarn/ui/zrnsedtv.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

using View = zui::TZarnsEditView;

class ViewEditorTest : public QObject {
  Q_OBJECT

  ZrnIO files_;
  QtHost host_{files_};
  std::unique_ptr<ZarnContext> ctx_;  // the engine context of the views
  std::unique_ptr<QWidget> win_;
  View* view_ = nullptr;

  // The view's text with CR LF breaks, as the zarns see it.
  std::string Text() const { return view_->Buffer().GetText(); }
  void SetText(const QString& text, int caret) {
    view_->setPlainText(text);
    QTextCursor c = view_->textCursor();
    c.setPosition(caret);
    view_->setTextCursor(c);
  }
  void CaretAtEnd() {
    QTextCursor c = view_->textCursor();
    c.movePosition(QTextCursor::End);
    view_->setTextCursor(c);
  }

 private slots:
  void initTestCase() {
    ctx_ = std::make_unique<ZarnContext>(host_, files_);
    host_.SetZarnContext(ctx_.get());  // as the application does
    uitest::InstallModalGuard();
    win_ = std::make_unique<QWidget>();
    auto* lay = new QVBoxLayout(win_.get());
    view_ = new View(*ctx_, win_.get());
    lay->addWidget(view_);
    win_->resize(500, 300);
    win_->show();
    win_->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(win_.get()));
    view_->setFocus();
  }

  void cleanupTestCase() {
    win_.reset();
    ctx_.reset();
  }

  void runZarnCommandEvaluatesTheExpression() {
    SetText("3 + 4", 5);
    QVERIFY(view_->HandleCommand(21));
    QCOMPARE(Text(), std::string("7 "));
    QCOMPARE(ctx_->CurrentView, &view_->Core());
  }

  void altEnterRunsTheZarnWithoutANewLine() {
    SetText("3 + 4", 5);
    QTest::keyClick(view_, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(Text(), std::string("7 "));
    QCOMPARE(view_->document()->blockCount(), 1);
    // A plain Enter still breaks the line and runs nothing.
    SetText("3 + 4", 5);
    QTest::keyClick(view_, Qt::Key_Return);
    QCOMPARE(Text(), std::string("3 + 4\r\n"));
  }

  void altShiftRunsTheZarnOncePerPress() {
    SetText("10 / 4", 6);
    QTest::keyPress(view_, Qt::Key_Shift, Qt::AltModifier);
    QTest::keyRelease(view_, Qt::Key_Shift, Qt::AltModifier);
    QCOMPARE(Text(), std::string("2.5 "));
    // An auto-repeat of Shift changes nothing more.
    SetText("1 + 1", 5);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Shift, Qt::AltModifier | Qt::ShiftModifier,
                     QString(), true);
    QApplication::sendEvent(view_, &repeat);
    QCOMPARE(Text(), std::string("1 + 1"));
  }

  void doubleClickRunsTheZarnBeforeSelectingTheWord() {
    SetText("3 + 4", 0);
    // Double click on the "4": the run rewrites the line, then the word
    // under the click is selected.
    QTextCursor at4(view_->document());
    at4.setPosition(4);
    const QPoint p = view_->cursorRect(at4).center() + QPoint(2, 0);
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseDClick(view_->viewport(), Qt::LeftButton, Qt::NoModifier, p);
    QCOMPARE(Text(), std::string("7 "));
  }

  void calculatorCommand() {
    SetText("total 3 + 4", 11);
    QVERIFY(view_->HandleCommand(293));
    QCOMPARE(Text(), std::string("total 7 "));
    SetText("1,000 * 2", 9);
    QVERIFY(view_->HandleCommand(293));
    QCOMPARE(Text(), std::string("2000 "));
  }

  void sortCommandSortsTheLinesAboveTheCaret() {
    SetText("pear\nApple\napple\nsort", 0);
    CaretAtEnd();
    QVERIFY(view_->HandleCommand(263));
    QCOMPARE(Text(), std::string("Apple\r\napple\r\npear\r\nsort"));
  }

  void insertDateReplacesTheWordAtTheCaret() {
    plat::SetClockForTest([] {
      plat::LocalTime t;
      t.year = 2026;
      t.month = 12;
      t.day = 6;
      t.hour = 10;
      t.minute = 59;
      t.second = 58;
      t.milliseconds = 900;
      return t;
    });
    SetText("date", 4);
    QVERIFY(view_->HandleCommand(264));
    QCOMPARE(Text(), std::string("December 6, 2026 "));
    plat::SetClockForTest(nullptr);
  }

  void insertTimeWritesStartAndLaps() {
    int ms = 0;
    plat::SetClockForTest([&ms] {
      plat::LocalTime t;
      t.year = 2026;
      t.month = 12;
      t.day = 6;
      t.hour = 10;
      t.minute = 59;
      t.second = 58;
      t.milliseconds = 900;
      const int total = t.milliseconds + ms;
      t.milliseconds = total % 1000;
      t.second += total / 1000;
      t.minute += t.second / 60;
      t.second %= 60;
      t.hour += t.minute / 60;
      t.minute %= 60;
      return t;
    });
    QVERIFY(view_->HandleCommand(266));  // a fresh stopwatch
    SetText("", 0);
    QVERIFY(view_->HandleCommand(265));
    QCOMPARE(Text(), std::string("\r\n10:59:58 \r\n"));
    ms = 2200;
    QVERIFY(view_->HandleCommand(265));
    const std::string text = Text();
    QVERIFY2(text.find("Lap#   LapTime    CumulativeTime ") != std::string::npos, text.c_str());
    QVERIFY2(text.find("01   00:00:02:0200   00:00:02:0200 ") != std::string::npos, text.c_str());
    QVERIFY(view_->HandleCommand(266));
    plat::SetClockForTest(nullptr);
  }

  void unknownWordOpensFindResultsWithTheCatalogHits() {
    // A tiny catalog: two files hold "zebra", one does not.
    const std::string dir = uitest::FreshDir("cat");
    WriteFile(dir + "one.txt", "the zebra grazes\n");
    WriteFile(dir + "two.txt", "a zebra and a lion\n");
    WriteFile(dir + "three.txt", "only lions here\n");
    const std::string mime = uitest::Root() + "mime.types";
    WriteFile(mime, "text/plain\t\t\ttxt\n");
    setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
    {
      WordCat builder(files_);
      SilentProgress quiet;
      builder.CreateWordCatalog(&quiet, {dir});
    }
    SetText("zebra", 5);
    QStringList listed;
    QString words;
    uitest::OnNextModal([&](QWidget* w) {
      auto* dlg = qobject_cast<ShowMatchDlg*>(w);
      if (dlg) {
        auto* list = uitest::ById<QListWidget>(dlg, 172);
        for (int i = 0; list && i < list->count(); ++i) listed << list->item(i)->text();
        if (auto* e = uitest::ById<QLineEdit>(dlg, 171)) words = e->text();
      }
      w->close();
    });
    QVERIFY(view_->HandleCommand(21));
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(listed, (QStringList{"one.txt", "two.txt"}));
    QCOMPARE(words, QString("zebra"));
    QCOMPARE(Text(), std::string("zebra"));  // the text is unchanged
  }

  void copyThreeSelectionsThenPasteTheSecond() {
    QVERIFY(view_->PasteMenu()->actions().isEmpty());
    SetText("alpha beta\ngamma", 0);
    const std::pair<int, int> sels[] = {{0, 5}, {6, 10}, {0, 16}};
    for (auto [s, e] : sels) {
      view_->Buffer().SetSelection(static_cast<std::uint32_t>(s),
                                   static_cast<std::uint32_t>(e > 10 ? e + 1 : e));
      QVERIFY(view_->HandleCommand(24323));
    }
    const QList<QAction*> items = view_->PasteMenu()->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QString("alpha"));
    QCOMPARE(items[1]->text(), QString("beta"));
    // The line feed of a two-line clip shows as a blank; the CR stays.
    QCOMPARE(items[2]->text(), QString("alpha beta\r gamma"));
    QCOMPARE(items[0]->data().toInt(), 10001);
    QCOMPARE(items[1]->data().toInt(), 10002);
    QCOMPARE(items[2]->data().toInt(), 10003);

    // Paste shows the three clips in copy order; the second replaces the
    // selection. Before any right click the menu opens near the view's origin.
    SetText("one two three", 0);
    view_->Buffer().SetSelection(4, 7);
    QStringList shown;
    QCOMPARE(view_->PopPoint(), QPoint(0, 0));
    uitest::OnNextModal([&](QWidget* w) {
      QCOMPARE(w->pos(), view_->viewport()->mapToGlobal(QPoint(20, 20)));
      auto* menu = qobject_cast<QMenu*>(w);
      QVERIFY(menu);
      for (QAction* a : menu->actions()) shown << a->text();
      QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                        menu->actionGeometry(menu->actions().at(1)).center());
    });
    QVERIFY(view_->HandleCommand(24324));
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(shown, (QStringList{"alpha", "beta", "alpha beta\r gamma"}));
    QCOMPARE(Text(), std::string("one beta three"));
  }

  void keyboardCopyAndPasteUseTheClips() {
    const int before = static_cast<int>(view_->PasteMenu()->actions().size());
    SetText("delta epsilon", 0);
    view_->Buffer().SetSelection(6, 13);
    QTest::keyClick(view_, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(static_cast<int>(view_->PasteMenu()->actions().size()), before + 1);
    QCOMPARE(view_->PasteMenu()->actions().last()->text(), QString("epsilon"));
    // Ctrl+V shows the clip menu; the last clip replaces the selection.
    view_->Buffer().SetSelection(0, 5);
    uitest::OnNextModal([](QWidget* w) {
      auto* menu = qobject_cast<QMenu*>(w);
      QVERIFY(menu);
      QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                        menu->actionGeometry(menu->actions().last()).center());
    });
    QTest::keyClick(view_, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(Text(), std::string("epsilon epsilon"));
  }

  void pasteMenuShowsTheClipsOfTheViewsContext() {
    // A second view of the same context offers the same clips; a view of
    // another context offers its own.
    View same(*ctx_);
    QCOMPARE(same.PasteMenu()->actions().size(), view_->PasteMenu()->actions().size());
    RecordingHost rec;
    ZarnContext other(rec, files_);
    View apart(other);
    QVERIFY(apart.PasteMenu()->actions().isEmpty());
    apart.setPlainText("kiwi & lime");
    apart.Buffer().SetSelection(0, 11);
    QVERIFY(apart.HandleCommand(24323));
    const QList<QAction*> items = apart.PasteMenu()->actions();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0]->text(), QString("kiwi && lime"));  // '&' is no mnemonic
    QCOMPARE(items[0]->data().toInt(), 10001);
    QVERIFY(!same.PasteMenu()->actions().isEmpty());
    QVERIFY(same.PasteMenu()->actions().last()->text() != QString("kiwi && lime"));
    // A clip item pastes only what its own context holds.
    apart.setPlainText("x");
    apart.Buffer().SetSelection(1, 1);
    QVERIFY(apart.HandleCommand(10002));
    QCOMPARE(apart.Buffer().GetText(), std::string("x"));
    QVERIFY(apart.HandleCommand(10001));
    QCOMPARE(apart.Buffer().GetText(), std::string("xkiwi & lime"));
  }

  void pasteMenuOpensAtTheRightClickPosition() {
    SetText("some text", 2);
    const QPoint local(40, 15);
    QPoint menuAt;
    // The right click shows the view's own menu first.
    uitest::OnNextModal([&](QWidget* w) {
      auto* menu = qobject_cast<QMenu*>(w);
      QVERIFY(menu);
      QStringList texts;
      for (QAction* a : menu->actions()) texts << a->text();
      QCOMPARE(texts, (QStringList{"Copy", "Cut", "Paste", "Select Word"}));
      QCOMPARE(menu->actions().at(1)->objectName(), QString("24322"));
      QCOMPARE(menu->actions().at(2)->objectName(), QString("24324"));
      menu->close();
    });
    QContextMenuEvent ev(QContextMenuEvent::Mouse, local, view_->viewport()->mapToGlobal(local));
    QApplication::sendEvent(view_->viewport(), &ev);
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(view_->PopPoint(), view_->viewport()->mapToGlobal(local));
    QCOMPARE(view_->font().family(), QString("Tahoma"));
    uitest::OnNextModal([&](QWidget* w) {
      menuAt = w->pos();
      w->close();
    });
    QVERIFY(view_->HandleCommand(24324));
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(menuAt, view_->viewport()->mapToGlobal(local));
  }

  void selectWordSelectsInsteadOfCutting() {
    SetText("hello world", 8);
    uitest::OnNextModal([&](QWidget* w) {
      auto* menu = qobject_cast<QMenu*>(w);
      QVERIFY(menu);
      QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                        menu->actionGeometry(menu->actions().at(3)).center());
    });
    QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(5, 5),
                         view_->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view_->viewport(), &ev);
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(Text(), std::string("hello world"));
    QCOMPARE(view_->textCursor().selectedText(), QString("world"));
  }

  void webLookupsAndPhoneGoToTheDesktop() {
    plat::RecordingLauncher launcher;
    plat::SetLauncher(&launcher);
    SetText("call 5551234", 12);
    QVERIFY(view_->HandleCommand(268));
    SetText("platypus", 3);
    QVERIFY(view_->HandleCommand(26));
    // A selection is what is looked up.
    SetText("see Mount Everest", 0);
    view_->Buffer().SetSelection(4, 17);
    QVERIFY(view_->HandleCommand(261));
    plat::SetLauncher(nullptr);
    QCOMPARE(launcher.calls.size(), std::size_t(3));
    QCOMPARE(launcher.calls[0].kind, std::string("dial"));
    QVERIFY2(launcher.calls[0].target.find("5551234") != std::string::npos,
             launcher.calls[0].target.c_str());
    QCOMPARE(launcher.calls[1].kind, std::string("open"));
    QVERIFY2(launcher.calls[1].target.find("platypus") != std::string::npos,
             launcher.calls[1].target.c_str());
    QVERIFY2(launcher.calls[2].target.find("Everest") != std::string::npos,
             launcher.calls[2].target.c_str());
    QCOMPARE(Text(), std::string("see Mount Everest"));
  }

  void saveZarnFromTheView() {
    // The view's boxes go to its context's host: here a recording one.
    RecordingHost rec;
    ZarnContext recCtx(rec, files_);
    View v(recCtx);
    auto setText = [&v](const QString& text, int caret) {
      v.setPlainText(text);
      QTextCursor c = v.textCursor();
      c.setPosition(caret);
      v.setTextCursor(c);
    };
    setText("zarn greet\nhello there", 7);  // caret on the name, not on "zarn"
    QVERIFY(v.HandleCommand(11));
    QCOMPARE(rec.boxes.size(), std::size_t(1));
    QCOMPARE(rec.boxes[0].text,
             std::string("Loading zarn must begin\r\nfirst line:\r\n zarn zarnname"));
    setText("zarn greet\nhello there", 2);
    QVERIFY(v.HandleCommand(11));
    QCOMPARE(rec.boxes.size(), std::size_t(1));
    std::string name = "greet", value;
    QVERIFY(ZrnLvl1(files_).Get(name, value));
    QCOMPARE(value, std::string("\agreet\agreet\r\nhello there"));
  }

  void testZarnWritesIntoTheOutputDocument() {
    // The application opens documents in new views; here a bare view does.
    struct Opener : ViewOpener {
      ZarnContext* ctx = nullptr;
      std::vector<std::unique_ptr<View>> opened;
      ::TZarnsEditView* OpenView(const std::string& path) override {
        auto v = std::make_unique<View>(*ctx);
        if (!v->LoadFile(QFile::decodeName(path.c_str()))) return nullptr;
        v->show();
        opened.push_back(std::move(v));
        return &opened.back()->Core();
      }
    } opener;
    opener.ctx = ctx_.get();
    ctx_->SetViewOpener(&opener);
    std::vector<std::unique_ptr<View>>& opened = opener.opened;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(uitest::FreshDir("script")));
    SetText("2 * 21\n10 / 4", 0);
    // The run first shows its listing of the script's structure.
    QString listingTitle;
    uitest::OnNextModal([&listingTitle](QWidget* w) {
      listingTitle = w->windowTitle();
      QTest::keyClick(w, Qt::Key_Return);
    });
    QVERIFY(view_->HandleCommand(14));
    QVERIFY(uitest::ModalHandled());
    QDir::setCurrent(cwd);
    ctx_->SetViewOpener(nullptr);
    QCOMPARE(opened.size(), std::size_t(1));
    QCOMPARE(opened[0]->Buffer().GetText(), std::string("42 \r\n2.5 "));
    QCOMPARE(ctx_->CurrentView, &opened[0]->Core());
    QCOMPARE(Text(), std::string("2 * 21\r\n10 / 4"));  // the script itself stays
    opened.clear();
    QVERIFY(ctx_->CurrentView == nullptr);
  }

  void commandTableAndEnabling() {
    for (int id : {21, 263, 264,  265, 266, 268, 293,   23,    2922, 261,
                   26, 262, 2923, 272, 271, 270, 24323, 24324, 11,   14})
      QVERIFY2(view_->IsCommandEnabled(id), QByteArray::number(id).constData());
    QVERIFY(!view_->IsCommandEnabled(24331));  // File New is the application's
    QVERIFY(!view_->HandleCommand(24331));
    QVERIFY(view_->IsCommandEnabled(10001));  // a clip item that exists
    // An item past the last clip pastes nothing.
    SetText("keep", 4);
    view_->HandleCommand(10099);
    QCOMPARE(Text(), std::string("keep"));
  }

  void currentViewFollowsTheFocusAndClearsOnClose() {
    QWidget w;
    auto* lay = new QVBoxLayout(&w);
    auto* a = new View(*ctx_, &w);
    auto* b = new View(*ctx_, &w);
    lay->addWidget(a);
    lay->addWidget(b);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    a->setFocus();
    QTRY_COMPARE(ctx_->CurrentView, &a->Core());
    QCOMPARE(View::Current(*ctx_), a);
    b->setFocus();
    QTRY_COMPARE(ctx_->CurrentView, &b->Core());
    QCOMPARE(View::FromCore(&a->Core()), a);
    // Closing one of two views leaves no current view until the other gets the focus.
    delete b;
    QVERIFY(ctx_->CurrentView == nullptr);
    QVERIFY(View::Current(*ctx_) == nullptr);
    a->clearFocus();
    a->setFocus();
    QTRY_COMPARE(ctx_->CurrentView, &a->Core());
    delete a;
    QVERIFY(ctx_->CurrentView == nullptr);
  }
};

ZARNS_UI_TEST_MAIN(ViewEditorTest)
#include "view_editor_test.moc"
