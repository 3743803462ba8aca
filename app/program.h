#pragma once
// The launcher program: the application object, the main window and the message loop.

#include <functional>

namespace tavo::app {

class TFormMain;

// Runs the launcher until its main window closes and returns the program's exit code. The
// launcher takes nothing on its command line: of argv only the program's own path (argv[0])
// reaches the window system, so options given to the program (-style, -stylesheet, -reverse,
// -platform and the like) have no effect. `whenShown`, when given, runs once the window has been
// shown, before the message loop starts (the demo's headless driver clicks a button from there).
int RunLauncher(int argc, char** argv, const std::function<void(TFormMain&)>& whenShown = {});

}  // namespace tavo::app
