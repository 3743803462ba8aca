#pragma once
// The FTP client component: a TCP client that speaks the FTP control protocol (greeting,
// login with optional FTP-proxy variants, transfer type, directory change, raw commands,
// resume probe, abort) and retrieves files over a data connection of its own per transfer
// (passive: we connect; active: we listen and announce the address with PORT). It never sends
// QUIT: Disconnect closes the control connection.

#include <atomic>
#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "net/ftp/listing.h"
#include "net/stack/exceptions.h"
#include "net/tcp/connection.h"
#include "net/tcp/reply.h"
#include "net/tls/tls.h"
#include "rtl/datetime.h"
#include "rtl/packed_lines.h"
#include "rtl/persistent.h"
#include "rtl/streams.h"
#include "rtl/strings.h"

namespace tavo::net {

class TIdSocketHandle;

enum TIdFTPTransferType : int32_t { ftASCII = 0, ftBinary = 1 };

// Whether the session runs over TLS. utRequireTLS: AUTH TLS right after the greeting (the
// session ends before USER when the server refuses), PBSZ 0 and PROT P after login, and every
// data connection in TLS too.
enum TIdUseTLS : int32_t { utNoTLS = 0, utRequireTLS = 1 };

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

using TIdCheckListFormat = std::function<void(rtl::TComponent* ASender, const std::string& ALine,
                                              TIdFTPListFormat& VListFormat)>;
using TIdCreateFTPList =
    std::function<void(rtl::TComponent* ASender, TIdFTPListItems*& VFTPList)>;
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
  // SIZE: the file's size on the server in bytes, or -1 when the server answers 550 or does
  // not know the command (500, 502). Other refusals raise EIdProtocolReplyError, a 213 reply
  // that holds no size EIdFTPReplyFormatError. Servers count in the current transfer type.
  int64_t RemoteSize(const std::string& AFileName);
  // MDTM: the file's last change in UTC, or 0 when the server cannot say (550, 500, 502, or a
  // 213 reply that is no time "YYYYMMDDhhmmss[.fraction]").
  rtl::TDateTime RemoteModified(const std::string& AFileName);
  // The time of an MDTM reply's text; 0 when it is none.
  static rtl::TDateTime ParseMdtmTime(const std::string& AText);
  // FEAT, asked once per session and only when someone asks: the features the server lists,
  // each name upper-cased with what follows it ("MLST" -> "type*;size*;modify*;"). A server
  // that does not know FEAT (500, 502) lists none.
  const std::map<std::string, std::string>& Features();
  bool SupportsFeature(const std::string& AName) { return Features().count(AName) > 0; }
  // The features of a FEAT reply: the lines between the first and the last, each indented.
  static std::map<std::string, std::string> ParseFeatures(const TIdRFCReply& AReply);
  // MLST: the facts of one file or folder (the current folder for an empty name), parsed as
  // an MLSD line. A reply 250 without a line of facts raises EIdFTPReplyFormatError.
  void MachineFileInfo(const std::string& AName, TIdFTPListItem& AItem);
  // A command line as it may be shown to a person (a trace, a log): the argument of PASS,
  // whatever it holds, is replaced by "***". Passwords are never searched for in text, where
  // a short one ("a") would match everywhere and so give itself away.
  static std::string CommandForDisplay(const std::string& ALine);

  // --- retrieval ---------------------------------------------------------------------------
  // Retrieves ASourceFile into the local file ADestFile. An existing file is replaced when
  // only ACanOverwrite is set, continued from its end when only AResume is set and the server
  // takes restart markers, and refused (EIdFTPFileAlreadyExists, before any transfer command)
  // otherwise. The file is closed also on failure and keeps what arrived; it is never deleted.
  void Get(const std::string& ASourceFile, const std::string& ADestFile,
           bool ACanOverwrite = false, bool AResume = false);
  // Retrieves ASourceFile into ADest from its current position; raises OnAfterGet afterwards.
  // A binary resume first asks the file's size (SIZE): a destination already larger raises
  // EIdFTPLocalFileLarger before anything is sent, one of the same size is complete (nothing
  // is transferred), and the transfer must then end exactly at that size.
  void Get(const std::string& ASourceFile, rtl::TStream& ADest, bool AResume = false);
  // One incoming transfer for a data command (RETR, LIST, ...): the data connection, the
  // restart marker (with AResume: ADest's position), the command, the data until the server
  // closes, the final reply. Statuses ftpTransfer, ftpReady (also after a failure) and, when
  // the server reports the transfer aborted (426, 450), ftpAborted followed by
  // EIdProtocolReplyError with that reply: ADest then holds only part of the data. A binary
  // transfer is held to the size the 1xx reply announced ("(N bytes)"; after a restart marker
  // the announcement may count the rest or the whole file): more bytes raise
  // EIdFTPTransferTooLong as soon as they arrive, fewer raise EIdFTPTransferIncomplete after
  // the final reply, whatever that reply says.
  void RunDataTransfer(const std::string& ACommand, rtl::TStream& ADest, bool AResume);
  // PASV; the address and port of the 227 reply. A missing or non-numeric field raises the
  // runtime's conversion error, a field outside 0..255 or port 0 EIdFTPPasvReplyError.
  void RequestPassiveAddress(std::string& VAddress, int32_t& VPort);
  // The reading of a 227 reply's first text line (without its code) that RequestPassiveAddress
  // uses, with the same errors; on its own so that it can be tested and fuzzed without a server.
  static void ParsePasvReply(const std::string& AText, std::string& VAddress, int32_t& VPort);
  // The port of an EPSV reply's text ("Entering Extended Passive Mode (|||6446|)"): between
  // the last four of the delimiter the text chooses; a missing or invalid port raises
  // EIdFTPPasvReplyError.
  static int32_t ParseEpsvReply(const std::string& AText);
  // The size a preliminary reply announces as "(<digits> bytes)", the form servers commonly use
  // ("150 Opening BINARY mode data connection for x (1234 bytes)."); -1 when it names none.
  static int64_t AnnouncedTransferSize(const TIdRFCReply& AReply);
  // PORT for AHandle's local address and port; 200 required.
  void SendPortCommand(const TIdSocketHandle& AHandle);
  // Buffer sizes, work events and the read time-out go to the data connection; OnStatus does
  // not.
  void CopyDataSettings();

  // --- directory listing ---------------------------------------------------------------------
  // LIST (with ASpecifier, e.g. a folder, when given) through a data connection into
  // ListLines, one line per LF (a CR before it dropped); a listing already built is built anew
  // from them. Listings beyond kMaxListingBytes or kMaxListingLines are refused
  // (EIdFTPListingTooLarge) as soon as the data passes the bound.
  void List(const std::string& ASpecifier = std::string());
  // MLSD: the machine-readable listing (RFC 3659) of a folder, the current one by default,
  // into ListLines under the same bounds as List; ListingItems reads it by its facts
  // (flfMLSD), with exact sizes and times in UTC (ModifiedUTC).
  void MachineList(const std::string& AFolder = std::string());
  // How long a 426/450 final reply that came alone is given for the second reply (226/225)
  // that follows it after an ABOR; see RunDataTransfer.
  static constexpr int32_t kSecondReplyGraceMs = 500;
  static constexpr int64_t kMaxListingBytes = int64_t{256} << 20;
  // Far more entries than real folders served over FTP hold; each one kept costs memory.
  static constexpr int32_t kMaxListingLines = 1000000;
  // AText cut into lines as List and MachineList keep a listing, under the same bounds.
  static void SplitListing(std::string_view AText, rtl::TPackedLines& ALines);
  // The entries of ListLines, built on first use: OnCreateFTPList may supply the object (the
  // client owns it then), the format is detected from the first line and OnCheckListFormat may
  // correct it, then every line is loaded. Later uses return the same object unchanged.
  TIdFTPListItems* ListingItems();
  // Kept by the listing object, which reading or writing creates.
  const TIdOnParseCustomListFormat& OnParseCustomListFormat();
  void SetOnParseCustomListFormat(TIdOnParseCustomListFormat v);

  // --- virtual operations of the FTP client: what a subclass may override --------------------
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
  // False (the default): a passive data connection goes to the control connection's peer and
  // only the port is taken from the PASV reply, so a server cannot send us to another host.
  // True: the address of the reply is used, for servers whose data host really differs.
  bool TrustPasvAddress() const { return trust_pasv_address_; }
  void SetTrustPasvAddress(bool v) { trust_pasv_address_ = v; }
  // False (the default): an active-mode data connection must come from the control
  // connection's peer address; one from anywhere else is closed unread and the wait goes on.
  // True: any peer is taken, for transfers between two servers (FXP-like set-ups).
  bool AllowForeignDataPeer() const { return allow_foreign_data_peer_; }
  void SetAllowForeignDataPeer(bool v) { allow_foreign_data_peer_ = v; }
  // False at creation: passive mode asks PASV, as the launcher always has. True: EPSV
  // (RFC 2428) first; a server that answers it 500 or 502 gets PASV from then on in the
  // session. Over IPv6 EPSV is the only passive command there is, whatever this says.
  bool UseEPSV() const { return use_epsv_; }
  void SetUseEPSV(bool v) { use_epsv_ = v; }
  // The same for active mode: PORT at creation, EPRT first when set (PORT again after a 500
  // or 502), EPRT always over IPv6.
  bool UseEPRT() const { return use_eprt_; }
  void SetUseEPRT(bool v) { use_eprt_ = v; }
  // False at creation. True: after the login, "OPTS UTF8 ON" when FEAT lists UTF8, so that
  // names with umlauts travel intact; a server that then refuses it is used as it is.
  bool UseUTF8() const { return use_utf8_; }
  void SetUseUTF8(bool v) { use_utf8_ = v; }
  // utNoTLS at creation. Takes effect at the next Connect.
  TIdUseTLS UseTLS() const { return use_tls_; }
  void SetUseTLS(TIdUseTLS v) { use_tls_ = v; }
  // The certificate check of the TLS session: the system's trust store and the server's name
  // at creation. Takes effect at the next Connect.
  TIdTLSSettings& TLSSettings() const { return *tls_settings_; }
  void SetTLSSettings(const TIdTLSSettings& v) { tls_settings_->Assign(v); }

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
  // The size the server announced for the running transfer in its 1xx reply ("(N bytes)"),
  // or -1 when it named none. Set before the data is read, so work handlers can use it.
  int64_t TransferSize() const { return transfer_size_; }
  // The raw lines of the last listing (List), kept packed.
  const rtl::TPackedLines& ListLines() const { return *list_lines_; }

 protected:
  // The transfer owns the data connection only while it runs.
  std::unique_ptr<TIdTCPConnection> data_connection_;

 private:
  // USER with 230/331, then PASS only when 331 asked for it.
  void SendUserPass(const std::string& AUser, const std::string& APassword);
  // The proxy's own login, when a proxy user is set.
  void SendProxyUserPass();

  // TLS: the context and a handler that can carry it, before anything is connected; AUTH TLS
  // and the handshake after the greeting; PBSZ and PROT after login; the handshake of a data
  // connection once the server is ready for it.
  void PrepareTLS();
  void StartControlTLS();
  void ProtectDataChannel();
  void StartDataTLS(TIdTCPConnection& AData);
  // The control connection's TLS handler while TLS is up on it, else null.
  TIdIOHandlerTLS* ControlTLS() const;
  // The bound of a handshake's waits: the read time-out, or none.
  int32_t TLSTimeout() const;

  // Format detection, its correction and loading of ListLines into AItems.
  void LoadListing(TIdFTPListItems& AItems);
  // The data connection of one transfer, passive or active. An empty AAddress (EPSV gives
  // none) goes to the control connection's peer.
  void OpenPassiveDataConnection(const std::string& AAddress, int32_t APort);
  // A listing command's lines into ListLines; AMachine: MLSD's, read by their facts.
  void ReadListing(const std::string& ACommand, bool AMachine);
  // The passive data address: EPSV where it is the command to use (see UseEPSV), else PASV.
  void RequestDataAddress(std::string& VAddress, int32_t& VPort);
  // Whether the control connection runs over IPv6.
  bool ControlIsIPv6();
  void ListenForActiveDataConnection();
  // RunDataTransfer held to ARemoteSize (-1: unknown), the size SIZE gave for a resume.
  void RunDataTransfer(const std::string& ACommand, rtl::TStream& ADest, bool AResume,
                       int64_t ARemoteSize);
  // Its steps: what must hold before a transfer starts; the most bytes the data may bring once
  // the 1xx reply announced what it announces (-1: no bound); the data socket's receive
  // low-water mark; REST before a resumed command; one transfer over a passive or an active
  // data connection (the bytes received); and the final reply, true when it reports the
  // transfer aborted (426 or 450).
  void CheckDataTransfer(const std::string& ACommand);
  int64_t DataLimit(int64_t AStartPosition, int64_t ARemoteSize) const;
  int32_t DataLowWater();
  void SendRestart(bool AResume, rtl::TStream& ADest);
  int64_t ReceivePassive(const std::string& ACommand, rtl::TStream& ADest, bool AResume,
                         int64_t AStartPosition, int64_t ARemoteSize);
  int64_t ReceiveActive(const std::string& ACommand, rtl::TStream& ADest, bool AResume,
                        int64_t AStartPosition, int64_t ARemoteSize);
  bool ReadAbortedTransferReply();

  bool passive_ = false;
  bool trust_pasv_address_ = false;
  bool allow_foreign_data_peer_ = false;
  bool use_epsv_ = false;
  bool use_eprt_ = false;
  bool use_utf8_ = false;
  // What this session learnt: the server refused EPSV or EPRT, its FEAT reply, whether the
  // listing lines are MLSD's.
  bool epsv_refused_ = false;
  bool eprt_refused_ = false;
  bool features_asked_ = false;
  std::map<std::string, std::string> features_;
  bool listing_is_mlsd_ = false;
  // The time-out the session was connected with: passive data connections take it too.
  int32_t connect_timeout_ = TimeoutDefault;
  // The host the control connection went to: the server, or the FTP proxy in its place.
  std::string control_host_;
  // ABOR went out while the running transfer was on (Abort may come from another thread).
  std::atomic<bool> abort_sent_ = false;
  TIdUseTLS use_tls_ = utNoTLS;
  std::unique_ptr<TIdTLSSettings> tls_settings_;
  // Shared by the control and data connections of one session, so they can resume each
  // other's TLS session; made anew at every Connect that requires TLS.
  std::shared_ptr<TIdTLSContext> tls_context_;
  // The name the server's certificate must carry: the host the control connection went to.
  std::string tls_host_;
  int64_t transfer_size_ = -1;
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
  std::unique_ptr<rtl::TPackedLines> list_lines_;
  std::unique_ptr<TIdFTPListItems> listing_items_;
};

}  // namespace tavo::net
