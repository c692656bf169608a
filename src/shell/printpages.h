// Printed pages as numbers: how many lines fit a page, how many pages a
// document fills, which lines each page holds, and the print preview's page
// navigation and page placement. Printing, the preview and PDF output all
// count their pages here.
#pragma once
#include <string>

// Line height of the printing font: its height plus its external leading, or
// 10 when the font's metrics cannot be read (a height of 0 or less).
int PrintLineHeight(int fontHeight, int externalLeading);

// Whole lines that fit a page `pageHeight` high: a line that would stick out
// below the page starts the next one. At least 1, so that a font taller than
// the page still prints every line (cut at the page's edge) instead of none.
int LinesPerPage(int pageHeight, int lineHeight);

// Pages that `lines` lines fill at `perPage` lines a page: lines ÷ perPage
// rounded up, and at least 1 (an empty document prints one empty page). A
// last page that the lines fill exactly is the last page: no blank page follows.
int PrintedPageCount(long long lines, int perPage);

// The lines of page `page` (1-based): [first, end). Empty past the last page.
struct PageLineRange {
  long long first = 0;
  long long end = 0;
};
PageLineRange PageLines(int page, long long lines, int perPage);

// The preview's pages: the first and last page shown, one or two at a time,
// within pages 1 to the maximum page.
class PreviewPageState {
 public:
  explicit PreviewPageState(int maxPage = 1);

  int FromPage() const { return from_; }
  int ToPage() const { return to_; }
  int MaxPage() const { return max_; }
  bool TwoUp() const { return twoUp_; }
  // A new page count (the document was measured again): the pages shown
  // stay where they are when they still exist, else end at the last page.
  void SetMaxPage(int maxPage);

  // Previous is offered away from page 1, Next away from the last page.
  bool CanPrevious() const { return from_ != 1; }
  bool CanNext() const { return to_ != max_; }
  // One page back or on (both shown pages move); false at the ends, where
  // nothing changes.
  bool Previous();
  bool Next();
  // Shows one page: the first of the two shown.
  void OneUp();
  // Shows two pages: at the last page (of two or more) the one before it and
  // the last, else this page and the next. A one-page document shows its one
  // page: there is no second page to show.
  void TwoUpPages();

  // "Page %d", or "Page %d - %d" while two different pages are shown.
  std::string PageText() const;

 private:
  int from_ = 1;
  int to_ = 1;
  int max_ = 1;
  bool twoUp_ = false;
};

// Where the preview puts its pages in a client area of clientWidth ×
// clientHeight pixels, for paper of pageWidth × pageHeight (any unit): the
// first page 15 pixels in from the left and top, the second 30 pixels to the
// right of it with the same size, each page in its true shape and as large
// as fits with 15 pixels to spare at the right and bottom.
struct PreviewRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PreviewRect&) const = default;
};
struct PreviewPlacement {
  PreviewRect page1;
  PreviewRect page2;  // empty with one page
};
PreviewPlacement PlacePreviewPages(int clientWidth, int clientHeight, int pageWidth, int pageHeight,
                                   bool twoUp);
