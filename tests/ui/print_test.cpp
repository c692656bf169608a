// Printing: the enabling of Print, Print Setup and Print Preview, the
// Printing counter and the view's answers while it is raised, page counts and
// page text of the PDF output (checked with pdfinfo and pdftotext), print
// errors, the printer change, the preview window, and zarns --print-pdf.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>
#include <memory>

#include "common/faultfs.h"
#include "common/recordinghost.h"
#include "shell/printpages.h"
#include "shell/ui/apxprev.h"
#include "shell/ui/apxprint.h"
#include "shell/ui/zarnsapp.h"
#include "shell/ui/zarnscmd.h"
#include "shell/ui/zrnsmdi1.h"
#include "shell/ui/zrnsmdic.h"
#include "store/zrnio.h"
#include "ui/support/uitest.h"
#include "zarn/ui/viewpages.h"
#include "zarn/ui/zrnsedtv.h"

using namespace zcmd;

namespace {

QString Tool(const char* name) {
  const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
  if (path.isEmpty())
    qFatal("%s is missing: install poppler-utils (scripts/deps.sh lists it)", name);
  return path;
}

// Pages of a PDF as pdfinfo counts them; -1 when it is no PDF.
int PdfPages(const QString& pdf) {
  QProcess p;
  p.start(Tool("pdfinfo"), {pdf});
  p.waitForFinished(30000);
  if (p.exitCode() != 0) return -1;
  for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
    if (line.startsWith(QLatin1String("Pages:"))) return line.mid(6).trimmed().toInt();
  return -1;
}

// The text of pages `first` to `last` (0: all), as pdftotext lays it out.
QString PdfText(const QString& pdf, int first = 0, int last = 0) {
  QStringList args{QStringLiteral("-layout")};
  if (first > 0) args << QStringLiteral("-f") << QString::number(first);
  if (last > 0) args << QStringLiteral("-l") << QString::number(last);
  args << pdf << QStringLiteral("-");
  QProcess p;
  p.start(Tool("pdftotext"), args);
  p.waitForFinished(30000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The non-empty lines of a text, trimmed.
QStringList Lines(const QString& text) {
  QStringList out;
  for (const QString& l : text.split('\n'))
    if (!l.trimmed().isEmpty()) out << l.trimmed();
  return out;
}

QString Numbered(int n) {
  QStringList lines;
  for (int i = 1; i <= n; ++i) lines << QStringLiteral("line %1").arg(i);
  return lines.join('\n');
}

}  // namespace

class PrintTest : public QObject {
  Q_OBJECT

  RecordingHost host_;
  std::unique_ptr<TZarnsApp> app_;
  QString dir_;
  // What the replaced print dialog saw.
  int dialogs_ = 0;
  int printingSeen_ = -1;
  bool viewPrintingSeen_ = false;
  QSize maxSizeSeen_;
  QString docNameSeen_;
  int pagesSeen_ = 0;
  QString out_;         // where the replaced print dialog sends the PDF
  bool accept_ = true;  // whether it prints

  zui::TZarnsEditView* NewDoc(const QString& text) {
    TZarnsMDIChild* child = app_->NewDocument();
    child->View()->setPlainText(text);
    child->SetDirty(false);
    return child->View();
  }
  void CloseAll() {
    for (QMdiSubWindow* w : app_->Client()->subWindowList()) {
      if (auto* c = qobject_cast<TZarnsMDIChild*>(w)) c->SetDirty(false);
      w->close();
      delete w;
    }
    QCoreApplication::processEvents();
  }
  // The program's own lines per page for PDF output in the view's font.
  int ProgramLinesPerPage(zui::TZarnsEditView* view) {
    ZrnPrinter p;
    p.setOutputFormat(QPrinter::PdfFormat);
    const auto pages = view->Pages(&p, p.pageLayout().paintRectPixels(p.resolution()).size());
    return pages->LinesPerPage();
  }
  bool Enabled(int id) {
    app_->UpdateCommandStates();
    return app_->Action(id)->isEnabled();
  }
  QString Out(const QString& name) { return dir_ + name; }

 private slots:
  void initTestCase() {
    // Tests never reach a real printer: no default printer, PDF output.
    DefaultPrinterName = [] { return QString(); };
    CatalogPrompt = [](ZrnIO&, const QString&) {};
    uitest::InstallModalGuard();
    app_ = std::make_unique<TZarnsApp>(QStringList{QStringLiteral("zarns")}, &host_);
    app_->InitInstance();
    QVERIFY(MainWin);
    QVERIFY(QTest::qWaitForWindowExposed(MainWin));
    dir_ = QString::fromStdString(uitest::FreshDir("print"));
  }

  void init() {
    PrintDialog = [this](QPrinter& printer, int pages, QWidget*) {
      ++dialogs_;
      printingSeen_ = app_->Printing;
      zui::TZarnsEditView* v = app_->ActiveChild()->View();
      viewPrintingSeen_ = v->IsPrinting();
      maxSizeSeen_ = v->maximumSize();
      docNameSeen_ = printer.docName();
      pagesSeen_ = pages;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(out_);
      printer.setPrintRange(QPrinter::AllPages);
      return accept_;
    };
    PrintSetupDialog = nullptr;
    dialogs_ = 0;
    printingSeen_ = -1;
    accept_ = true;
    out_ = Out(QStringLiteral("job.pdf"));
    QFile::remove(out_);
    host_.boxes.clear();
  }

  void cleanup() {
    CloseAll();
    DefaultPrinterName = [] { return QString(); };
    // Each test starts with a fresh printer: settings do not carry over.
    delete app_->Printer;
    app_->Printer = nullptr;
    QCOMPARE(app_->Printing, 0);
  }

  void cleanupTestCase() {
    CloseAll();
    app_.reset();
    PrintDialog = nullptr;
  }

  // --- enabling and the printer ----------------------------------------------

  void commandsNeedADocumentAndAUsablePrinter() {
    for (int id : {CM_FILEPRINT, CM_FILEPRINTERSETUP, CM_FILEPRINTPREVIEW})
      QVERIFY2(!Enabled(id), qPrintable(QString::number(id)));
    QVERIFY(!app_->Command(CM_FILEPRINT));
    NewDoc(QStringLiteral("text"));
    for (int id : {CM_FILEPRINT, CM_FILEPRINTERSETUP, CM_FILEPRINTPREVIEW})
      QVERIFY2(Enabled(id), qPrintable(QString::number(id)));
    // Without a printer installed, PDF output serves.
    QVERIFY(app_->Printer);
    QCOMPARE(app_->Printer->outputFormat(), QPrinter::PdfFormat);
    QVERIFY(app_->Printer->Usable());

    // A default printer the system cannot find: nothing prints.
    DefaultPrinterName = [] { return QStringLiteral("No Such Printer"); };
    QVERIFY(EvPrinterChange(app_->Printer));
    QCOMPARE(app_->Printer->MadeFor(), QStringLiteral("No Such Printer"));
    QVERIFY(!app_->Printer->Usable());
    for (int id : {CM_FILEPRINT, CM_FILEPRINTERSETUP, CM_FILEPRINTPREVIEW})
      QVERIFY2(!Enabled(id), qPrintable(QString::number(id)));
    QVERIFY(!app_->Command(CM_FILEPRINT));
    QCOMPARE(dialogs_, 0);
    // Once the default changes back, the commands come back by themselves.
    DefaultPrinterName = [] { return QString(); };
    QVERIFY(Enabled(CM_FILEPRINT));
    QVERIFY(app_->Printer->Usable());
  }

  void printerChangeReplacesThePrinter() {
    ZrnPrinter* p = nullptr;
    QVERIFY(!EvPrinterChange(p));  // no printer yet: nothing to replace
    QVERIFY(!p);
    ZrnPrinter* made = EnsurePrinter(p);
    QVERIFY(made);
    QCOMPARE(EnsurePrinter(p), made);
    QVERIFY(!EvPrinterChange(p));  // the same default: it stays
    QCOMPARE(p, made);
    DefaultPrinterName = [] { return QStringLiteral("Office"); };
    QVERIFY(EvPrinterChange(p));
    QCOMPARE(p->MadeFor(), QStringLiteral("Office"));
    DefaultPrinterName = [] { return QString(); };
    QVERIFY(EvPrinterChange(p));
    QVERIFY(p->Usable());
    delete p;

    // The next job uses the new default.
    NewDoc(QStringLiteral("text"));
    QVERIFY(Enabled(CM_FILEPRINT));
    app_->Printer->setPageOrientation(QPageLayout::Landscape);
    DefaultPrinterName = [] { return QStringLiteral("Office"); };
    app_->Command(CM_FILEPRINT);
    QCOMPARE(app_->Printer->MadeFor(), QStringLiteral("Office"));
    QCOMPARE(dialogs_, 0);  // that printer is unknown here: nothing printed
    DefaultPrinterName = [] { return QString(); };
    app_->Command(CM_FILEPRINT);
    QCOMPARE(dialogs_, 1);
    // A fresh printer: the landscape setting went with the old one.
    QCOMPARE(app_->Printer->pageLayout().orientation(), QPageLayout::Portrait);
  }

  // --- the job ---------------------------------------------------------------

  void printingIsRaisedWhileTheJobRuns() {
    zui::TZarnsEditView* v = NewDoc(Numbered(5));
    const QSize normalMax = v->maximumSize();
    QVERIFY(!v->IsPrinting());
    // Outside printing the view draws no page.
    QImage img(200, 200, QImage::Format_ARGB32);
    img.fill(Qt::white);
    {
      QPainter p(&img);
      const auto pages = v->Pages(&img, QSizeF(200, 200));
      QVERIFY(!v->PrintPage(p, *pages, 1));
      v->BeginPrinting();
      QVERIFY(v->PrintPage(p, *pages, 1));
      QVERIFY(!v->PrintPage(p, *pages, 2));  // past the last page
      v->EndPrinting();
      v->EndPrinting();  // one too many does no harm
      QVERIFY(!v->IsPrinting());
    }
    QCOMPARE(app_->Printing, 0);
    QVERIFY(app_->Command(CM_FILEPRINT));
    QCOMPARE(dialogs_, 1);
    QCOMPARE(printingSeen_, 1);
    QVERIFY(viewPrintingSeen_);
    QCOMPARE(maxSizeSeen_, QSize(32000, 32000));
    QCOMPARE(pagesSeen_, 1);
    // An untitled document prints as "Document".
    QCOMPARE(docNameSeen_, QStringLiteral("Document"));
    QCOMPARE(app_->Printing, 0);
    QVERIFY(!v->IsPrinting());
    QCOMPARE(v->maximumSize(), normalMax);
    QCOMPARE(PdfPages(out_), 1);
    QVERIFY(host_.boxes.empty());

    // Cancelled in the dialog: nothing printed, Printing lowered again.
    QFile::remove(out_);
    accept_ = false;
    app_->Command(CM_FILEPRINT);
    QCOMPARE(app_->Printing, 0);
    QVERIFY(!QFile::exists(out_));
    QVERIFY(host_.boxes.empty());
  }

  void aSavedDocumentPrintsUnderItsName() {
    const QString path = Out(QStringLiteral("notes.txt"));
    QVERIFY(WriteFile(path.toStdString(), "alpha\nbeta\n"));
    QVERIFY(app_->AddFile(path));
    app_->Command(CM_FILEPRINT);
    QCOMPARE(docNameSeen_, QStringLiteral("notes.txt"));
    QCOMPARE(Lines(PdfText(out_)), (QStringList{"alpha", "beta"}));
  }

  void pageCountsAreExact() {
    zui::TZarnsEditView* v = NewDoc(QString());
    const int per = ProgramLinesPerPage(v);
    QVERIFY2(per > 10, qPrintable(QString::number(per)));
    struct Case {
      int lines;
      int pages;
    };
    // An empty document: one page. A full last page: no blank page after it.
    for (Case c : {Case{0, 1}, Case{1, 1}, Case{per, 1}, Case{per + 1, 2}, Case{2 * per, 2},
                   Case{2 * per + 10, 3}}) {
      v->setPlainText(c.lines ? Numbered(c.lines) : QString());
      QFile::remove(out_);
      app_->Command(CM_FILEPRINT);
      QCOMPARE(pagesSeen_, c.pages);
      QCOMPARE(PdfPages(out_), c.pages);
    }
    // Each page holds its own lines: page 2 runs from line per+1 to 2*per.
    const QStringList page2 = Lines(PdfText(out_, 2, 2));
    QCOMPARE(page2.size(), per);
    QCOMPARE(page2.first(), QStringLiteral("line %1").arg(per + 1));
    QCOMPARE(page2.last(), QStringLiteral("line %1").arg(2 * per));
    QCOMPARE(Lines(PdfText(out_, 3, 3)).size(), 10);
    QCOMPARE(Lines(PdfText(out_)).size(), 2 * per + 10);
  }

  void thePageRangeChosenIsPrinted() {
    zui::TZarnsEditView* v = NewDoc(QString());
    const int per = ProgramLinesPerPage(v);
    v->setPlainText(Numbered(3 * per));
    PrintDialog = [this](QPrinter& printer, int pages, QWidget*) {
      pagesSeen_ = pages;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(out_);
      printer.setPrintRange(QPrinter::PageRange);
      printer.setFromTo(2, 3);
      return true;
    };
    app_->Command(CM_FILEPRINT);
    QCOMPARE(pagesSeen_, 3);
    QCOMPARE(PdfPages(out_), 2);
    QCOMPARE(Lines(PdfText(out_, 1, 1)).first(), QStringLiteral("line %1").arg(per + 1));
  }

  void aLongLineIsPrintedWhole() {
    // 300 characters of numbered words, then lines after it.
    QStringList words;
    for (int i = 1; i <= 60; ++i) words << QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0'));
    const QString longLine = words.join(QLatin1Char(' ')) + QLatin1Char('.');
    QCOMPARE(longLine.size(), 300);
    zui::TZarnsEditView* v =
        NewDoc(QStringLiteral("before\n") + longLine + QStringLiteral("\nafter one\nafter two"));
    app_->Command(CM_FILEPRINT);
    QCOMPARE(PdfPages(out_), 1);
    const QString text = PdfText(out_);
    for (const QString& w : words) QVERIFY2(text.contains(w), qPrintable(w));
    // The words come back in order, the line wrapped at the page's width.
    const QStringList printed = text.simplified().split(QLatin1Char(' '));
    QCOMPARE(printed.mid(1, 60).join(QLatin1Char(' ')), longLine);
    // Nothing after it is lost.
    QVERIFY(text.contains(QLatin1String("after one")));
    QVERIFY(text.contains(QLatin1String("after two")));
    QCOMPARE(Lines(text).first(), QStringLiteral("before"));
    QVERIFY(Lines(text).size() > 4);  // the long line took more than one printed line

    // A line far longer than a page of the widest characters: still whole.
    const QString huge = QString(5000, QLatin1Char('W'));
    v->setPlainText(huge + QStringLiteral("\nthe end"));
    QFile::remove(out_);
    app_->Command(CM_FILEPRINT);
    QVERIFY(PdfPages(out_) >= 1);
    const QString all = PdfText(out_).remove(QRegularExpression(QStringLiteral("\\s")));
    QCOMPARE(all.count(QLatin1Char('W')), 5000);
    QVERIFY(all.endsWith(QLatin1String("theend")));
  }

  void tabsAreExpanded() {
    NewDoc(QStringLiteral("a\tb\nccccccccccccccccccccccccc\tdddd"));
    app_->Command(CM_FILEPRINT);
    const QStringList lines = Lines(PdfText(out_));
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith('a') && lines[0].endsWith('b'));
    QVERIFY(lines[0].size() > 3);  // the tab left space between them
  }

  // --- errors ----------------------------------------------------------------

  void aFailedJobSaysWhy() {
    NewDoc(Numbered(3));
    out_ = Out(QStringLiteral("no/such/dir/out.pdf"));
    app_->Command(CM_FILEPRINT);
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QCOMPARE(host_.boxes[0].text,
             std::string("'Document' not printed. Error encountered during print."));
    QCOMPARE(host_.boxes[0].caption, std::string("Print Error"));
    QCOMPARE(app_->Printing, 0);

    // A full disk.
    host_.boxes.clear();
    out_ = Out(QStringLiteral("full.pdf"));
    FaultFs fs;
    fs.diskSpace = 100;
    {
      FaultFs::Scope scope(fs);
      app_->Command(CM_FILEPRINT);
    }
    QCOMPARE(host_.boxes.size(), std::size_t(1));
    QCOMPARE(host_.boxes[0].text, std::string("'Document' not printed. Out of disk space."));
    QVERIFY(!QFile::exists(out_));
    QCOMPARE(PrintErrorText(QStringLiteral("x"), kPrintCanceled),
             std::string("'x' not printed. Printing canceled."));
  }

  void aFailedJobLeavesTheOldFile() {
    // Every file operation of writing the PDF fails in turn: the file there
    // before is either untouched or replaced by the whole new PDF.
    NewDoc(Numbered(3));
    out_ = Out(QStringLiteral("kept.pdf"));
    const std::string old = "%PDF-old";
    FaultFs fs;
    long tried = 0;
    for (long n = 1; n < 200; ++n) {
      QVERIFY(WriteFile(out_.toStdString(), old));
      host_.boxes.clear();
      fs.ArmNth(n);
      {
        FaultFs::Scope scope(fs);
        app_->Command(CM_FILEPRINT);
      }
      const bool fired = fs.Fired();
      fs.Disarm();
      const std::string now = Slurp(out_.toStdString());
      if (!fired) {
        QCOMPARE(PdfPages(out_), 1);
        break;
      }
      ++tried;
      QVERIFY2(now == old || PdfPages(out_) == 1, qPrintable(QString::number(n)));
      // No temporary file is left beside it.
      QCOMPARE(QDir(dir_).entryList({QStringLiteral("kept.pdf*")}, QDir::Files | QDir::Hidden),
               QStringList{QStringLiteral("kept.pdf")});
    }
    QVERIFY(tried >= 3);
    qInfo("fault points tried: %ld", tried);
  }

  // --- the system's dialogs ----------------------------------------------------

  void theSystemPrintDialogComesFirst() {
    PrintDialog = nullptr;
    NewDoc(Numbered(3));
    int printing = -1;
    uitest::OnNextModal([&](QWidget* w) {
      QVERIFY(qobject_cast<QPrintDialog*>(w));
      printing = app_->Printing;
      w->close();
    });
    app_->Command(CM_FILEPRINT);
    QVERIFY(uitest::ModalHandled());
    QCOMPARE(printing, 1);
    QCOMPARE(app_->Printing, 0);
    QVERIFY(host_.boxes.empty());
  }

  void printSetupShowsThePageSetupDialog() {
    NewDoc(QStringLiteral("x"));
    uitest::OnNextModal([&](QWidget* w) {
      QVERIFY(qobject_cast<QPageSetupDialog*>(w));
      w->close();
    });
    QVERIFY(app_->Command(CM_FILEPRINTERSETUP));
    QVERIFY(uitest::ModalHandled());
    // The setup the dialog leaves is the one the next job uses.
    PrintSetupDialog = [](QPrinter& p, QWidget*) { p.setPageOrientation(QPageLayout::Landscape); };
    app_->Command(CM_FILEPRINTERSETUP);
    app_->Command(CM_FILEPRINT);
    QProcess info;
    info.start(Tool("pdfinfo"), {out_});
    info.waitForFinished(30000);
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(text.contains(QLatin1String("842 x 595")) || text.contains(QLatin1String("792 x 612")),
             qPrintable(text));
  }

  // --- the preview -------------------------------------------------------------

  void previewToolBarPagesAndEnabling() {
    zui::TZarnsEditView* v = NewDoc(QString());
    const int per = ProgramLinesPerPage(v);
    v->setPlainText(Numbered(3 * per));
    const QRect mainBefore = MainWin->geometry();
    bool ran = false;
    QRect previewRect;
    uitest::OnNextModal([&](QWidget* w) {
      auto* win = qobject_cast<TApxPreviewWin*>(w);
      QVERIFY(win);
      ran = true;
      QCOMPARE(app_->Client()->Preview(), win);
      QCOMPARE(app_->Printing, 1);
      QVERIFY(v->IsPrinting());
      QVERIFY(!MainWin->isVisible());
      QCOMPARE(win->windowTitle(), MainWin->windowTitle());
      QVERIFY(!win->windowIcon().isNull());

      // The tool bar, in order.
      QStringList bar;
      for (QAction* a : win->PreviewSpeedBar->actions()) {
        if (a->property("separatorSize").isValid())
          bar << QStringLiteral("-%1").arg(a->property("separatorSize").toInt());
        else if (a->data().isValid())
          bar << QString::number(a->data().toInt());
        else
          bar << QStringLiteral("text");
      }
      QCOMPARE(bar, (QStringList{"24500", "24501", "-6", "24502", "24503", "-12", "text", "-20",
                                 "24337", "-20", "24505"}));
      auto* text = uitest::ById<QLabel>(win->PreviewSpeedBar, 24504);
      QVERIFY(text);
      for (int id : {24500, 24501, 24502, 24503, 24337, 24505}) {
        QAction* a = uitest::ById<QAction>(win->PreviewSpeedBar, id);
        QVERIFY2(a && !a->icon().isNull(), qPrintable(QString::number(id)));
      }
      auto on = [&](int id) {
        return uitest::ById<QAction>(win->PreviewSpeedBar, id)->isEnabled();
      };

      QCOMPARE(win->MaxPage(), 3);
      QCOMPARE(text->text(), QStringLiteral("Page 1"));
      QVERIFY(!on(24500) && on(24501) && on(24503) && on(24337));
      QVERIFY(!win->Page2);
      // Previous at page 1 does nothing.
      win->PPR_Previous();
      QCOMPARE(text->text(), QStringLiteral("Page 1"));
      uitest::ById<QAction>(win->PreviewSpeedBar, 24501)->trigger();
      QCOMPARE(text->text(), QStringLiteral("Page 2"));
      QCOMPARE(win->Page1->PageNumber(), 2);
      QVERIFY(on(24500) && on(24501));
      win->PPR_Next();
      QCOMPARE(text->text(), QStringLiteral("Page 3"));
      QVERIFY(!on(24501));
      // Next at the last page does nothing.
      win->PPR_Next();
      QCOMPARE(text->text(), QStringLiteral("Page 3"));
      // Two pages at the last page: the one before and the last.
      uitest::ById<QAction>(win->PreviewSpeedBar, 24503)->trigger();
      QCOMPARE(text->text(), QStringLiteral("Page 2 - 3"));
      QVERIFY(win->Page2);
      QCOMPARE(win->Page1->PageNumber(), 2);
      QCOMPARE(win->Page2->PageNumber(), 3);
      QCOMPARE(win->Page1->geometry().topLeft(), QPoint(15, 15));
      QCOMPARE(win->Page2->x(), win->Page1->geometry().right() + 1 + 30);
      QCOMPARE(win->Page2->y(), win->Page1->y());
      QCOMPARE(win->Page2->size(), win->Page1->size());
      QVERIFY(win->Page2->geometry().right() < win->Client->width());
      QVERIFY(win->Page1->geometry().bottom() < win->Client->height());
      win->PPR_Previous();
      QCOMPARE(text->text(), QStringLiteral("Page 1 - 2"));
      QVERIFY(!on(24500) && on(24501));
      QApplication::processEvents();

      // The pages are the printed ones: dark text on white paper.
      const QImage shot = win->grab().toImage();
      const QImage page = win->Page1->grab().toImage();
      int dark = 0;
      for (int y = 0; y < page.height(); ++y)
        for (int x = 1; x < page.width() - 1; ++x)
          if (qGray(page.pixel(x, y)) < 128) ++dark;
      QVERIFY2(dark > 50, qPrintable(QString::number(dark)));
      const QByteArray shotPath = qgetenv("ZARNS_PREVIEW_SHOT");
      if (!shotPath.isEmpty()) shot.save(QString::fromLocal8Bit(shotPath));

      uitest::ById<QAction>(win->PreviewSpeedBar, 24502)->trigger();
      QCOMPARE(text->text(), QStringLiteral("Page 1"));
      QVERIFY(!win->Page2);
      // The window is moved before it closes: the main window follows.
      win->showNormal();
      win->setGeometry(40, 50, 700, 500);
      previewRect = win->geometry();
      uitest::ById<QAction>(win->PreviewSpeedBar, 24505)->trigger();
    });
    QVERIFY(app_->Command(CM_FILEPRINTPREVIEW));
    QVERIFY(ran);
    QVERIFY(MainWin->isVisible());
    QCOMPARE(MainWin->geometry(), previewRect);
    QCOMPARE(app_->Printing, 0);
    QVERIFY(!v->IsPrinting());
    QVERIFY(!app_->Client()->Preview());
    MainWin->setGeometry(mainBefore);
    MainWin->showMaximized();
  }

  void previewCloseBoxAndPrint() {
    NewDoc(Numbered(3));
    int printingInJob = 0;
    PrintDialog = [&](QPrinter& printer, int, QWidget*) {
      printingInJob = app_->Printing;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(out_);
      return true;
    };
    QRect previewRect;
    uitest::OnNextModal([&](QWidget* w) {
      auto* win = qobject_cast<TApxPreviewWin*>(w);
      QVERIFY(win);
      // A change of the default printer waits until the preview is over:
      // the preview and its print job keep the printer they use.
      ZrnPrinter* inUse = app_->Printer;
      DefaultPrinterName = [] { return QStringLiteral("Office"); };
      app_->UpdateCommandStates();
      QCOMPARE(app_->Printer, inUse);
      // A one-page document: two pages show its one page.
      win->PPR_TwoUp();
      QCOMPARE(win->PageText(), QStringLiteral("Page 1"));
      QVERIFY(!win->PPR_NextEnable() && !win->PPR_PreviousEnable());
      uitest::ById<QAction>(win->PreviewSpeedBar, 24337)->trigger();
      QCOMPARE(app_->Printer, inUse);
      DefaultPrinterName = [] { return QString(); };
      win->showNormal();
      win->setGeometry(60, 70, 640, 480);
      previewRect = win->geometry();
      win->close();  // the close box
    });
    app_->Command(CM_FILEPRINTPREVIEW);
    QVERIFY(uitest::ModalHandled());
    // Print from the preview: a job inside the preview, Printing raised twice.
    QCOMPARE(printingInJob, 2);
    QCOMPARE(PdfPages(out_), 1);
    QCOMPARE(app_->Printing, 0);
    QVERIFY(MainWin->isVisible());
    QCOMPARE(MainWin->geometry(), previewRect);
    MainWin->showMaximized();
  }

  void twoPagesOnlyForPortrait() {
    NewDoc(Numbered(300));
    EnsurePrinter(app_->Printer)->setPageOrientation(QPageLayout::Landscape);
    uitest::OnNextModal([&](QWidget* w) {
      auto* win = qobject_cast<TApxPreviewWin*>(w);
      QVERIFY(win);
      QVERIFY(!win->PPR_TwoUpEnable());
      QVERIFY(!uitest::ById<QAction>(win->PreviewSpeedBar, 24503)->isEnabled());
      win->PPR_TwoUp();
      QVERIFY(!win->Page2);
      // Landscape paper is shown landscape.
      QVERIFY(win->Page1->width() > win->Page1->height());
      win->PPR_Done();
    });
    app_->Command(CM_FILEPRINTPREVIEW);
    QVERIFY(uitest::ModalHandled());
    app_->Printer->setPageOrientation(QPageLayout::Portrait);
  }

  // --- PDF without a window -----------------------------------------------------

  void printFileToPdfAsPrintDoes() {
    zui::TZarnsEditView* v = NewDoc(QString());
    const int per = ProgramLinesPerPage(v);
    const QString file = Out(QStringLiteral("doc.txt"));
    QVERIFY(WriteFile(file.toStdString(), Numbered(2 * per + 1).toStdString() + "\n"));
    const QString out = Out(QStringLiteral("doc.pdf"));
    QCOMPARE(PrintFileToPdf(app_->Zarn(), file, out), std::string());
    QCOMPARE(PdfPages(out), 3);
    // Print gives the same pages.
    QVERIFY(app_->AddFile(file));
    app_->Command(CM_FILEPRINT);
    QCOMPARE(PdfText(out_), PdfText(out));

    QVERIFY(
        PrintFileToPdf(app_->Zarn(), Out(QStringLiteral("missing.txt")), out).find("cannot read") !=
        std::string::npos);
    QVERIFY(!PrintFileToPdf(app_->Zarn(), QString::fromStdString(uitest::Root()), out).empty());
  }

  void zarnsPrintPdfCommand() {
    const QString exe = QStringLiteral(ZARNS_BINARY_DIR "/zarns");
    QVERIFY(QFileInfo(exe).isExecutable());
    zui::TZarnsEditView* v = NewDoc(QString());
    const int per = ProgramLinesPerPage(v);
    const QString file = Out(QStringLiteral("cli.txt"));
    QVERIFY(WriteFile(file.toStdString(), Numbered(2 * per).toStdString()));
    const QString out = Out(QStringLiteral("cli.pdf"));
    auto run = [&](const QStringList& args, QString* err = nullptr) {
      QProcess p;
      // No display of any kind: the command must not need one.
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      for (const char* k : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(k));
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
      p.setProcessEnvironment(env);
      p.start(exe, args);
      if (!p.waitForFinished(60000)) return -100;
      if (err) *err = QString::fromLocal8Bit(p.readAllStandardError());
      return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -99;
    };
    QString err;
    QCOMPARE(run({QStringLiteral("--print-pdf"), out, file}, &err), 0);
    QCOMPARE(PdfPages(out), 2);  // the last page full: no blank page
    QCOMPARE(Lines(PdfText(out, 2, 2)).last(), QStringLiteral("line %1").arg(2 * per));

    // An unreadable file: a message, a failure, and the PDF there stays.
    QCOMPARE(run({QStringLiteral("--print-pdf"), out, Out(QStringLiteral("gone.txt"))}, &err), 1);
    QVERIFY2(err.contains(QLatin1String("gone.txt")), qPrintable(err));
    QCOMPARE(PdfPages(out), 2);
    const QString locked = Out(QStringLiteral("locked.txt"));
    QVERIFY(WriteFile(locked.toStdString(), "secret"));
    QFile::setPermissions(locked, QFileDevice::Permissions());
    if (!QFileInfo(locked).isReadable()) {  // root reads everything
      QCOMPARE(run({QStringLiteral("--print-pdf"), Out(QStringLiteral("l.pdf")), locked}, &err), 1);
      QVERIFY(!QFile::exists(Out(QStringLiteral("l.pdf"))));
    }
    // An unwritable PDF.
    const QString bad = Out(QStringLiteral("missing-dir/out.pdf"));
    QCOMPARE(run({QStringLiteral("--print-pdf"), bad, file}, &err), 1);
    QVERIFY2(err.contains(QLatin1String("out.pdf")), qPrintable(err));
    QVERIFY(!QFile::exists(bad));
    // A wrong command line.
    QCOMPARE(run({QStringLiteral("--print-pdf"), out}, &err), 2);
    QVERIFY2(err.contains(QLatin1String("usage")), qPrintable(err));
  }
};

ZARNS_UI_TEST_MAIN(PrintTest)
#include "print_test.moc"
