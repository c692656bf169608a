// The Zarns program.
#include <iostream>

#include "shell/cmdline.h"
#include "shell/ui/apxprint.h"
#include "shell/ui/zarnsapp.h"

int main(int argc, char** argv) {
  // --help and --version answer before Qt starts, so they need no display.
  const int info = AnswerInfoOption({argv + 1, argv + argc}, std::cout);
  if (info >= 0) return info;
  // Printing to PDF shows no window: scripts and tests run it anywhere.
  if (PrintPdfRequested(argc, argv)) return RunPrintPdf(argc, argv);
  return RunZarnsApp(argc, argv);
}
