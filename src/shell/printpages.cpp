#include "shell/printpages.h"

#include <algorithm>

int PrintLineHeight(int fontHeight, int externalLeading) {
  if (fontHeight <= 0) return 10;
  return fontHeight + std::max(0, externalLeading);
}

int LinesPerPage(int pageHeight, int lineHeight) {
  if (lineHeight <= 0) lineHeight = 10;
  return std::max(1, pageHeight / lineHeight);
}

int PrintedPageCount(long long lines, int perPage) {
  perPage = std::max(1, perPage);
  if (lines <= 0) return 1;
  const long long pages = (lines + perPage - 1) / perPage;
  // More pages than a page number can count is no document anyone prints.
  return static_cast<int>(std::min<long long>(pages, 0x7fffffff));
}

PageLineRange PageLines(int page, long long lines, int perPage) {
  perPage = std::max(1, perPage);
  PageLineRange r;
  if (page < 1) return r;
  r.first = std::min(lines, static_cast<long long>(page - 1) * perPage);
  r.end = std::min(lines, r.first + perPage);
  return r;
}

PreviewPageState::PreviewPageState(int maxPage) : max_(std::max(1, maxPage)) {}

void PreviewPageState::SetMaxPage(int maxPage) {
  max_ = std::max(1, maxPage);
  if (to_ > max_) {
    const int shown = to_ - from_;
    to_ = max_;
    from_ = std::max(1, to_ - shown);
  }
}

bool PreviewPageState::Previous() {
  if (from_ <= 1) return false;
  --from_;
  --to_;
  return true;
}

bool PreviewPageState::Next() {
  if (to_ >= max_) return false;
  ++from_;
  ++to_;
  return true;
}

void PreviewPageState::OneUp() {
  twoUp_ = false;
  to_ = from_;
}

void PreviewPageState::TwoUpPages() {
  if (twoUp_) return;
  twoUp_ = true;
  if (from_ == max_ && from_ >= 2) {
    from_ = max_ - 1;
    to_ = max_;
  } else {
    to_ = std::min(from_ + 1, max_);
  }
}

std::string PreviewPageState::PageText() const {
  if (from_ != to_) return "Page " + std::to_string(from_) + " - " + std::to_string(to_);
  return "Page " + std::to_string(from_);
}

PreviewPlacement PlacePreviewPages(int clientWidth, int clientHeight, int pageWidth, int pageHeight,
                                   bool twoUp) {
  constexpr int kMargin = 15;
  constexpr int kGap = 30;
  const int n = twoUp ? 2 : 1;
  const long long availW = std::max(1, (clientWidth - 2 * kMargin - (n - 1) * kGap) / n);
  const long long availH = std::max(1, clientHeight - 2 * kMargin);
  const long long pw = std::max(1, pageWidth);
  const long long ph = std::max(1, pageHeight);
  long long w, h;
  // Fit the height when the page at the full width would be too tall.
  if (availH * pw < availW * ph) {
    h = availH;
    w = std::max(1LL, h * pw / ph);
  } else {
    w = availW;
    h = std::max(1LL, w * ph / pw);
  }
  PreviewPlacement p;
  p.page1 = {kMargin, kMargin, static_cast<int>(w), static_cast<int>(h)};
  if (twoUp)
    p.page2 = {kMargin + static_cast<int>(w) + kGap, kMargin, p.page1.width, p.page1.height};
  return p;
}
