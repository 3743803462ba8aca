#include "app/form_main.h"

#include "app/launch.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "resources/app_texts.h"
#include "resources/ftp_settings.h"
#include "ui/application.h"

namespace tavo::app {

TFormMain::TFormMain(QWidget* parent) : ui::TForm(parent) {
  // The window stays hidden until the message loop shows it; all controls exist before
  // FormCreate runs.
  setupUi(this);
  BindHandlers({
      {"BtLumaxDownloadClick", [this] { BtLumaxDownloadClick(); }},
      {"BtLumoDownloadClick", [this] { BtLumoDownloadClick(); }},
      {"BtDownloadClick", [this] { BtDownloadClick(); }},
      {"BtRookDownloadClick", [this] { BtRookDownloadClick(); }},
      {"BtBrisaKiteDownloadClick", [this] { BtBrisaKiteDownloadClick(); }},
      {"BtUmbraDownloadClick", [this] { BtUmbraDownloadClick(); }},
      {"BtExitClick", [this] { BtExitClick(); }},
      {"ElLabel1Click", [this] { ElLabel1Click(); }},
  });
  FormCreate(this);
}

void TFormMain::FormCreate(QObject* /*Sender*/) {
  AlwaysDownload_ = true;
  // An empty answer leaves the download folder relative to the working folder, as the system
  // would after a failed query.
  TempFolder_ = platform::GetTempPath();
  TempFolder_ += platform::NativePath(res::kDownloadFolderName);
  RequestState_ = 0;
  LanguageMode_ = 2;
  LanguageMode_ = platform::GetLocaleAbbrevLangName() == res::kGermanLocaleAbbrev ? 2 : 1;
  if (LanguageMode_ == 2) {
    Label1->SetCaption(res::kLabel1German);
    Label2->SetCaption(res::kLabel2German);
    Label3->SetCaption(res::kLabel3German);
  } else {
    Label1->SetCaption(res::kLabel1English);
    Label2->SetCaption(res::kLabel2English);
    Label3->SetCaption(res::kLabel3English);
  }
  LabelVersion->SetCaption(res::kVersionText);
}

void TFormMain::RequestUpdater(const std::string& FileName) {
  if (requesting_) return;
  requesting_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{requesting_};

  ui::SetBusyCursor(true);
  StatusBar->SetSimpleText(res::kStatusCreateTempDir);
  // The temporary folder may be shared by every local user; a program is only ever started
  // from a folder that nobody else can write to.
  if (!platform::ForcePrivateDirectory(TempFolder_)) {
    ui::SetBusyCursor(false);
    ShowErrorBox(res::kErrorCreateTempDir);
    // Ends the request even if an earlier request left RequestState at 1: nothing may be
    // downloaded into a folder that failed the check.
    return;
  }
  RequestState_ = 1;
  StatusBar->SetSimpleText(res::kStatusRequest);
  ui::ProcessMessages();

  // The network part (log-in, retrieval of FileName and the runtime library, launch, closing
  // the window) needs the FTP client component, which the window does not have yet.
  (void)FileName;
  ui::SetBusyCursor(false);
}

void TFormMain::BtLumaxDownloadClick() { RequestUpdater(res::kLumaxUpdater); }
void TFormMain::BtLumoDownloadClick() { RequestUpdater(res::kLumoUpdater); }
void TFormMain::BtDownloadClick() { RequestUpdater(res::kBrisaUpdater); }
void TFormMain::BtRookDownloadClick() { RequestUpdater(res::kRookUpdater); }
void TFormMain::BtBrisaKiteDownloadClick() { RequestUpdater(res::kBrisaKiteUpdater); }
void TFormMain::BtUmbraDownloadClick() { RequestUpdater(res::kUmbraUpdater); }

void TFormMain::BtExitClick() { close(); }

void TFormMain::ElLabel1Click() {
  // A failure has been reported by LaunchFile.
  LaunchFile(res::ftp_settings::kWebAddress);
}

}  // namespace tavo::app
