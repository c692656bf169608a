// The Zarns program.
#include "shell/ui/apxprint.h"
#include "shell/ui/zarnsapp.h"

int main(int argc, char** argv) {
  // Printing to PDF shows no window: scripts and tests run it anywhere.
  if (PrintPdfRequested(argc, argv)) return RunPrintPdf(argc, argv);
  return RunZarnsApp(argc, argv);
}
