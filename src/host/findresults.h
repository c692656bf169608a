// Find results: the list of catalogued files a word search shows.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct MatchItem {
  std::string name;          // file name as catalogued
  std::uint32_t fileid = 0;  // offset of the name in the files buffer
};

// The transfer record of the Find results dialog.
struct ShowMatchXfer {
  std::vector<MatchItem> ListOfMatches;  // the list, shown sorted by name
  std::string MatchString;               // the words field (at most 255 characters)
  std::string PathString;                // the path field (at most 255 characters)
};

class FindResultsHost {
 public:
  virtual ~FindResultsHost();
  // The Find results dialog, modal, filled from `xfer`; it runs further
  // searches itself.
  virtual void ShowMatchDialog(const ShowMatchXfer& xfer) = 0;
};
