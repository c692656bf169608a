// The editor view's printed pages: the document's lines laid out at the
// page's width in the printing font, wrapped as the view wraps them on
// screen, and cut into pages of whole lines. Print, the preview and PDF
// output all draw their pages from one of these.
#pragma once
#include <QFont>
#include <QSizeF>
#include <memory>
#include <vector>

class QPaintDevice;
class QPainter;
class QTextDocument;
class QTextLayout;

namespace zui {

class ViewPages {
 public:
  // Lays out the blocks of `doc` in `font` for pages of `pageSize` device
  // pixels (the printable area) on `device`, whose resolution sets the
  // font's size in pixels.
  ViewPages(const QTextDocument& doc, const QFont& font, QPaintDevice* device,
            const QSizeF& pageSize);
  ~ViewPages();
  ViewPages(const ViewPages&) = delete;
  ViewPages& operator=(const ViewPages&) = delete;

  // The line height in device pixels: the font's height and external leading.
  int LineHeight() const { return lineHeight_; }
  // Whole lines a page holds.
  int LinesPerPage() const { return perPage_; }
  // Printed lines (document lines after wrapping at the page's width).
  long long Lines() const { return static_cast<long long>(lines_.size()); }
  // Pages the lines fill: at least 1.
  int PageCount() const;
  // The printable area the lines were laid out for.
  QSizeF PageSize() const { return pageSize_; }

  // Draws page `page` (1-based) with its top-left corner at the painter's
  // origin, in device pixels; false (and nothing drawn) past the last page.
  bool DrawPage(QPainter& p, int page) const;

 private:
  struct Line {
    int layout;
    int line;
  };
  QSizeF pageSize_;
  int lineHeight_ = 10;
  int perPage_ = 1;
  std::vector<std::unique_ptr<QTextLayout>> layouts_;
  std::vector<Line> lines_;
};

}  // namespace zui
