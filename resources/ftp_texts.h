#pragma once
// Texts of the FTP control session (UTF-8): the German messages and status texts it shows,
// and the protocol words it sends, each kept once so that every use goes through its name.

namespace tavo::res {

// SystemName when the server answers SYST with 500.
inline constexpr const char kFtpSystemUnknown[] = "Unbekannt";
// Status ftpReady at the end of an automatic login.
inline constexpr const char kFtpConnected[] = "Verbindung hergestellt";
// The proxy type that tunnels FTP through an HTTP proxy is not supported.
inline constexpr const char kFtpCommandNotSupported[] = "Anweisung nicht unterstützt";

// Commands, with the blank that separates their argument.
inline constexpr const char kFtpCmdUser[] = "USER ";
inline constexpr const char kFtpCmdPass[] = "PASS ";
inline constexpr const char kFtpCmdSite[] = "SITE ";
inline constexpr const char kFtpCmdOpen[] = "OPEN ";
inline constexpr const char kFtpCmdType[] = "TYPE ";
inline constexpr const char kFtpCmdSyst[] = "SYST";
inline constexpr const char kFtpCmdCwd[] = "CWD ";
inline constexpr const char kFtpCmdRestProbe[] = "REST 1";
inline constexpr const char kFtpCmdRestReset[] = "REST 0";
inline constexpr const char kFtpCmdAbor[] = "ABOR";
// USER line of the proxy that takes user@proxy-user@host in one go.
inline constexpr const char kFtpUserPassProxyUser[] = "USER %s@%s@%s";
// Joins the user name and the real server's name (or the password and the proxy's password)
// when a proxy relays the login.
inline constexpr const char kFtpProxyLoginSeparator[] = "@";
// TYPE arguments.
inline constexpr const char kFtpTypeAscii[] = "A";
inline constexpr const char kFtpTypeBinary[] = "I";

}  // namespace tavo::res
