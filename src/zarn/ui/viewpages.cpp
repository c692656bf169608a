#include "zarn/ui/viewpages.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>
#include <cmath>

#include "shell/printpages.h"

namespace zui {

ViewPages::ViewPages(const QTextDocument& doc, const QFont& font, QPaintDevice* device,
                     const QSizeF& pageSize)
    : pageSize_(pageSize) {
  const QFont f(font, device);
  const QFontMetricsF fm(f, device);
  lineHeight_ = PrintLineHeight(static_cast<int>(std::ceil(fm.height())),
                                static_cast<int>(std::ceil(fm.leading())));
  perPage_ = ::LinesPerPage(static_cast<int>(pageSize.height()), lineHeight_);

  // Wrapped as the view wraps: at word boundaries, anywhere in a word wider
  // than the page. Tabs stop every eight average characters.
  QTextOption opt;
  opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  opt.setTabStopDistance(8 * fm.averageCharWidth());
  const qreal width = pageSize.width();
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    auto layout = std::make_unique<QTextLayout>(b.text(), f, device);
    layout->setTextOption(opt);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    int n = 0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
      line.setLineWidth(width);
      lines_.push_back({static_cast<int>(layouts_.size()), n++});
    }
    layout->endLayout();
    layouts_.push_back(std::move(layout));
  }
}

ViewPages::~ViewPages() = default;

int ViewPages::PageCount() const { return PrintedPageCount(Lines(), perPage_); }

bool ViewPages::DrawPage(QPainter& p, int page) const {
  if (page < 1 || page > PageCount()) return false;
  const PageLineRange r = PageLines(page, Lines(), perPage_);
  p.save();
  p.setPen(Qt::black);
  for (long long i = r.first; i < r.end; ++i) {
    const Line& l = lines_[static_cast<std::size_t>(i)];
    const QTextLine line = layouts_[static_cast<std::size_t>(l.layout)]->lineAt(l.line);
    // The line's own place in its paragraph does not count: lines stack
    // from the top of the page at the printing line height.
    const qreal y = static_cast<qreal>((i - r.first) * lineHeight_);
    line.draw(&p, QPointF(-line.position().x(), y - line.position().y()));
  }
  p.restore();
  return true;
}

}  // namespace zui
