// The clip store behind Copy and Paste: every copied selection is kept, in
// copy order, while the program runs, and offered again on the paste menu.
// The engine context holds the store of its views.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class ZrnClip {
 public:
  ZrnClip() = default;
  virtual ~ZrnClip();

  // Appends a clip; numclips grows by one.
  void AddClip(const std::string& clip);
  // The clip at `index` (0 = the first copied); `out` is left alone and the
  // result is false for an index that holds no clip.
  bool GetClip(std::int32_t index, std::string& out) const;
  // Removes clip `index` (nothing for an index that holds none).
  void DeleteClip(std::int32_t index);
  // Removes every clip; numclips becomes 0.
  void DeleteClips();

  std::int32_t numclips = 0;          // number of clips held
  std::vector<std::string> ClipsPtr;  // the clips in copy order
};
