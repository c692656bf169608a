// The print preview: a window of its own that takes the main window's place
// while it runs, with a tool bar (previous, next, one page, two pages, the
// page text, print, done) and one or two pages drawn by the code that prints.
#pragma once
#include <QMainWindow>
#include <QSize>
#include <QSizeF>
#include <functional>
#include <memory>

#include "shell/printpages.h"

class QLabel;
class QToolBar;
class ZrnPrinter;
namespace zui {
class TZarnsEditView;
class ViewPages;
}  // namespace zui

// One page of the preview: the paper, and the page printed on it.
class TApxPreviewPage : public QWidget {
  Q_OBJECT
 public:
  explicit TApxPreviewPage(QWidget* parent);
  // Shows page `page` of `pages` (printed by `view`) on paper `paper`
  // device pixels large whose printable area starts at `origin`.
  void SetPage(const zui::ViewPages* pages, const zui::TZarnsEditView* view, QSizeF paper,
               QPointF origin, int page);
  int PageNumber() const { return page_; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  const zui::ViewPages* pages_ = nullptr;
  const zui::TZarnsEditView* view_ = nullptr;
  QSizeF paper_;
  QPointF origin_;
  int page_ = 0;
};

class TApxPreviewWin : public QMainWindow {
  Q_OBJECT
 public:
  // Command ids of the tool bar.
  enum {
    PPR_PREVIOUS = 24500,
    PPR_NEXT = 24501,
    PPR_ONEUP = 24502,
    PPR_TWOUP = 24503,
    PPR_PAGETEXT = 24504,
    PPR_DONE = 24505,
  };

  // A preview of `view` as `printer` prints it, under `parent` (the main
  // window, whose caption it takes; `caption` until then). `print` runs the
  // Print command. The view must be in its printing state while it shows.
  TApxPreviewWin(QWidget* parent, ZrnPrinter* printer, zui::TZarnsEditView* view,
                 const QString& caption, std::function<void()> print);
  ~TApxPreviewWin() override;

  // The tool bar's commands.
  void PPR_Previous();
  void PPR_Next();
  void PPR_OneUp();
  void PPR_TwoUp();
  void PPR_Done();
  void CmPrint();
  // Their enablers: Previous away from page 1, Next away from the last
  // page, Two pages only for paper at least as tall as wide; Print always.
  bool PPR_PreviousEnable() const { return state_.CanPrevious(); }
  bool PPR_NextEnable() const { return state_.CanNext(); }
  bool PPR_TwoUpEnable() const;
  bool CmPrintEnable() const { return true; }

  int FromPage() const { return state_.FromPage(); }
  int ToPage() const { return state_.ToPage(); }
  int MaxPage() const { return state_.MaxPage(); }
  // The page text of the tool bar.
  QString PageText() const;
  // Measures the document again for the printer's current paper (after a
  // print job from the preview changed it).
  void Remeasure();

  // Fields.
  int PageNumber = 1;
  zui::TZarnsEditView* CurrWindow = nullptr;
  QToolBar* PreviewSpeedBar = nullptr;
  TApxPreviewPage* Page1 = nullptr;
  TApxPreviewPage* Page2 = nullptr;  // null while one page shows
  ZrnPrinter* Printer = nullptr;
  QSize PrintExtent;  // the paper in printer pixels
  QWidget* Client = nullptr;

 signals:
  // The window was closed (Done or its close box): the preview ends.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* obj, QEvent* e) override;

 private:
  void BuildToolBar();
  void Layout();
  void ShowPages();
  void UpdateGadgets();

  std::function<void()> print_;
  std::unique_ptr<zui::ViewPages> pages_;
  QSizeF paper_;
  QPointF origin_;
  PreviewPageState state_;
  QLabel* pageText_ = nullptr;
};
