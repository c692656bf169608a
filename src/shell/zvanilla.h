// Convert to Text: the readable words of any file (a word-processor
// document, a binary with text inside) written as a ".zxt" document beside
// it. The source is only read; the output replaces a file of its name in one
// rename, so a failed conversion leaves whatever was there before.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/pfile.h"

// The result of one conversion.
struct VanillaResult {
  bool ok = false;
  std::string output;  // the file written (also set when it failed: the name tried)
  // What went wrong, for the user: empty when ok.
  std::string error;
};

class TZarnsVanilla {
 public:
  virtual ~TZarnsVanilla();

  // Converts the file `fileName` and writes its words to the output file
  // (OutputName). Returns the result; on failure nothing was created and a
  // file of the output's name is left as it was.
  VanillaResult ReadWords(const std::string& fileName);
  // The same with the designed signature: `filecreated` receives the name
  // of the file created (it may be `fileName` itself). False on failure.
  bool ReadWords(const std::string& fileName, std::string& filecreated);

  // The output name for `fileName`: the source's directory, its own name up
  // to its last "." (or all of it) and ".zxt". A source that is itself a
  // ".zxt" document (in any case) gets "-text.zxt" instead, so that it is
  // never replaced by its own conversion.
  static std::string OutputName(const std::string& fileName);

  // The block size of a round and the group size of the cleaning.
  static constexpr std::size_t kBlock = 1024;
  static constexpr std::size_t kGroup = 4;
  // Pending fragments longer than this are dropped when another arrives.
  static constexpr std::size_t kPendingLimit = 10;
};

// Cleans `n` bytes of `block` in place (n <= 1024): groups of 4 bytes with
// a byte of 0x80 or above, or of control bytes only, become blanks; in the
// other groups each control byte becomes a blank; carriage returns are put
// back. Afterwards only 0x20..0x7F and 0x0D remain.
void CleanBlock(unsigned char* block, std::size_t n);

// The word pass of the conversion, fed one block at a time, so that it can
// be tested and benchmarked without files.
class VanillaWords {
 public:
  // Splits one cleaned block into words and returns the text the block adds
  // to the output (empty when it kept no word). Pending fragments carry over.
  const std::string& Block(const unsigned char* block, std::size_t n);
  // The pending fragments, with a blank after each.
  const std::string& Pending() const { return pending_; }

 private:
  void Word(const unsigned char* w, std::size_t len);
  std::string line_;     // the output line of the block under way
  std::string pending_;  // at most 13 characters
  int kept_ = 0;
};
