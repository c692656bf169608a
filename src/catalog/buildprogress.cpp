#include "catalog/buildprogress.h"

#include <chrono>

BuildProgress::~BuildProgress() = default;

namespace {
long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

StreamProgress::~StreamProgress() = default;

void StreamProgress::SetMax(int Max) {
  max_ = Max;
  value_ = 0;
}
void StreamProgress::SetHeadText(const std::string& txt) {
  head_ = txt;
  Show(true);
}
void StreamProgress::SetCreateDirMapCurrent() { stage_ = "Create Directory Map"; }
void StreamProgress::SetCreateCatalogCurrent() { stage_ = "Create Word Catalog"; }
void StreamProgress::SetCreateFileListCurrent() { stage_ = "Create FileType Lists"; }
void StreamProgress::SetDirNumText(int DirNum) { dirNum_ = DirNum; }

bool StreamProgress::StepVal(const std::string&) {
  // The gauge wraps at its maximum, as the dialog's does.
  if (++value_ >= max_) value_ = 0;
  Show(false);
  return true;
}

void StreamProgress::Show(bool force) {
  if (!out_) return;
  long long now = NowMs();
  if (!force && now - lastShownMs_ < 200) return;
  lastShownMs_ = now;
  // One line, rewritten in place; the erase sequence clears what a longer
  // earlier line left behind.
  std::fprintf(out_, "\r\x1b[K%s  %s  directory %d of %d", head_.c_str(), stage_.c_str(), value_,
               stage_ == "Create Directory Map" ? dirNum_ : max_ - 1);
  std::fflush(out_);
  shown_ = true;
}

void StreamProgress::Finish() {
  if (out_ && shown_) {
    std::fputs("\r\x1b[K", out_);
    std::fflush(out_);
  }
  shown_ = false;
}
