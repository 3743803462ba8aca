// The demo without anyone at the screen: runs the launcher as its program does (on Qt's
// offscreen platform where there is one), presses one family's button once the window shows,
// and ends when the window closes. A message box (the request's error box, a failed launch) is
// printed instead of shown and fails the run, as does a run that takes longer than two minutes.
//   tavo-online-headless <family>    family: a button's caption, e.g. Rook or "Arden, Brisa"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/form_main.h"
#include "app/program.h"
#include "ui/application.h"

namespace {

constexpr auto kBound = std::chrono::minutes(2);

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool SameCaption(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <family>   (a button's caption, e.g. Rook)\n", argv[0]);
    return 2;
  }
  const std::string family = Trimmed(argv[1]);
  // The request runs on the window's thread; a hang anywhere in it ends here.
  std::thread([] {
    std::this_thread::sleep_for(kBound);
    std::fprintf(stderr, "demo: no end within two minutes\n");
    std::fflush(stderr);
    std::_Exit(3);
  }).detach();
  int failure = 0;
  tavo::ui::SetBoxAnswer([&](const std::string& title, const std::string& text) {
    std::string line = text;
    for (char& c : line) c = c == '\r' ? ' ' : c;
    std::fprintf(stderr, "demo: %s: %s\n", title.c_str(), line.c_str());
    failure = 1;
  });
  tavo::ui::PreferOffscreen();
  const int code = tavo::app::RunLauncher(1, argv, [&](tavo::app::TFormMain& form) {
    std::string families;
    for (const auto& control : form.Controls()) {
      auto* button = dynamic_cast<tavo::ui::TStyledButton*>(control.get());
      if (button == nullptr || button == form.BtExit) continue;
      if (SameCaption(Trimmed(button->Caption()), family)) {
        button->Click();
        // The request closes the window once the updater has started; after a box it stays.
        if (failure != 0) form.Close();
        return;
      }
      families += (families.empty() ? "\"" : ", \"") + Trimmed(button->Caption()) + "\"";
    }
    std::fprintf(stderr, "demo: no family \"%s\"; the families are %s\n", family.c_str(),
                 families.c_str());
    failure = 2;
    form.Close();
  });
  return failure != 0 ? failure : code;
}
