// The launcher program: no command-line arguments of its own; the main window's closing ends it.

#include "app/program.h"

int main(int argc, char** argv) { return tavo::app::RunLauncher(argc, argv); }
