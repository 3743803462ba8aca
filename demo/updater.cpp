// Stand-in for a family's firmware updater on Windows, as demo-updater.sh is on Linux: the
// Windows demo serves it under each updater's name. It says which updater the launcher
// started, from where and with what arguments, on standard output and, with TAVO_DEMO_REPORT
// set, appended to that file, so the demo and the tests know it has run. No message box: a run
// without anyone at the screen must never wait for a click.

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  std::string path = argv[0];
  const auto slash = path.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string arguments = argc > 1 ? "arguments:" : "no arguments";
  for (int i = 1; i < argc; ++i) arguments += std::string(" ") + argv[i];
  const std::string line = "Demo updater " + name + " started from " + folder + " with " + arguments;
  std::printf("%s\n", line.c_str());
  if (const char* report = std::getenv("TAVO_DEMO_REPORT"); report != nullptr && *report != '\0') {
    if (std::FILE* file = std::fopen(report, "a")) {
      std::fprintf(file, "%s\n", line.c_str());
      std::fclose(file);
    }
  }
  return 0;
}
