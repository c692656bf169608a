// Shared set-up of the zarn fuzz targets: a private data directory and
// working directory, a host that answers every dialog at once, a fresh
// engine context per input that opens "output.zrn" as an in-memory view,
// and a launcher that starts nothing.
#pragma once
#include <unistd.h>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/recordinghost.h"
#include "platform/pfile.h"
#include "platform/plauncher.h"
#include "store/zrnio.h"
#include "zarn/memtextbuf.h"
#include "zarn/viewcmds.h"
#include "zarn/zarnctx.h"
#include "zarn/zrnsedtv.h"

namespace fuzzenv {

struct Doc {
  std::unique_ptr<MemoryTextBuffer> buf;
  std::unique_ptr<TZarnsEditView> view;
};

inline RecordingHost& Host() {
  static RecordingHost h;
  return h;
}

inline ZrnIO& FileSet() {
  static ZrnIO files;
  return files;
}

// The documents of one input and the context their views belong to.
struct Session : ViewOpener {
  ZarnContext ctx{Host(), FileSet(), this};
  std::vector<std::unique_ptr<Doc>> docs;  // declared last: gone before the context

  Doc* NewDoc(const std::string& text) {
    auto d = std::make_unique<Doc>();
    d->buf = std::make_unique<MemoryTextBuffer>(text);
    d->view = std::make_unique<TZarnsEditView>(ctx, d->buf.get());
    docs.push_back(std::move(d));
    return docs.back().get();
  }
  TZarnsEditView* OpenView(const std::string& path) override {
    std::string bytes;
    if (!plat::ReadWholeFile(path, bytes)) return nullptr;
    return NewDoc(bytes)->view.get();
  }
};

inline std::unique_ptr<Session>& Current() {
  static std::unique_ptr<Session> s;
  return s;
}

inline Doc* NewDoc(const std::string& text) { return Current()->NewDoc(text); }
inline ZarnContext& Ctx() { return Current()->ctx; }

inline void Init() {
  char tmpl[] = "/tmp/zarns-fuzz-XXXXXX";
  const char* root = mkdtemp(tmpl);
  if (!root) std::abort();
  const std::string r = root;
  setenv("ZARNS_DATA_DIR", (r + "/data").c_str(), 1);
  setenv("HOME", r.c_str(), 1);
  setenv("XDG_DATA_HOME", (r + "/xdg").c_str(), 1);
  if (chdir(root) != 0) std::abort();
  static plat::RecordingLauncher launcher;
  plat::SetLauncher(&launcher);
}

// Forgets what the last input left behind: a fresh context, no documents.
inline void Reset() {
  Current().reset();
  Current() = std::make_unique<Session>();
  RecordingHost& h = Host();
  h.boxes.clear();
  h.matchDialogs.clear();
  h.inputRequests.clear();
  h.addedFiles.clear();
}

}  // namespace fuzzenv
