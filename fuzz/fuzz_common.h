// Shared set-up of the zarn fuzz targets: a private data directory and
// working directory, a host that answers every dialog at once and opens
// "output.zrn" as an in-memory view, and a launcher that starts nothing.
#pragma once
#include <unistd.h>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/recordinghost.h"
#include "host/installedhost.h"
#include "platform/pfile.h"
#include "platform/plauncher.h"
#include "store/zrnio.h"
#include "zarn/memtextbuf.h"
#include "zarn/zrnsedtv.h"

namespace fuzzenv {

struct Doc {
  std::unique_ptr<MemoryTextBuffer> buf;
  std::unique_ptr<TZarnsEditView> view;
};

inline std::vector<std::unique_ptr<Doc>>& Docs() {
  static std::vector<std::unique_ptr<Doc>> docs;
  return docs;
}

inline Doc* NewDoc(const std::string& text) {
  auto d = std::make_unique<Doc>();
  d->buf = std::make_unique<MemoryTextBuffer>(text);
  d->view = std::make_unique<TZarnsEditView>(d->buf.get());
  Docs().push_back(std::move(d));
  return Docs().back().get();
}

inline bool OpenOutput(const std::string& path, void*) {
  std::string bytes;
  if (!plat::ReadWholeFile(path, bytes)) return false;
  NewDoc(bytes)->view->SetFocus();
  return true;
}

inline RecordingHost& Host() {
  static RecordingHost h;
  return h;
}

inline void Init() {
  char tmpl[] = "/tmp/zarns-fuzz-XXXXXX";
  const char* root = mkdtemp(tmpl);
  if (!root) std::abort();
  const std::string r = root;
  setenv("ZARNS_DATA_DIR", (r + "/data").c_str(), 1);
  setenv("HOME", r.c_str(), 1);
  setenv("XDG_DATA_HOME", (r + "/xdg").c_str(), 1);
  if (chdir(root) != 0) std::abort();
  Host().onAddFile = &OpenOutput;
  SetHost(&Host());
  static ZrnIO files;
  Files = &files;
  static plat::RecordingLauncher launcher;
  plat::SetLauncher(&launcher);
}

// Forgets what the last input left behind.
inline void Reset() {
  CurrentView = nullptr;
  Docs().clear();
  RecordingHost& h = Host();
  h.boxes.clear();
  h.matchDialogs.clear();
  h.inputRequests.clear();
  h.addedFiles.clear();
}

}  // namespace fuzzenv
