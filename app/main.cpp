// The launcher program: no command-line arguments of its own; the main window's closing ends it.

#include "app/form_main.h"
#include "resources/app_texts.h"
#include "ui/application.h"

int main(int argc, char** argv) {
  tavo::ui::TApplication application(argc, argv);
  application.SetTitle(tavo::res::kErrorBoxTitle);
  application.SetOkCaption(tavo::res::kBoxButtonCaption);
  tavo::app::TFormMain form;
  form.show();
  return application.exec();
}
