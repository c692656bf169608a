// The data file set's readers over any bytes: the sequential string reader
// from start to end, the string read at offsets the input itself names, and
// the record read. Every string comes back within the 4096-byte window and
// the sequential reader never runs past the end.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/pdatadir.h"
#include "store/zrnio.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char tmpl[] = "/tmp/zarns-fuzz-zrnio-XXXXXX";
  const char* r = mkdtemp(tmpl);
  if (!r) std::abort();
  std::string root = std::string(r) + "/";
  setenv("ZARNS_DATA_DIR", (root + "data").c_str(), 1);
  setenv("HOME", root.c_str(), 1);
  plat::DataDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = plat::DataPath("BROWSE.007");
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  ZrnIO io;
  io.OpenFile(DataFile::kZarnBrowse, "r");
  HANDLE h = io.ZarnBrowseOut;
  static char text[kGenBufferSize + 1];
  io.ReadFromFile(static_cast<char*>(nullptr), nullptr);
  // A file of n bytes holds at most n + 1 strings; past them the reader
  // keeps answering "" without reading further.
  for (std::size_t calls = 0; calls <= size + 2; ++calls) {
    std::uint32_t n = io.ReadFromFile(text, h);
    if (n == 0 || n > kGenBufferSize || std::strlen(text) + 1 != n) std::abort();
  }
  // Offsets taken from the input, as a damaged table would give them.
  for (std::size_t p = 0; p + 4 <= size && p < 64; p += 4) {
    std::uint32_t off;
    std::memcpy(&off, data + p, 4);
    std::uint32_t n = io.ReadFromFileAtOffset(text, h, off % (size + 16));
    if (n == 0 || n > kGenBufferSize) std::abort();
  }
  ZarnMatchStructType rec{};
  io.SetFilePtr(h, 0);
  while (io.ReadFromFile(&rec, h) == 12) {
  }
  io.CloseFileNum(DataFile::kZarnBrowse);
  return 0;
}
