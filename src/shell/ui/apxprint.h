// Printing: the application's printer object, the Printing counter's scope,
// the print job that prints an editor view's pages (to a printer or to a
// PDF file), and printing a file to PDF without a window (zarns --print-pdf).
#pragma once
#include <QPrinter>
#include <QString>
#include <functional>
#include <string>

class MessageHost;
class QWidget;
class ZarnContext;
namespace zui {
class TZarnsEditView;
}

// The application's printer: the system's default printer, or PDF output
// when no printer is installed. It remembers which default it was made for,
// so that a change of the default printer replaces it.
class ZrnPrinter : public QPrinter {
 public:
  ZrnPrinter();
  // The default printer it was made for; empty for PDF output.
  QString MadeFor() const { return madeFor_; }
  // Whether it can print: PDF output can; a printer only when the system
  // knows it (a default printer that cannot be found prints nothing).
  bool Usable() const;

 private:
  QString madeFor_;
  bool known_ = true;
};

// The name of the system's default printer, empty when there is none.
// Replaceable for tests.
extern std::function<QString()> DefaultPrinterName;

// Makes `printer` when there is none yet; returns it.
ZrnPrinter* EnsurePrinter(ZrnPrinter*& printer);
// A change of the printer settings: when a printer object exists and the
// system's default printer is no longer the one it was made for, or it
// cannot print, it is replaced so that the next job uses the new default.
// Returns true when it was replaced.
bool EvPrinterChange(ZrnPrinter*& printer);

// Raises the application's Printing counter and puts the view in its
// printing state for the scope's lifetime.
class PrintingScope {
 public:
  PrintingScope(int& printing, zui::TZarnsEditView* view);
  ~PrintingScope();
  PrintingScope(const PrintingScope&) = delete;
  PrintingScope& operator=(const PrintingScope&) = delete;

 private:
  int& printing_;
  zui::TZarnsEditView* view_;
};

// The dialogs of Print and Print Setup; replaceable for tests. The print
// dialog gets the document's page count and returns true to print.
extern std::function<bool(QPrinter& printer, int pages, QWidget* owner)> PrintDialog;
extern std::function<void(QPrinter& printer, QWidget* owner)> PrintSetupDialog;

// The reasons a job fails, as the user reads them.
inline constexpr const char* kPrintOutOfMemory = "Out of memory";
inline constexpr const char* kPrintOutOfDisk = "Out of disk space";
inline constexpr const char* kPrintCanceled = "Printing canceled";
inline constexpr const char* kPrintFailed = "Error encountered during print";
// "'title' not printed. reason."
std::string PrintErrorText(const QString& title, const std::string& reason);

// The job: prints the pages of `view` that `printer` selects (all of them,
// or its page range) in the view's font. PDF output is made whole first and
// then replaces the file atomically, so a failed job leaves an older file
// as it was. The view must be in its printing state. Returns "" when
// printed, else one of the reasons above.
std::string PrintViewPages(zui::TZarnsEditView& view, QPrinter& printer);

// Print as the Print command does it: the print dialog over `owner` (null:
// the active window), then the job for `title` ("Document" when empty),
// with `printing` raised throughout. A failure is told through `messages`
// with the caption "Print Error". Returns true when the job printed.
bool PrintView(zui::TZarnsEditView& view, ZrnPrinter& printer, int& printing, const QString& title,
               MessageHost& messages, QWidget* owner);

// Prints `file` to the PDF file `out` as Print does to PDF: the same font,
// page size and pages. Returns "" when printed, else what went wrong.
std::string PrintFileToPdf(ZarnContext& ctx, const QString& file, const QString& out);

// Whether the command line is a --print-pdf request.
bool PrintPdfRequested(int argc, char** argv);
// zarns --print-pdf OUT.pdf FILE: prints without a window; 0 when printed,
// else a message on standard error and 1 (2 for a wrong command line).
int RunPrintPdf(int argc, char** argv);
