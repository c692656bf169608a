#pragma once

// Starts the program: application object, main window, message loop.
int RunZarnsApp(int argc, char** argv);
