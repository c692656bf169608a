// The clip store behind Copy and Paste: every copied selection is kept, in
// copy order, while the program runs, and offered again on the paste menu.
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

// The program's clip store (owned by the application object, which creates
// it at start-up and deletes it at the end). Code that copies before the
// application made one (the command line, tests) gets one made on demand by
// TheClips().
extern ZrnClip* Clips;
// Command id of the next paste-menu item: 10001 at start.
extern std::int32_t NumClips;
// Clips, created when there is none yet.
ZrnClip& TheClips();
