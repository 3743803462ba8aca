#pragma once
// The launcher's main window: explanatory labels in German or English, one button per
// instrument family, a link to the maker's web site, EXIT, the version label and a status bar.
// Its controls, their looks, the tab order and the handler of each control come from the layout
// resource (resources/FormMain.ui.in, turned into the table kFormMain at build time); its FTP
// client component and that component's settings from resources/ftp_settings.h.in.

#include <cstdint>
#include <string>

#include "net/ftp/ftp.h"
#include "rtl/component.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tavo::app {

// How far the retrieval request got; the numbers are what the window has always reported.
enum TRequestState : int32_t { rsIdle = 0, rsFolderReady = 1, rsDownloaded = 2 };
// The labels' language, set once at start from the system's locale.
enum TLanguageMode : int32_t { lmEnglish = 1, lmGerman = 2 };

class TFormMain : public ui::TForm {
 public:
  TFormMain();

  // Folder that receives the downloads: the user's temporary folder followed by the download
  // folder's name, ending in the path separator.
  const std::string& TempFolder() const { return temp_folder_; }
  // rsIdle also after a failed request.
  TRequestState RequestState() const { return request_state_; }
  TLanguageMode LanguageMode() const { return language_mode_; }
  bool AlwaysDownload() const { return always_download_; }

  // The retrieval request for one updater file of the product table: the private download
  // folder, log-in, the updater and the runtime library, disconnection, the updater's launch and
  // the closing of the window. Any failure of the network part shows one error box and leaves
  // the window open for another try. Virtual so that a test window can record which file each
  // button asks for.
  virtual void RequestUpdater(const std::string& FileName);

  // The window's components, in their declaration order. The controls are the layout's, found
  // by name when the window is created; the FTP client component is owned by the window and its
  // status texts become the status bar's.
  net::TIdFTP* ftp = nullptr;
  ui::TStatusBar* StatusBar;
  ui::TLabel* Label1;
  ui::TLabel* Label2;
  ui::TStyledButton* BtLumaxDownload;
  ui::TStyledButton* BtLumoDownload;
  ui::TStyledButton* BtDownload;
  ui::TStyledButton* BtRookDownload;
  ui::TStyledButton* BtBrisaKiteDownload;
  ui::TStyledButton* BtExit;
  ui::TStyledButton* BtUmbraDownload;
  ui::TStyledButton* ElPopupButton1;
  ui::TStyledButton* ElPopupButton2;
  ui::TLabel* Label3;
  ui::TBevel* Bevel1;
  ui::TLinkLabel* ElLabel1;
  ui::TStyledButton* ElPopupButton3;
  ui::TLabel* LabelVersion;

  // Handler of ftp's status events.
  void ftpStatus(rtl::TComponent* ASender, net::TIdStatus AStatus, const std::string& AStatusText);

  // Click handlers, bound by the names the layout gives them.
  void BtLumaxDownloadClick();
  void BtLumoDownloadClick();
  void BtDownloadClick();
  void BtRookDownloadClick();
  void BtBrisaKiteDownloadClick();
  void BtUmbraDownloadClick();
  void BtExitClick();
  void ElLabel1Click();

 private:
  void FormCreate(ui::TForm* Sender);
  // Creates ftp with the settings of the layout resource.
  void CreateFtp();
  // One Get of the request: a transfer the server reports as aborted counts as a failure here.
  void Retrieve(const std::string& ASourceFile, const std::string& ADestFile);

  // Owner of the window's components that are not controls (the FTP client).
  rtl::TComponent components_;

  std::string temp_folder_;
  TRequestState request_state_ = rsIdle;
  TLanguageMode language_mode_ = lmGerman;
  bool always_download_ = false;
  // Set while a request runs: the points where it lets pending input through must not start a
  // second request on top of it.
  bool requesting_ = false;
  // Set by ftpStatus when the server reports the running transfer as aborted.
  bool transfer_aborted_ = false;
};

}  // namespace tavo::app
