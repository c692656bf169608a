// The Zarns program.
#include <iostream>

#include "shell/cmdline.h"
#include "shell/ui/zarnsapp.h"

int main(int argc, char** argv) {
  // --help and --version answer before Qt starts, so they need no display.
  const int info = AnswerInfoOption({argv + 1, argv + argc}, std::cout);
  if (info >= 0) return info;
  return RunZarnsApp(argc, argv);
}
