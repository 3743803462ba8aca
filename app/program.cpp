#include "app/program.h"

#include "app/form_main.h"
#include "resources/app_texts.h"
#include "ui/application.h"

namespace tavo::app {

int RunLauncher(int /*argc*/, char** argv, const std::function<void(TFormMain&)>& whenShown) {
  // The application object keeps references to both for its whole life.
  static int qtArgc = 1;
  static char* qtArgv[] = {nullptr, nullptr};
  qtArgv[0] = argv[0];
  ui::TApplication application(qtArgc, qtArgv);
  application.SetTitle(res::kErrorBoxTitle);
  application.SetOkCaption(res::kBoxButtonCaption);
  TFormMain form;
  form.show();
  if (whenShown) whenShown(form);
  return application.exec();
}

}  // namespace tavo::app
