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

// Statuses of a transfer.
inline constexpr const char kFtpTransferStarting[] = "FTP-Transfer wird gestartet";
inline constexpr const char kFtpTransferComplete[] = "Transfer abgeschlossen";
inline constexpr const char kFtpTransferAborted[] = "Transfer abgebrochen";

// Retrieval.
inline constexpr const char kFtpFileAlreadyExists[] = "Die Zieldatei existiert bereits.";
// A PASV reply that names no usable address: the offending field, or the port.
inline constexpr const char kFtpPasvInvalidField[] =
    "Ungültiges Feld \"%s\" in der Antwort auf PASV (erlaubt sind 0 bis 255).";
inline constexpr const char kFtpPasvInvalidPort[] =
    "Ungültiger Port %d in der Antwort auf PASV (erlaubt sind 1 bis 65535).";
// Active mode: the server never opened the data connection, or the wait was given up.
inline constexpr const char kFtpAcceptTimeout[] =
    "Der Server hat innerhalb von %d ms keine Datenverbindung geöffnet.";
inline constexpr const char kFtpAcceptAborted[] = "Warten auf die Datenverbindung abgebrochen.";
// Active mode: taking the server's data connection failed: the socket error number.
inline constexpr const char kFtpAcceptFailed[] =
    "Die Datenverbindung des Servers konnte nicht angenommen werden (Socket-Fehler # %d).";
// Active mode cannot work through a SOCKS proxy: the server would have to reach us directly.
inline constexpr const char kFtpActiveThroughSocks[] =
    "Aktiver Modus (PORT) ist über einen SOCKS-Proxy nicht möglich; bitte passiven Modus verwenden.";

// A transfer that ended short of the size the server announced: bytes received, announced.
inline constexpr const char kFtpTransferIncomplete[] =
    "Übertragung unvollständig: %d von %d angekündigten Bytes empfangen.";
// A transfer that brought more than the server announced (or than the file on the server
// holds): the most bytes the transfer may bring.
inline constexpr const char kFtpTransferTooLong[] =
    "Übertragung zu lang: mehr als die angekündigten %d Bytes empfangen.";
// A resume whose local file is larger than the server's: local size, remote size.
inline constexpr const char kFtpLocalFileLarger[] =
    "Die lokale Datei ist mit %d Bytes größer als die Datei auf dem Server (%d Bytes) und "
    "kann nicht fortgesetzt werden.";
// A SIZE reply 213 whose text is no size: the text.
inline constexpr const char kFtpSizeReplyInvalid[] = "Ungültige Antwort auf SIZE: \"%s\".";

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
inline constexpr const char kFtpEpsvReplyInvalid[] = "Ungültige Antwort auf EPSV: \"%s\".";
// An MLST reply 250 that holds no line of facts: the text.
inline constexpr const char kFtpMlstReplyInvalid[] = "Ungültige Antwort auf MLST: \"%s\".";
// What a command shown to a person carries instead of the password.
inline constexpr const char kFtpMaskedPassword[] = "***";
// A listing beyond the bound: the bound in MiB.
inline constexpr const char kFtpListingTooLarge[] =
    "Die Verzeichnisliste ist größer als %d MiB und wird nicht gelesen.";
// A listing of more lines than a listing object keeps: the bound.
inline constexpr const char kFtpListingTooManyLines[] =
    "Die Verzeichnisliste hat mehr als %d Zeilen und wird nicht gelesen.";

}  // namespace tavo::res
