#include "host/host.h"

MessageHost::~MessageHost() = default;
PromptHost::~PromptHost() = default;
FindResultsHost::~FindResultsHost() = default;
Host::~Host() = default;

int SilentHost::MessageBox(const std::string&, const std::string&, unsigned) { return IDOK; }

void SilentHost::ShowMatchDialog(const ShowMatchXfer&) {}

std::optional<std::string> SilentHost::InputRequired(const std::string&, const std::string&) {
  return std::nullopt;
}

std::optional<std::string> SilentHost::AskZarnName(const std::string&) { return std::nullopt; }

std::optional<std::string> SilentHost::OpenFileDialog(const std::string&, const std::string&) {
  return std::nullopt;
}

bool SilentHost::AddFile(const std::string&) { return false; }
