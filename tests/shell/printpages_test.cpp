// Printed pages as numbers: lines per page, page counts, the lines of each
// page, the preview's page navigation and where it places its pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "shell/printpages.h"

TEST(PrintPages, LineHeightIsFontHeightPlusLeading) {
  EXPECT_EQ(PrintLineHeight(12, 2), 14);
  EXPECT_EQ(PrintLineHeight(12, 0), 12);
  // A negative leading does not squeeze lines into each other.
  EXPECT_EQ(PrintLineHeight(12, -3), 12);
  // Metrics that cannot be read give 10.
  EXPECT_EQ(PrintLineHeight(0, 2), 10);
  EXPECT_EQ(PrintLineHeight(-5, 0), 10);
}

TEST(PrintPages, WholeLinesPerPage) {
  EXPECT_EQ(LinesPerPage(600, 10), 60);
  // A line that would stick out below the page goes to the next page.
  EXPECT_EQ(LinesPerPage(609, 10), 60);
  EXPECT_EQ(LinesPerPage(100, 15), 6);
  // A font taller than the page still prints, a line a page.
  EXPECT_EQ(LinesPerPage(5, 10), 1);
  EXPECT_EQ(LinesPerPage(0, 10), 1);
  // An unreadable line height counts as 10.
  EXPECT_EQ(LinesPerPage(600, 0), 60);
}

TEST(PrintPages, PageCountRoundsUpWithoutABlankLastPage) {
  EXPECT_EQ(PrintedPageCount(130, 60), 3);
  EXPECT_EQ(PrintedPageCount(120, 60), 2);  // no empty third page
  EXPECT_EQ(PrintedPageCount(121, 60), 3);
  EXPECT_EQ(PrintedPageCount(120, 50), 3);
  EXPECT_EQ(PrintedPageCount(60, 60), 1);
  EXPECT_EQ(PrintedPageCount(61, 60), 2);
  EXPECT_EQ(PrintedPageCount(1, 60), 1);
  // An empty document still prints one page.
  EXPECT_EQ(PrintedPageCount(0, 60), 1);
  EXPECT_EQ(PrintedPageCount(-1, 60), 1);
  EXPECT_EQ(PrintedPageCount(5, 0), 5);
  // Absurd counts stay within a page number.
  EXPECT_EQ(PrintedPageCount(1LL << 40, 1), 0x7fffffff);
}

TEST(PrintPages, EveryLineIsOnExactlyOnePage) {
  for (long long lines : {0LL, 1LL, 59LL, 60LL, 61LL, 119LL, 120LL, 130LL, 1000LL}) {
    for (int per : {1, 7, 60}) {
      const int pages = PrintedPageCount(lines, per);
      long long next = 0;
      for (int p = 1; p <= pages; ++p) {
        const PageLineRange r = PageLines(p, lines, per);
        EXPECT_EQ(r.first, next) << lines << "/" << per << " page " << p;
        EXPECT_LE(r.end - r.first, per);
        // Only an empty document has an empty page.
        if (lines > 0) {
          EXPECT_GT(r.end, r.first) << lines << "/" << per << " page " << p;
        }
        next = r.end;
      }
      EXPECT_EQ(next, lines) << lines << "/" << per;
      const PageLineRange past = PageLines(pages + 1, lines, per);
      EXPECT_EQ(past.first, past.end);
    }
  }
  const PageLineRange r = PageLines(3, 130, 60);
  EXPECT_EQ(r.first, 120);
  EXPECT_EQ(r.end, 130);
  EXPECT_EQ(PageLines(0, 130, 60).end, 0);
}

TEST(PreviewPages, NextAndPreviousStopAtTheEnds) {
  PreviewPageState s(3);
  EXPECT_EQ(s.PageText(), "Page 1");
  EXPECT_FALSE(s.CanPrevious());
  EXPECT_TRUE(s.CanNext());
  EXPECT_FALSE(s.Previous());
  EXPECT_EQ(s.FromPage(), 1);
  EXPECT_TRUE(s.Next());
  EXPECT_TRUE(s.Next());
  EXPECT_EQ(s.PageText(), "Page 3");
  EXPECT_FALSE(s.CanNext());
  EXPECT_FALSE(s.Next());
  EXPECT_EQ(s.FromPage(), 3);
  EXPECT_EQ(s.ToPage(), 3);
  EXPECT_TRUE(s.CanPrevious());
  EXPECT_TRUE(s.Previous());
  EXPECT_EQ(s.PageText(), "Page 2");
}

TEST(PreviewPages, TwoPages) {
  PreviewPageState s(4);
  s.TwoUpPages();
  EXPECT_TRUE(s.TwoUp());
  EXPECT_EQ(s.PageText(), "Page 1 - 2");
  s.TwoUpPages();  // already two: nothing changes
  EXPECT_EQ(s.PageText(), "Page 1 - 2");
  EXPECT_TRUE(s.Next());
  EXPECT_EQ(s.PageText(), "Page 2 - 3");
  EXPECT_TRUE(s.Next());
  EXPECT_EQ(s.PageText(), "Page 3 - 4");
  EXPECT_FALSE(s.CanNext());
  EXPECT_FALSE(s.Next());
  EXPECT_EQ(s.PageText(), "Page 3 - 4");
  s.OneUp();
  EXPECT_EQ(s.PageText(), "Page 3");
  EXPECT_TRUE(s.CanNext());
  EXPECT_TRUE(s.Next());
  // At the last page two pages show the one before it and the last.
  s.TwoUpPages();
  EXPECT_EQ(s.PageText(), "Page 3 - 4");
  EXPECT_TRUE(s.Previous());
  EXPECT_TRUE(s.Previous());
  EXPECT_EQ(s.PageText(), "Page 1 - 2");
  EXPECT_FALSE(s.CanPrevious());
  EXPECT_FALSE(s.Previous());
}

TEST(PreviewPages, OnePageDocumentShowsNoSecondPage) {
  PreviewPageState s(1);
  EXPECT_FALSE(s.CanNext());
  EXPECT_FALSE(s.CanPrevious());
  s.TwoUpPages();
  EXPECT_EQ(s.FromPage(), 1);
  EXPECT_EQ(s.ToPage(), 1);
  EXPECT_EQ(s.PageText(), "Page 1");
  PreviewPageState none(0);
  EXPECT_EQ(none.MaxPage(), 1);
}

TEST(PreviewPages, FewerPagesKeepTheShownPagesInRange) {
  PreviewPageState s(5);
  s.Next();
  s.Next();
  s.Next();
  s.TwoUpPages();
  EXPECT_EQ(s.PageText(), "Page 4 - 5");
  s.SetMaxPage(3);
  EXPECT_EQ(s.PageText(), "Page 2 - 3");
  s.SetMaxPage(1);
  EXPECT_EQ(s.PageText(), "Page 1");
  s.SetMaxPage(8);
  EXPECT_EQ(s.PageText(), "Page 1");
}

namespace {
bool Inside(const PreviewRect& r, int w, int h) {
  return r.x >= 15 && r.y >= 15 && r.x + r.width <= w - 15 && r.y + r.height <= h - 15;
}
}  // namespace

TEST(PreviewPages, PagesKeepTheirShapeAndFitTheWindow) {
  const int a4w = 9917, a4h = 14033;
  for (auto [w, h] : {std::pair{800, 600}, {600, 800}, {1280, 900}, {300, 1000}, {2000, 300}}) {
    for (bool two : {false, true}) {
      for (auto [pw, ph] : {std::pair{a4w, a4h}, {a4h, a4w}, {1000, 1000}}) {
        const PreviewPlacement p = PlacePreviewPages(w, h, pw, ph, two);
        EXPECT_EQ(p.page1.x, 15);
        EXPECT_EQ(p.page1.y, 15);
        EXPECT_TRUE(Inside(p.page1, w, h)) << w << "x" << h;
        // The true shape, to a pixel.
        EXPECT_LE(std::llabs(1LL * p.page1.width * ph - 1LL * p.page1.height * pw),
                  std::max(pw, ph))
            << w << "x" << h;
        // One side touches the margin: as large as fits.
        EXPECT_TRUE(
            p.page1.y + p.page1.height == h - 15 ||
            (two ? p.page2.x + p.page2.width >= w - 16 : p.page1.x + p.page1.width == w - 15))
            << w << "x" << h << " two " << two;
        if (two) {
          EXPECT_EQ(p.page2.x, p.page1.x + p.page1.width + 30);
          EXPECT_EQ(p.page2.y, p.page1.y);
          EXPECT_EQ(p.page2.width, p.page1.width);
          EXPECT_EQ(p.page2.height, p.page1.height);
          EXPECT_TRUE(Inside(p.page2, w, h)) << w << "x" << h;
        } else {
          EXPECT_EQ(p.page2, PreviewRect{});
        }
      }
    }
  }
  // A portrait page in a wide window fits the height.
  const PreviewPlacement p = PlacePreviewPages(800, 600, a4w, a4h, false);
  EXPECT_EQ(p.page1.height, 570);
  EXPECT_EQ(p.page1.width, 570 * a4w / a4h);
  // A window too small for anything still gets a page of at least a pixel.
  const PreviewPlacement tiny = PlacePreviewPages(10, 10, a4w, a4h, true);
  EXPECT_GE(tiny.page1.width, 1);
  EXPECT_GE(tiny.page1.height, 1);
}
