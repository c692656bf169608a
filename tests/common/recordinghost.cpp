#include "common/recordinghost.h"

namespace {

template <typename T>
T TakeFront(std::vector<T>& queue, T fallback) {
  if (queue.empty()) return fallback;
  T v = queue.front();
  queue.erase(queue.begin());
  return v;
}

}  // namespace

int RecordingHost::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  boxes.push_back({text, caption, flags});
  return TakeFront(answers, static_cast<int>(IDOK));
}

void RecordingHost::ShowMatchDialog(const ShowMatchXfer& xfer) { matchDialogs.push_back(xfer); }

std::optional<std::string> RecordingHost::InputRequired(const std::string& request,
                                                        const std::string& caption) {
  inputRequests.emplace_back(request, caption);
  return TakeFront(inputs, std::optional<std::string>{});
}

std::optional<std::string> RecordingHost::AskZarnName(const std::string& initial) {
  inputRequests.emplace_back(initial, "Enter ZarnName");
  return TakeFront(inputs, std::optional<std::string>{});
}

std::optional<std::string> RecordingHost::OpenFileDialog(const std::string& title,
                                                         const std::string&) {
  openDialogs.push_back(title);
  return TakeFront(openAnswers, std::optional<std::string>{});
}

bool RecordingHost::AddFile(const std::string& path) {
  addedFiles.push_back(path);
  return true;
}
