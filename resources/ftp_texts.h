#pragma once
// Texts of the FTP control session (UTF-8): the messages and status texts it shows, German
// with their English twins, and the protocol words it sends, each kept once so that every use
// goes through its name.

#include "resources/text.h"

namespace tavo::res {

// SystemName when the server answers SYST with 500.
inline constexpr TText kFtpSystemUnknown{"Unbekannt", "Unknown"};
// Status ftpReady at the end of an automatic login.
inline constexpr TText kFtpConnected{"Verbindung hergestellt", "Connection established"};
// The proxy type that tunnels FTP through an HTTP proxy is not supported.
inline constexpr TText kFtpCommandNotSupported{"Anweisung nicht unterstützt", "Command not supported"};

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

// Statuses of a transfer.
inline constexpr TText kFtpTransferStarting{"FTP-Transfer wird gestartet", "Starting the FTP transfer"};
inline constexpr TText kFtpTransferComplete{"Transfer abgeschlossen", "Transfer complete"};
inline constexpr TText kFtpTransferAborted{"Transfer abgebrochen", "Transfer aborted"};

// Retrieval.
inline constexpr TText kFtpFileAlreadyExists{"Die Zieldatei existiert bereits.",
                                             "The destination file exists already."};
// A PASV reply that names no usable address: the offending field, or the port.
inline constexpr TText kFtpPasvInvalidField{
    "Ungültiges Feld \"%s\" in der Antwort auf PASV (erlaubt sind 0 bis 255).",
    "Invalid field \"%s\" in the reply to PASV (0 to 255 are allowed)."};
inline constexpr TText kFtpPasvInvalidPort{
    "Ungültiger Port %d in der Antwort auf PASV (erlaubt sind 1 bis 65535).",
    "Invalid port %d in the reply to PASV (1 to 65535 are allowed)."};
// Active mode: the server never opened the data connection, or the wait was given up.
inline constexpr TText kFtpAcceptTimeout{
    "Der Server hat innerhalb von %d ms keine Datenverbindung geöffnet.",
    "The server opened no data connection within %d ms."};
inline constexpr TText kFtpAcceptAborted{"Warten auf die Datenverbindung abgebrochen.",
                                         "The wait for the data connection was aborted."};
// Active mode: taking the server's data connection failed: the socket error number.
inline constexpr TText kFtpAcceptFailed{
    "Die Datenverbindung des Servers konnte nicht angenommen werden (Socket-Fehler # %d).",
    "The server's data connection could not be accepted (socket error # %d)."};
// Active mode cannot work through a SOCKS proxy: the server would have to reach us directly.
inline constexpr TText kFtpActiveThroughSocks{
    "Aktiver Modus (PORT) ist über einen SOCKS-Proxy nicht möglich; bitte passiven Modus verwenden.",
    "Active mode (PORT) cannot work through a SOCKS proxy; please use passive mode."};

// A transfer that ended short of the size the server announced: bytes received, announced.
inline constexpr TText kFtpTransferIncomplete{
    "Übertragung unvollständig: %d von %d angekündigten Bytes empfangen.",
    "Transfer incomplete: %d of %d announced bytes received."};
// A transfer that brought more than the server announced (or than the file on the server
// holds): the most bytes the transfer may bring.
inline constexpr TText kFtpTransferTooLong{
    "Übertragung zu lang: mehr als die angekündigten %d Bytes empfangen.",
    "Transfer too long: more than the announced %d bytes received."};
// A resume whose local file is larger than the server's: local size, remote size.
inline constexpr TText kFtpLocalFileLarger{
    "Die lokale Datei ist mit %d Bytes größer als die Datei auf dem Server (%d Bytes) und "
    "kann nicht fortgesetzt werden.",
    "The local file, %d bytes, is larger than the file on the server (%d bytes) and cannot be "
    "resumed."};
// A SIZE reply 213 whose text is no size: the text.
inline constexpr TText kFtpSizeReplyInvalid{"Ungültige Antwort auf SIZE: \"%s\".",
                                            "Invalid reply to SIZE: \"%s\"."};

// Transfer commands and the separators of their arguments.
inline constexpr const char kFtpCmdPasv[] = "PASV";
inline constexpr const char kFtpCmdPort[] = "PORT ";
inline constexpr const char kFtpCmdRest[] = "REST ";
inline constexpr const char kFtpCmdRetr[] = "RETR ";
inline constexpr const char kFtpCmdList[] = "LIST";
inline constexpr const char kFtpCmdSize[] = "SIZE ";
inline constexpr const char kFtpCmdMdtm[] = "MDTM ";
inline constexpr const char kFtpCmdEpsv[] = "EPSV";
inline constexpr const char kFtpCmdEprt[] = "EPRT ";
inline constexpr const char kFtpCmdFeat[] = "FEAT";
inline constexpr const char kFtpCmdOptsUtf8[] = "OPTS UTF8 ON";
inline constexpr const char kFtpCmdMlsd[] = "MLSD";
inline constexpr const char kFtpCmdMlst[] = "MLST";
// The FEAT entry of a server that takes UTF-8 names.
inline constexpr const char kFtpFeatureUtf8[] = "UTF8";
// The address families of EPRT: 1 IPv4, 2 IPv6.
inline constexpr const char kFtpEprtIPv4[] = "1";
inline constexpr const char kFtpEprtIPv6[] = "2";
// An EPSV reply 229 whose text holds no port: the text.
inline constexpr TText kFtpEpsvReplyInvalid{"Ungültige Antwort auf EPSV: \"%s\".",
                                            "Invalid reply to EPSV: \"%s\"."};
// An MLST reply 250 that holds no line of facts: the text.
inline constexpr TText kFtpMlstReplyInvalid{"Ungültige Antwort auf MLST: \"%s\".",
                                            "Invalid reply to MLST: \"%s\"."};
// What a command shown to a person carries instead of the password.
inline constexpr const char kFtpMaskedPassword[] = "***";
// A listing beyond the bound: the bound in MiB.
inline constexpr TText kFtpListingTooLarge{
    "Die Verzeichnisliste ist größer als %d MiB und wird nicht gelesen.",
    "The directory listing is larger than %d MiB and is not read."};
// A listing of more lines than a listing object keeps: the bound.
inline constexpr TText kFtpListingTooManyLines{
    "Die Verzeichnisliste hat mehr als %d Zeilen und wird nicht gelesen.",
    "The directory listing has more than %d lines and is not read."};

}  // namespace tavo::res
