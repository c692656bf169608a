#include "host/installedhost.h"

namespace {

Host* installed = nullptr;  // replaced by the zarn engine context

Host& Target() {
  static SilentHost silent;
  return installed ? *installed : silent;
}

class InstalledHost : public Host {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    return Target().MessageBox(text, caption, flags);
  }
  void ShowMatchDialog(const ShowMatchXfer& xfer) override { Target().ShowMatchDialog(xfer); }
  std::optional<std::string> InputRequired(const std::string& request,
                                           const std::string& caption) override {
    return Target().InputRequired(request, caption);
  }
  std::optional<std::string> AskZarnName(const std::string& initial) override {
    return Target().AskZarnName(initial);
  }
  std::optional<std::string> OpenFileDialog(const std::string& title,
                                            const std::string& filter) override {
    return Target().OpenFileDialog(title, filter);
  }
  bool AddFile(const std::string& path) override { return Target().AddFile(path); }
};

}  // namespace

Host& TheHost() {
  static InstalledHost relay;
  return relay;
}

void SetHost(Host* h) { installed = h; }
