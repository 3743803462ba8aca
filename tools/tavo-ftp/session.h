#pragma once
// One logged-in FTP session of tavo-ftp: the library's client set up as the options ask
// (mode, time-outs, proxies, TLS), its statuses and, with -v, the control connection's
// dialogue ("> USER tech", "< 230 ...", the password masked), the step it is in (for the error
// line), the folder it is in, and a polite end (QUIT, which the library itself never sends).

#include <memory>
#include <string>

#include "net/ftp/ftp.h"
#include "net/tcp/intercept.h"
#include "tools/tavo-ftp/errors.h"
#include "tools/tavo-ftp/options.h"
#include "tools/tavo-ftp/output.h"
#include "tools/tavo-ftp/url.h"

namespace tavo::tool {

// The account a session logs in with.
struct Login {
  std::string user;  // "anonymous" when nobody is named
  std::string password;
};

class Session {
 public:
  // ASeveralFolders: the session will visit more than one folder, so the login folder is
  // learnt (PWD) before it is first left.
  Session(const Options& AOptions, const FtpUrl& AServer, const Login& ALogin, Console& AErr,
          bool ASeveralFolders);
  // Closes the connection silently when Close did not.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Connects and logs in (steps connect, then log in).
  void Open();
  // Makes AFolder, a folder of a URL (relative to the login folder unless it starts with "/"),
  // the current one; nothing is sent when it is already.
  void EnterFolder(const std::string& AFolder);
  // QUIT and close; a server that went meanwhile is no failure any more.
  void Close();

  net::TIdFTP& Ftp() { return ftp_; }
  TStep Step() const { return step_; }
  void SetStep(TStep AStep) { step_ = AStep; }
  // The subject of an error line in this session, about APath.
  StepSubject Subject(const std::string& APath) const;
  // The same before a session exists (its construction failed).
  static StepSubject SubjectBeforeConnect(const FtpUrl& AServer, const Login& ALogin);

  // Whether the server reported the last transfer aborted (426, 450), and whether one began.
  bool Aborted() const { return aborted_; }
  bool Transferred() const { return transferred_; }
  void ResetTransferState();
  // Shows the ready status of a transfer once the command knows it succeeded (the library
  // raises it after a failure too).
  void ShowReady();

 private:
  // The constructor's steps: server, login and how FTP is spoken; the FTP proxy; the SOCKS
  // proxy; the status and dialogue watchers.
  void ConfigureConnection(const FtpUrl& AServer, const Login& ALogin);
  void ConfigureFtpProxy();
  void ConfigureSocks();
  void WatchStatusAndDialogue();
  void Trace(const char* APrefix, std::string& APending, rtl::TStream& AChunk);

  const Options& options_;
  Console& err_;
  net::TIdFTP ftp_;
  net::TIdConnectionIntercept trace_;
  std::string sent_, received_;  // parts of lines not yet complete
  std::string server_;           // host:port
  std::string user_;
  TStep step_ = TStep::stConnect;
  bool several_folders_;
  std::string folder_;            // the current folder, as URLs name it ("" the login folder)
  std::string login_folder_;      // from PWD, when learnt
  bool aborted_ = false;
  bool transferred_ = false;
  bool in_transfer_ = false;
  std::string held_ready_;
};

}  // namespace tavo::tool
