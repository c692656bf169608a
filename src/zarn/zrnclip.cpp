#include "zarn/zrnclip.h"

ZrnClip::~ZrnClip() = default;

void ZrnClip::AddClip(const std::string& clip) {
  ClipsPtr.push_back(clip);
  ++numclips;
}

bool ZrnClip::GetClip(std::int32_t index, std::string& out) const {
  if (index < 0 || static_cast<std::size_t>(index) >= ClipsPtr.size()) return false;
  out = ClipsPtr[static_cast<std::size_t>(index)];
  return true;
}

void ZrnClip::DeleteClip(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= ClipsPtr.size()) return;
  ClipsPtr.erase(ClipsPtr.begin() + index);
  --numclips;
}

void ZrnClip::DeleteClips() {
  ClipsPtr.clear();
  numclips = 0;
}
