// The Zarns program.
#include "shell/ui/zarnsapp.h"

int main(int argc, char** argv) { return RunZarnsApp(argc, argv); }
