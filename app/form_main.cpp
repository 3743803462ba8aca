#include "app/form_main.h"

#include <cstddef>
#include <string_view>
#include <utility>

#include "app/form_main_layout.h"
#include "app/launch.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "resources/app_texts.h"
#include "resources/ftp_settings.h"
#include "resources/ftp_texts.h"
#include "rtl/exception.h"
#include "ui/application.h"

namespace tavo::app {

namespace {

// The value the layout resource names; a name the table lacks stops the build, since the
// settings are fixed when the program is built.
template <typename T, std::size_t N>
constexpr T Named(std::string_view name, const std::pair<std::string_view, T> (&values)[N]) {
  for (const auto& [valueName, value] : values) {
    if (valueName == name) return value;
  }
  throw "the layout resource names an unknown value";
}

constexpr net::TIdMaxLineAction kMaxLineAction =
    Named<net::TIdMaxLineAction>(res::ftp_settings::kMaxLineAction,
                                 {{"maException", net::maException}, {"maSplit", net::maSplit}});

constexpr net::TIdFtpProxyType kProxyType = Named<net::TIdFtpProxyType>(
    res::ftp_settings::kProxyType,
    {{"fpcmNone", net::fpcmNone},
     {"fpcmUserSite", net::fpcmUserSite},
     {"fpcmSite", net::fpcmSite},
     {"fpcmOpen", net::fpcmOpen},
     {"fpcmUserPass", net::fpcmUserPass},
     {"fpcmTransparent", net::fpcmTransparent},
     {"fpcmHttpProxyWithFtp", net::fpcmHttpProxyWithFtp}});

constexpr net::TIdUseTLS kUseTLS = Named<net::TIdUseTLS>(
    res::ftp_settings::kUseTLS, {{"utNoTLS", net::utNoTLS}, {"utRequireTLS", net::utRequireTLS}});

}  // namespace

TFormMain::TFormMain()
    : ui::TForm(kFormMain),
      StatusBar(Component<ui::TStatusBar>("StatusBar")),
      Label1(Component<ui::TLabel>("Label1")),
      Label2(Component<ui::TLabel>("Label2")),
      BtLumaxDownload(Component<ui::TStyledButton>("BtLumaxDownload")),
      BtLumoDownload(Component<ui::TStyledButton>("BtLumoDownload")),
      BtDownload(Component<ui::TStyledButton>("BtDownload")),
      BtRookDownload(Component<ui::TStyledButton>("BtRookDownload")),
      BtBrisaKiteDownload(Component<ui::TStyledButton>("BtBrisaKiteDownload")),
      BtExit(Component<ui::TStyledButton>("BtExit")),
      BtUmbraDownload(Component<ui::TStyledButton>("BtUmbraDownload")),
      ElPopupButton1(Component<ui::TStyledButton>("ElPopupButton1")),
      ElPopupButton2(Component<ui::TStyledButton>("ElPopupButton2")),
      Label3(Component<ui::TLabel>("Label3")),
      Bevel1(Component<ui::TBevel>("Bevel1")),
      ElLabel1(Component<ui::TLinkLabel>("ElLabel1")),
      ElPopupButton3(Component<ui::TStyledButton>("ElPopupButton3")),
      LabelVersion(Component<ui::TLabel>("LabelVersion")) {
  // The window stays hidden until the message loop shows it; all components exist before
  // FormCreate runs.
  CreateFtp();
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

void TFormMain::CreateFtp() {
  namespace settings = res::ftp_settings;
  ftp = new net::TIdFTP(&components_);
  ftp->SetName("ftp");
  ftp->SetHost(settings::kHost);
  // The client's default (21) unless a demo or test build names another port.
  ftp->SetPort(settings::kPort);
  ftp->SetUsername(settings::kUsername);
  ftp->SetPassword(settings::kPassword);
  ftp->SetPassive(settings::kPassive);
  ftp->SetReadTimeout(settings::kReadTimeout);
  ftp->SetMaxLineAction(kMaxLineAction);
  ftp->ProxySettings().SetProxyType(kProxyType);
  ftp->ProxySettings().SetPort(settings::kProxyPort);
  // Plain FTP as shipped; a build for a server switched to explicit TLS requires it.
  ftp->SetUseTLS(kUseTLS);
  ftp->SetOnStatus(
      [this](rtl::TComponent* ASender, net::TIdStatus AStatus, const std::string& AStatusText) {
        ftpStatus(ASender, AStatus, AStatusText);
      });
}

void TFormMain::ftpStatus(rtl::TComponent* /*ASender*/, net::TIdStatus AStatus,
                          const std::string& AStatusText) {
  StatusBar->SetSimpleText(AStatusText);
  if (AStatus == net::ftpAborted) transfer_aborted_ = true;
}

void TFormMain::FormCreate(ui::TForm* /*Sender*/) {
  always_download_ = true;
  // An empty answer leaves the download folder relative to the working folder, as the system
  // would after a failed query.
  temp_folder_ = platform::GetTempPath();
  temp_folder_ += platform::NativePath(res::kDownloadFolderName);
  request_state_ = rsIdle;
  language_mode_ =
      platform::GetLocaleAbbrevLangName() == res::kGermanLocaleAbbrev ? lmGerman : lmEnglish;
  if (language_mode_ == lmGerman) {
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
  if (!platform::ForcePrivateDirectory(temp_folder_)) {
    ui::SetBusyCursor(false);
    ShowErrorBox(res::kErrorCreateTempDir);
    // Ends the request even if an earlier request left it at rsFolderReady: nothing may be
    // downloaded into a folder that failed the check.
    return;
  }
  request_state_ = rsFolderReady;
  StatusBar->SetSimpleText(res::kStatusRequest);
  ui::ProcessMessages();

  const std::string updater = temp_folder_ + FileName;
  const std::string runtime = temp_folder_ + res::kRuntimeLibrary;
  try {
    ftp->Connect(true, net::TimeoutDefault);
    ftp->ChangeDir(res::kServerDirectory);
    if (!platform::FileExists(updater) || always_download_) Retrieve(FileName, updater);
    ui::ProcessMessages();
    if (!platform::FileExists(runtime) || always_download_) Retrieve(res::kRuntimeLibrary, runtime);
    ui::ProcessMessages();
    if (ftp->Connected()) ftp->Disconnect();
    request_state_ = rsDownloaded;
  } catch (const std::exception&) {
    // The error's own text is not shown; the status bar keeps the last status the client
    // reported. An error of this Disconnect leaves the handler and gets the default error box.
    ui::SetBusyCursor(false);
    if (ftp->Connected()) ftp->Disconnect();
    request_state_ = rsIdle;
    ShowErrorBox(res::kErrorRequest);
    return;
  }
  ui::SetBusyCursor(false);
  // A failed launch has been reported by LaunchFile; the window closes either way.
  if (platform::FileExists(updater)) LaunchFile(updater);
  Close();
}

void TFormMain::Retrieve(const std::string& ASourceFile, const std::string& ADestFile) {
  transfer_aborted_ = false;
  ftp->Get(ASourceFile, ADestFile, true, false);
  // The client returns normally from a transfer the server aborted, with part of the file
  // written. A partly received updater must never be started: it would go on to flash an
  // instrument. So here an abort is a failure like a broken connection.
  if (transfer_aborted_) throw rtl::Exception(res::kFtpTransferAborted);
}

void TFormMain::BtLumaxDownloadClick() { RequestUpdater(res::kLumaxUpdater); }
void TFormMain::BtLumoDownloadClick() { RequestUpdater(res::kLumoUpdater); }
void TFormMain::BtDownloadClick() { RequestUpdater(res::kBrisaUpdater); }
void TFormMain::BtRookDownloadClick() { RequestUpdater(res::kRookUpdater); }
void TFormMain::BtBrisaKiteDownloadClick() { RequestUpdater(res::kBrisaKiteUpdater); }
void TFormMain::BtUmbraDownloadClick() { RequestUpdater(res::kUmbraUpdater); }

void TFormMain::BtExitClick() { Close(); }

void TFormMain::ElLabel1Click() {
  // A failure has been reported by LaunchFile.
  LaunchFile(res::ftp_settings::kWebAddress);
}

}  // namespace tavo::app
