// zarns-deskfiles DATADIR EXE: writes the desktop entry that starts EXE and
// the MIME package for ".zxt" under DATADIR, as the install places them. The
// install runs it, so the installed files are the ones a start would write.
#include <cstdio>
#include <string>

#include "shell/desktopreg.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: zarns-deskfiles DATADIR EXE\n", stderr);
    return 2;
  }
  std::string dir = argv[1];
  if (dir.empty() || dir.back() != '/') dir += '/';
  if (!DesktopRegistration::WriteInstalledFiles(dir, argv[2])) {
    std::fprintf(stderr, "zarns-deskfiles: cannot write under %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
