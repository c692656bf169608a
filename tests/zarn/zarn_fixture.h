// Shared set-up of the zarn engine tests: an engine context of the test's
// own, an in-memory editor view that is its current view, a recording host
// and launcher, a fixed clock, a clean data directory and a private working
// directory for "output.zrn", which opens as a new in-memory view.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>
#include <memory>
#include <string>
#include <vector>

#include "common/recordinghost.h"
#include "common/testenv.h"
#include "platform/pclock.h"
#include "platform/pfile.h"
#include "platform/plauncher.h"
#include "store/zrnio.h"
#include "store/zrnlvl.h"
#include "zarn/memtextbuf.h"
#include "zarn/viewcmds.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"
#include "zarn/zrnvexe.h"

class ZarnTest : public ::testing::Test, public ViewOpener {
 protected:
  struct Doc {
    std::unique_ptr<MemoryTextBuffer> buf;
    std::unique_ptr<TZarnsEditView> view;
  };

  void SetUp() override {
    TestEnv::ClearDataDir();
    workDir_ = TestEnv::FreshDir("work-" + std::to_string(++counter_));
    ASSERT_EQ(0, ::chdir(workDir_.c_str()));
    plat::SetLauncher(&launcher);
    SetClock(2026, 12, 6, 10, 0, 0, 0);
    ctx_ = std::make_unique<ZarnContext>(host, files, this);
    main = NewDoc("");
    main->view->SetFocus();
  }
  void TearDown() override {
    docs_.clear();
    ctx_.reset();
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

  // A new document in a view of the test's context; not made current.
  Doc* NewDoc(const std::string& text) {
    auto d = std::make_unique<Doc>();
    d->buf = std::make_unique<MemoryTextBuffer>(text);
    d->view = std::make_unique<TZarnsEditView>(Ctx(), d->buf.get());
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
  // The commands of the main view.
  ViewCommands Cmd() { return ViewCommands(V()); }
  ZarnContext& Ctx() { return *ctx_; }

  // Opening "output.zrn" as a document: a new in-memory view of the file.
  TZarnsEditView* OpenView(const std::string& path) override {
    openedPaths.push_back(path);
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes)) return nullptr;
    outputs.push_back(NewDoc(bytes));
    return outputs.back()->view.get();
  }
  std::string OutputText() const {
    return outputs.empty() ? std::string() : outputs.back()->buf->GetText();
  }

  std::string Stored(std::string name) {
    std::string v;
    ZrnLvl1 s = Ctx().Store();
    return s.Get(name, v) ? v : std::string("<none>");
  }
  void Store(std::string name, std::string value) {
    ZrnLvl1 s = Ctx().Store();
    ASSERT_TRUE(s.Set(name, value));
  }

  ZrnIO files;
  RecordingHost host;
  plat::RecordingLauncher launcher;
  Doc* main = nullptr;
  std::vector<Doc*> outputs;             // documents the engine opened, in order
  std::vector<std::string> openedPaths;  // every path it asked to open

 private:
  std::unique_ptr<ZarnContext> ctx_;
  std::vector<std::unique_ptr<Doc>> docs_;
  std::string workDir_;
  static inline int counter_ = 0;
};
