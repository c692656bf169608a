#include "shell/ui/apxprint.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <climits>
#include <cstdio>
#include <new>

#include "host/messages.h"
#include "platform/pfile.h"
#include "shell/cmdline.h"
#include "shell/ui/qthost.h"
#include "store/zrnio.h"
#include "zarn/ui/viewpages.h"
#include "zarn/ui/zrnsedtv.h"
#include "zarn/zarnctx.h"

std::function<QString()> DefaultPrinterName = [] { return QPrinterInfo::defaultPrinterName(); };
std::function<bool(QPrinter&, int, QWidget*)> PrintDialog;
std::function<void(QPrinter&, QWidget*)> PrintSetupDialog;

// ---------------------------------------------------------------------------
// The printer object.

ZrnPrinter::ZrnPrinter() : QPrinter(QPrinter::HighResolution) {
  madeFor_ = DefaultPrinterName ? DefaultPrinterName() : QString();
  if (madeFor_.isEmpty()) {
    // No printer installed: PDF output serves, and the print dialog offers it.
    setOutputFormat(QPrinter::PdfFormat);
    return;
  }
  known_ = !QPrinterInfo::printerInfo(madeFor_).isNull();
  if (known_) setPrinterName(madeFor_);
}

bool ZrnPrinter::Usable() const {
  // A default printer the system cannot find prints nothing, not even to PDF.
  if (!known_) return false;
  return outputFormat() == QPrinter::PdfFormat || isValid();
}

ZrnPrinter* EnsurePrinter(ZrnPrinter*& printer) {
  if (!printer) printer = new ZrnPrinter;
  return printer;
}

bool EvPrinterChange(ZrnPrinter*& printer) {
  if (!printer) return false;
  const QString now = DefaultPrinterName ? DefaultPrinterName() : QString();
  if (printer->Usable() && now == printer->MadeFor()) return false;
  delete printer;
  printer = new ZrnPrinter;
  return true;
}

// ---------------------------------------------------------------------------
// The Printing counter.

PrintingScope::PrintingScope(int& printing, zui::TZarnsEditView* view)
    : printing_(printing), view_(view) {
  ++printing_;
  if (view_) view_->BeginPrinting();
}

PrintingScope::~PrintingScope() {
  if (view_) view_->EndPrinting();
  --printing_;
}

// ---------------------------------------------------------------------------
// The job.

std::string PrintErrorText(const QString& title, const std::string& reason) {
  return "'" + title.toStdString() + "' not printed. " + reason + ".";
}

namespace {

// The printable area in device pixels: the painter's origin is its top-left corner.
QSizeF PageSizeOf(const QPagedPaintDevice& dev, int resolution) {
  return dev.pageLayout().paintRectPixels(resolution).size();
}

std::string DrawPages(zui::TZarnsEditView& view, QPagedPaintDevice& dev, int resolution, int first,
                      int last) {
  const auto pages = view.Pages(&dev, PageSizeOf(dev, resolution));
  last = std::min(last, pages->PageCount());
  first = std::clamp(first, 1, last);
  QPainter p;
  if (!p.begin(&dev)) return kPrintFailed;
  for (int n = first; n <= last; ++n) {
    if (n > first && !dev.newPage()) {
      p.end();
      return kPrintFailed;
    }
    view.PrintPage(p, *pages, n);
  }
  if (!p.end()) return kPrintFailed;
  return {};
}

}  // namespace

std::string PrintViewPages(zui::TZarnsEditView& view, QPrinter& printer) {
  try {
    int first = 1, last = INT_MAX;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
      first = printer.fromPage();
      last = printer.toPage() > 0 ? printer.toPage() : INT_MAX;
    }
    if (printer.outputFormat() != QPrinter::PdfFormat) {
      std::string e = DrawPages(view, printer, printer.resolution(), first, last);
      if (e.empty() && printer.printerState() == QPrinter::Aborted) e = kPrintCanceled;
      if (e.empty() && printer.printerState() == QPrinter::Error) e = kPrintFailed;
      return e;
    }
    // PDF: made whole in memory, then put in place in one step.
    const QString out = printer.outputFileName();
    if (out.isEmpty()) return kPrintFailed;
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    {
      QPdfWriter w(&buf);
      w.setResolution(printer.resolution());
      w.setPageLayout(printer.pageLayout());
      w.setTitle(printer.docName());
      w.setCreator(QStringLiteral("Zarns"));
      const std::string e = DrawPages(view, w, w.resolution(), first, last);
      if (!e.empty()) return e;
    }
    if (!plat::WriteFileAtomic(QFile::encodeName(out).toStdString(), buf.data().toStdString()))
      return plat::LastFileError() == plat::FileError::NoSpace ? kPrintOutOfDisk : kPrintFailed;
    return {};
  } catch (const std::bad_alloc&) {
    return kPrintOutOfMemory;
  }
}

namespace {

// PDF output goes to the document's name with ".pdf" in the Documents
// folder unless the user chose another file for it.
void SuggestPdfName(QPrinter& printer, const QString& title) {
  static QString suggested;
  if (printer.outputFormat() != QPrinter::PdfFormat) return;
  if (!printer.outputFileName().isEmpty() && printer.outputFileName() != suggested) return;
  QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (dir.isEmpty() || !QFileInfo(dir).isDir()) dir = QDir::homePath();
  QString base = QFileInfo(title).completeBaseName();
  if (base.isEmpty()) base = QStringLiteral("Document");
  suggested = QDir(dir).filePath(base + QStringLiteral(".pdf"));
  printer.setOutputFileName(suggested);
}

bool SystemPrintDialog(QPrinter& printer, int pages, QWidget* owner) {
  QPrintDialog dlg(&printer, owner ? owner : QApplication::activeWindow());
  dlg.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                 QAbstractPrintDialog::PrintShowPageSize |
                 QAbstractPrintDialog::PrintCollateCopies);
  dlg.setMinMax(1, pages);
  return dlg.exec() == QDialog::Accepted;
}

}  // namespace

bool PrintView(zui::TZarnsEditView& view, ZrnPrinter& printer, int& printing, const QString& title,
               MessageHost& messages, QWidget* owner) {
  const QString docTitle = title.isEmpty() ? QStringLiteral("Document") : title;
  PrintingScope scope(printing, &view);
  printer.setDocName(docTitle);
  SuggestPdfName(printer, docTitle);
  int pages = 1;
  try {
    pages = view.Pages(&printer, PageSizeOf(printer, printer.resolution()))->PageCount();
  } catch (const std::bad_alloc&) {
    messages.MessageBox(PrintErrorText(docTitle, kPrintOutOfMemory), "Print Error",
                        MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  const bool go =
      PrintDialog ? PrintDialog(printer, pages, owner) : SystemPrintDialog(printer, pages, owner);
  if (!go) return false;
  const std::string e = PrintViewPages(view, printer);
  if (e.empty()) return true;
  messages.MessageBox(PrintErrorText(docTitle, e), "Print Error", MB_OK | MB_ICONEXCLAMATION);
  return false;
}

// ---------------------------------------------------------------------------
// PDF without a window.

std::string PrintFileToPdf(ZarnContext& ctx, const QString& file, const QString& out) {
  const QFileInfo fi(file);
  if (!fi.isFile()) return "cannot read \"" + file.toStdString() + "\": no such file";
  zui::TZarnsEditView view(ctx);
  if (!view.LoadFile(fi.absoluteFilePath()))
    return "cannot read \"" + file.toStdString() +
           "\": " + plat::FileErrorText(plat::LastFileError());
  // The printer Print would use, with PDF output.
  ZrnPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(out);
  printer.setDocName(fi.fileName());
  int printing = 0;
  PrintingScope scope(printing, &view);
  const std::string e = PrintViewPages(view, printer);
  if (e.empty()) return {};
  std::string msg =
      "cannot print \"" + file.toStdString() + "\" to \"" + out.toStdString() + "\": " + e;
  if (plat::LastFileError() != plat::FileError::None)
    msg += std::string(" (") + plat::FileErrorText(plat::LastFileError()) + ")";
  return msg;
}

bool PrintPdfRequested(int argc, char** argv) {
  return argc > 1 && ParsePrintPdf({argv[1]}).requested;
}

int RunPrintPdf(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const PrintPdfRequest req = ParsePrintPdf(args);
  if (!req.error.empty()) {
    std::fprintf(stderr, "zarns: %s\n", req.error.c_str());
    return 2;
  }
  // No window is ever shown, so no display is needed either.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ZrnIO files;
  QtHost host(files);
  ZarnContext ctx(host, files);
  const std::string e =
      PrintFileToPdf(ctx, QFile::decodeName(req.file.c_str()), QFile::decodeName(req.out.c_str()));
  if (!e.empty()) {
    std::fprintf(stderr, "zarns: %s\n", e.c_str());
    return 1;
  }
  return 0;
}
