// Shared set-up of the zarn engine tests: an in-memory editor view that is
// the current view, a recording host and launcher, a fixed clock, a clean
// data directory and a private working directory for "output.zrn".
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>
#include <memory>
#include <string>
#include <vector>

#include "common/recordinghost.h"
#include "common/testenv.h"
#include "host/installedhost.h"
#include "platform/pclock.h"
#include "platform/pfile.h"
#include "platform/plauncher.h"
#include "store/zrnlvl.h"
#include "zarn/memtextbuf.h"
#include "zarn/zrnclip.h"
#include "zarn/zrnsedtv.h"
#include "zarn/zrnvexe.h"

class ZarnTest : public ::testing::Test {
 protected:
  struct Doc {
    std::unique_ptr<MemoryTextBuffer> buf;
    std::unique_ptr<TZarnsEditView> view;
  };

  void SetUp() override {
    TestEnv::ClearDataDir();
    workDir_ = TestEnv::FreshDir("work-" + std::to_string(++counter_));
    ASSERT_EQ(0, ::chdir(workDir_.c_str()));
    Files = &files;
    SetHost(&host);
    plat::SetLauncher(&launcher);
    SetClock(2026, 12, 6, 10, 0, 0, 0);
    timeinterval = 0;
    cp = 0;
    pos = 0;
    host.onAddFile = &ZarnTest::OpenOutput;
    host.onAddFileCtx = this;
    main = NewDoc("");
  }
  void TearDown() override {
    docs_.clear();
    CurrentView = nullptr;
    SetHost(nullptr);
    Files = nullptr;
    plat::SetLauncher(nullptr);
    plat::SetClockForTest(nullptr);
  }

  void SetClock(int y, int mo, int d, int h, int mi, int s, int ms) {
    plat::LocalTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.milliseconds = ms;
    plat::SetClockForTest([t] { return t; });
  }

  Doc* NewDoc(const std::string& text) {
    auto d = std::make_unique<Doc>();
    d->buf = std::make_unique<MemoryTextBuffer>(text);
    d->view = std::make_unique<TZarnsEditView>(d->buf.get());
    d->view->SetFocus();
    docs_.push_back(std::move(d));
    return docs_.back().get();
  }

  // The main document holds `text`, the caret at `caret` (default: the end).
  void Set(const std::string& text, long caret = -1) {
    main->buf->SetText(text);
    const auto at = caret < 0 ? main->buf->GetTextLength() : static_cast<std::uint32_t>(caret);
    main->buf->SetSelection(at, at);
    main->view->SetFocus();
  }
  std::string Text() const { return main->buf->GetText(); }
  TZarnsEditView& V() { return *main->view; }

  // Opening "output.zrn" as a document: a new in-memory view of the file.
  static bool OpenOutput(const std::string& path, void* ctx) {
    auto* self = static_cast<ZarnTest*>(ctx);
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes)) return false;
    self->outputs.push_back(self->NewDoc(bytes));
    return true;
  }
  std::string OutputText() const {
    return outputs.empty() ? std::string() : outputs.back()->buf->GetText();
  }

  std::string Stored(std::string name) {
    std::string v;
    ZrnLvl1 s(files);
    return s.Get(name, v) ? v : std::string("<none>");
  }
  void Store(std::string name, std::string value) {
    ZrnLvl1 s(files);
    ASSERT_TRUE(s.Set(name, value));
  }

  ZrnIO files;
  RecordingHost host;
  plat::RecordingLauncher launcher;
  Doc* main = nullptr;
  std::vector<Doc*> outputs;

 private:
  std::vector<std::unique_ptr<Doc>> docs_;
  std::string workDir_;
  static inline int counter_ = 0;
};
