#pragma once
// The launcher's main window: explanatory labels in German or English, one button per
// instrument family, a link to the maker's web site, EXIT, the version label and a status bar.
// Its controls, their looks, the tab order and the handler of each control come from the layout
// resource (resources/FormMain.ui.in); the connection settings of its FTP client from
// resources/ftp_settings.h.in.

#include <string>

#include "ui/form.h"
#include "ui_FormMain.h"

namespace tavo::app {

class TFormMain : public ui::TForm, public Ui_TFormMain {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);

  // Folder that receives the downloads: the user's temporary folder followed by the download
  // folder's name, ending in the path separator.
  const std::string& TempFolder() const { return TempFolder_; }
  // 0 idle or failed, 1 folder ready, 2 downloaded.
  int RequestState() const { return RequestState_; }
  // 1 English label texts, 2 German.
  int LanguageMode() const { return LanguageMode_; }
  bool AlwaysDownload() const { return AlwaysDownload_; }

  // The retrieval request for one updater file of the product table. Virtual so that a test
  // window can record which file each button asks for.
  virtual void RequestUpdater(const std::string& FileName);

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
  void FormCreate(QObject* Sender);

  std::string TempFolder_;
  int RequestState_ = 0;
  int LanguageMode_ = 2;
  bool AlwaysDownload_ = false;
  // Set while a request runs: the points where it lets pending input through must not start a
  // second request on top of it.
  bool requesting_ = false;
};

}  // namespace tavo::app
