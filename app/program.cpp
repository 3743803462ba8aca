#include "app/program.h"

#include "app/form_main.h"
#include "platform/dll_search.h"
#include "resources/app_texts.h"
#include "ui/application.h"

namespace tavo::app {

int RunLauncher(int argc, char** argv, const std::function<void(TFormMain&)>& whenShown) {
  // Before anything can load a library: only the system's own folder is searched, never the
  // folder the program was started from (a download folder may hold anything).
  platform::RestrictDllSearch();
  ui::TApplication application(argc, argv);
  application.SetTitle(res::kErrorBoxTitle);
  application.SetOkCaption(res::kBoxButtonCaption);
  TFormMain form;
  form.Show();
  if (whenShown) whenShown(form);
  return application.Run(form);
}

}  // namespace tavo::app
