#include "app/launch.h"

#include "platform/shell.h"
#include "resources/app_texts.h"
#include "ui/application.h"
#include "ui/dialogs.h"

namespace tavo::app {

bool LaunchFile(const std::string& path) {
  // The whole text goes to the shell. A copy cut to a fixed buffer would start a different
  // file, or none, once the temporary folder's path is long. The desktop's opener may take
  // seconds to say whether it found a program; the window keeps handling its messages
  // meanwhile instead of freezing.
  const int code =
      platform::ShellOpen(path, ui::ApplicationWindowHandle(), [] { ui::ProcessMessages(); });
  if (code > 32) return true;
  ShowInfoBox(LaunchErrorText(code));
  return false;
}

std::string LaunchErrorText(int32_t code) {
  switch (code) {
    case 0: return res::kLaunchError0;
    case 2: return res::kLaunchError2;
    case 3: return res::kLaunchError3;
    case 5: return res::kLaunchError5;
    case 6: return res::kLaunchError6;
    case 8: return res::kLaunchError8;
    case 10: return res::kLaunchError10;
    case 11: return res::kLaunchError11;
    case 12: return res::kLaunchError12;
    case 13: return res::kLaunchError13;
    case 14: return res::kLaunchError14;
    case 15: return res::kLaunchError15;
    case 16: return res::kLaunchError16;
    case 19: return res::kLaunchError19;
    case 20: return res::kLaunchError20;
    case 21: return res::kLaunchError21;
    default: break;
  }
  if (code > 32) return {};
  return res::kLaunchErrorOther + std::to_string(code);
}

void ShowErrorBox(const std::string& text) {
  ui::ShowMessageBox(text, res::kErrorBoxTitle, ui::mtError, res::kBoxButtonCaption);
}

int ShowInfoBox(const std::string& text) {
  return ui::ShowMessageBox(text, res::kInfoBoxTitle, ui::mtInformation, res::kBoxButtonCaption);
}

}  // namespace tavo::app
