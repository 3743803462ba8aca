#pragma once
// The FTP client component: a TCP client that speaks the FTP control protocol (greeting,
// login with optional FTP-proxy variants, transfer type, directory change, raw commands,
// resume probe, abort). It never sends QUIT: Disconnect closes the control connection.
// Retrieval over a data connection builds on the state kept here (DataConnection, Passive,
// ProbeResume).

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/tcp/reply.h"
#include "net/tcp/connection.h"
#include "rtl/persistent.h"
#include "rtl/streams.h"
#include "rtl/strings.h"

namespace tavo::net {

enum TIdFTPTransferType : int32_t { ftASCII = 0, ftBinary = 1 };

// How the login goes through an FTP proxy; the order is part of the interface.
enum TIdFtpProxyType : int32_t {
  fpcmNone = 0,
  fpcmUserSite = 1,
  fpcmSite = 2,
  fpcmOpen = 3,
  fpcmUserPass = 4,
  fpcmTransparent = 5,
  fpcmHttpProxyWithFtp = 6,
};

// Listing types belong to the directory-listing parser; declared here only as far as the
// client's event signatures need them (the parser defines them with this underlying type).
enum TIdFTPListFormat : int32_t;
class TIdFTPListItems;
class TIdFTPListItem;

using TIdCheckListFormat = std::function<void(rtl::TComponent* ASender, const std::string& ALine,
                                              TIdFTPListFormat& VListFormat)>;
using TIdCreateFTPList =
    std::function<void(rtl::TComponent* ASender, TIdFTPListItems*& VFTPList)>;
using TIdOnParseCustomListFormat = std::function<void(TIdFTPListItem* AItem)>;
using TIdFtpAfterGet = std::function<void(rtl::TComponent* ASender, rtl::TStream*& VStream)>;

class TIdFtpProxySettings : public rtl::TPersistent {
 public:
  TIdFtpProxyType ProxyType() const { return proxy_type_; }
  void SetProxyType(TIdFtpProxyType v) { proxy_type_ = v; }
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& v) { host_ = v; }
  const std::string& UserName() const { return user_name_; }
  void SetUserName(const std::string& v) { user_name_ = v; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& v) { password_ = v; }
  int32_t Port() const { return port_; }
  void SetPort(int32_t v) { port_ = v; }

  // Takes all five fields from another proxy settings object; any other source is refused.
  void Assign(const rtl::TPersistent& Source) override;
  std::string ClassName() const override { return "TIdFtpProxySettings"; }

 private:
  TIdFtpProxyType proxy_type_ = fpcmNone;
  std::string host_;
  std::string user_name_;
  std::string password_;
  int32_t port_ = 0;
};

class TIdFTP : public TIdTCPClient {
 public:
  explicit TIdFTP(rtl::TComponent* AOwner = nullptr);
  ~TIdFTP() override;

  // --- session ---------------------------------------------------------------------------
  // Opens the control connection (to the proxy when one is configured), reads the 220
  // greeting and, with AAutoLogin, logs in, sets the transfer type and asks for the system.
  // On any failure the connection is closed again before the error is raised unchanged.
  // The first argument is the login switch, not a time-out. (The TCP client's Connect with a
  // time-out alone still opens the bare connection, as ConnectAndReadAll needs.)
  void Connect(bool AAutoLogin = true, int32_t ATimeout = TimeoutDefault);
  // A lone number would silently convert to the login switch; a caller who means the bare
  // TCP connect with a time-out names it: TIdTCPClient::Connect(ms).
  template <typename T>
    requires std::integral<T> && (!std::same_as<T, bool>)
  void Connect(T ATimeout) = delete;
  void Login();
  void SendTransferType();
  void ChangeDir(const std::string& ADirectory);
  // Sends ALine and returns whatever code the server answers.
  int16_t SendRawCommand(const std::string& ALine);
  // Whether the server takes restart markers; asked once in the component's life.
  bool ProbeResume();

  // --- virtual operations added by the FTP client, in slot order ---------------------------
  // Raises OnAfterGet for a finished retrieval into a stream.
  virtual void DoAfterGet(rtl::TStream*& VStream);
  // Sends ABOR (its reply is left to the transfer) and closes the data connection.
  virtual void Abort();
  // Closes the data connection's transport, which ends a blocked data read.
  virtual void CloseDataConnection();

  // --- properties --------------------------------------------------------------------------
  bool Passive() const { return passive_; }
  void SetPassive(bool v) { passive_ = v; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& v) { password_ = v; }
  TIdFTPTransferType TransferType() const { return transfer_type_; }
  // Ignored when unchanged or while a transfer runs; sent at once when connected.
  void SetTransferType(TIdFTPTransferType v);
  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& v) { username_ = v; }
  TIdFtpProxySettings& ProxySettings() const { return *proxy_settings_; }
  void SetProxySettings(const TIdFtpProxySettings& v) { proxy_settings_->Assign(v); }

  const TNotifyEvent& OnAfterClientLogin() const { return on_after_client_login_; }
  void SetOnAfterClientLogin(TNotifyEvent v) { on_after_client_login_ = std::move(v); }
  const TIdCheckListFormat& OnCheckListFormat() const { return on_check_list_format_; }
  void SetOnCheckListFormat(TIdCheckListFormat v) { on_check_list_format_ = std::move(v); }
  const TIdCreateFTPList& OnCreateFTPList() const { return on_create_ftp_list_; }
  void SetOnCreateFTPList(TIdCreateFTPList v) { on_create_ftp_list_ = std::move(v); }
  const TIdFtpAfterGet& OnAfterGet() const { return on_after_get_; }
  void SetOnAfterGet(TIdFtpAfterGet v) { on_after_get_ = std::move(v); }

  // --- state -------------------------------------------------------------------------------
  TIdRFCReply& LoginReply() const { return *login_reply_; }
  const std::string& SystemName() const { return system_name_; }
  bool ResumeProbed() const { return resume_probed_; }
  bool ResumeSupported() const { return resume_supported_; }
  // The data connection of the running transfer; null between transfers.
  TIdTCPConnection* DataConnection() const { return data_connection_.get(); }
  // Raw listing lines; nothing fills them in this client.
  const rtl::TStringList& ListLines() const { return *list_lines_; }

 protected:
  // The transfer owns the data connection only while it runs.
  std::unique_ptr<TIdTCPConnection> data_connection_;

 private:
  // USER with 230/331, then PASS only when 331 asked for it.
  void SendUserPass(const std::string& AUser, const std::string& APassword);
  // The proxy's own login, when a proxy user is set.
  void SendProxyUserPass();

  bool passive_ = false;
  std::string password_;
  TIdFTPTransferType transfer_type_ = ftBinary;
  std::string username_;
  std::unique_ptr<TIdFtpProxySettings> proxy_settings_;
  TNotifyEvent on_after_client_login_;
  TIdCheckListFormat on_check_list_format_;
  TIdCreateFTPList on_create_ftp_list_;
  TIdFtpAfterGet on_after_get_;

  std::unique_ptr<TIdRFCReply> login_reply_;
  std::string system_name_;
  bool resume_probed_ = false;
  bool resume_supported_ = false;
  std::unique_ptr<rtl::TStringList> list_lines_;
};

}  // namespace tavo::net
