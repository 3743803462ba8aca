#pragma once
// tavo-ftp's own texts, German and English side by side as the library's are (resources/text.h;
// the process's language picks one). The help text is English only: it is generated from the
// option table.

#include "resources/text.h"

namespace tavo::tool::msg {

using res::TText;

// What failed, where, and why: the step, the server (host:port), the path or the login, and
// the reason (the server's reply, the system's words, the library's message).
inline constexpr TText kCannotConnect{"Verbindung zu %s nicht möglich: %s", "cannot connect to %s: %s"};
inline constexpr TText kCannotLogIn{"Anmeldung an %s als %s fehlgeschlagen: %s", "log in to %s as %s failed: %s"};
inline constexpr TText kCannotChangeDir{"Wechsel in den Ordner %s auf %s nicht möglich: %s", "cannot change folder to %s on %s: %s"};
inline constexpr TText kCannotRetrieve{"%s kann nicht von %s geholt werden: %s", "cannot retrieve %s from %s: %s"};
inline constexpr TText kCannotList{"%s auf %s kann nicht aufgelistet werden: %s", "cannot list %s on %s: %s"};
inline constexpr TText kServerClosed{"der Server hat die Verbindung geschlossen", "the server closed the connection"};
inline constexpr TText kServerAborted{"der Server hat die Übertragung abgebrochen", "the server aborted the transfer"};
// A try that failed transiently: its error line, the pause, the try's number, how many.
inline constexpr TText kRetrying{"%s; neuer Versuch in %s (Wiederholung %d von %d)", "%s; trying again in %s (retry %d of %d)"};
inline constexpr TText kMaxTime{"der Lauf hat länger als --max-time %s gedauert", "the run took longer than --max-time %s"};
inline constexpr TText kTooSlow{"die Übertragung war langsamer als %s/s, %s lang (--speed-limit)", "the transfer was slower than %s/s for %s (--speed-limit)"};

// Local files.
inline constexpr TText kNotClobbered{"%s existiert; nicht ersetzt (--no-clobber)", "%s exists; not replaced (--no-clobber)"};
inline constexpr TText kAppearedMeanwhile{"%s ist inzwischen entstanden; nicht ersetzt (--no-clobber)", "%s appeared meanwhile; not replaced (--no-clobber)"};
inline constexpr TText kDestIsFolder{"%s ist ein Ordner", "%s is a folder"};
inline constexpr TText kNoTemporaryFile{"neben %s kann keine temporäre Datei angelegt werden: %s", "cannot make a temporary file beside %s: %s"};
inline constexpr TText kCannotMoveIntoPlace{"der Download kann nicht als %s abgelegt werden: %s", "cannot move the download into place as %s: %s"};
inline constexpr TText kCannotSetTime{"die Änderungszeit von %s kann nicht gesetzt werden: %s", "cannot set the modification time of %s: %s"};
inline constexpr TText kNoResume{"der Server kann keine Übertragung fortsetzen (REST abgelehnt); %s bleibt, wie es ist", "the server cannot resume a transfer (REST refused); %s left as it is"};
inline constexpr TText kStdoutFailed{"Standardausgabe: %s", "standard output: %s"};
inline constexpr TText kStdoutNoSeek{"die Standardausgabe kann nicht neu positioniert werden", "standard output cannot be repositioned"};
inline constexpr TText kStdoutWriteFailed{"in die Standardausgabe kann nicht geschrieben werden", "cannot write to standard output"};

// Logins.
inline constexpr TText kNetrcOpen{"%s kann von anderen Benutzern gelesen oder geändert werden und wird nicht verwendet (chmod "
    "600 macht die Datei privat)", "%s can be read or changed by other users; it is not used (chmod 600 makes it private)"};
inline constexpr TText kNetrcUnreadable{"die netrc-Datei %s kann nicht gelesen werden", "cannot read the netrc file %s"};
inline constexpr TText kNoPasswordOnStdin{"kein Passwort auf der Standardeingabe (--password-stdin)", "no password on standard input (--password-stdin)"};
// The user and the host the password is for.
inline constexpr TText kPasswordPrompt{"Passwort für %s auf %s: ", "Password for %s at %s: "};

// Progress and summary: name, size, time, average rate.
inline constexpr TText kSummary{"%s: %s in %s, %s", "%s: %s in %s, %s"};
inline constexpr TText kCompleteAlready{"%s: bereits vollständig, nichts zu übertragen", "%s: complete already, nothing to transfer"};
// Name, percentage, bytes, total, rate, time left.
inline constexpr TText kProgressSized{"%s: %d %%, %s von %s, %s/s, noch %s", "%s: %d%%, %s of %s, %s/s, %s left"};
inline constexpr TText kProgressUnsized{"%s: %s, %s/s", "%s: %s, %s/s"};
inline constexpr TText kProgressLeft{"noch %s", "%s left"};

// Ends of a run.
inline constexpr TText kInterruptedTransfer{"unterbrochen; die Übertragung wurde nicht beendet", "interrupted; the transfer was not completed"};
inline constexpr TText kInterruptedListing{"unterbrochen; die Auflistung wurde nicht beendet", "interrupted; the listing was not completed"};
inline constexpr TText kInsecureWarning{"Warnung: --insecure: das Zertifikat des Servers wird nicht geprüft; jeder auf dem Weg kann "
    "diese Sitzung lesen und verändern", "warning: --insecure: the server's certificate is not checked; anyone on the path can read "
    "and change this session"};

// The command line.
inline constexpr TText kUsageLine{"Aufruf: tavo-ftp [get] [Optionen] URL... [ZIEL] | tavo-ftp ls [Optionen] URL", "Usage: tavo-ftp [get] [options] URL... [DEST] | tavo-ftp ls [options] URL"};
inline constexpr TText kTryHelp{"Mehr dazu zeigt 'tavo-ftp --help'.", "Try 'tavo-ftp --help' for more information."};
inline constexpr TText kUsageNoCommand{"kein Befehl und keine URL angegeben", "no command or URL given"};
inline constexpr TText kUsageUnknownCommand{"unbekannter Befehl (get, ls oder eine ftp://-URL)", "unknown command (get, ls or an ftp:// URL)"};
inline constexpr TText kUsageNoUrl{"keine URL angegeben", "no URL given"};
inline constexpr TText kUsageTooManyArguments{"zu viele Argumente", "too many arguments"};
inline constexpr TText kUsageUnknownOption{"unbekannte Option %s", "unknown option %s"};
inline constexpr TText kUsageMissingValue{"fehlender Wert für %s", "missing value for %s"};
inline constexpr TText kUsageNotInThisBuild{"%s: TLS ist in diesem Build nicht verfügbar", "%s: TLS is not available in this build"};
// The option, and the command it belongs to.
inline constexpr TText kUsageWrongCommand{"%s gehört zu %s", "%s belongs to %s"};
inline constexpr TText kUsageDuration{"%s erwartet eine Zeit: eine Zahl mit optionaler Einheit (500ms, 30s, 2m)", "%s takes a time: a number with an optional unit (500ms, 30s, 2m)"};
inline constexpr TText kUsageByteCount{"%s erwartet eine Anzahl Bytes (100k, 1.5M)", "%s takes a number of bytes (100k, 1.5M)"};
inline constexpr TText kUsageRetry{"--retry erwartet eine Zahl (0 oder mehr)", "--retry takes a number (0 or more)"};
inline constexpr TText kUsageProxyLogin{"%s erwartet nur HOST:PORT; die Anmeldung am Proxy geben seine Benutzer- und "
    "Passwort-Optionen an", "%s takes HOST:PORT only; give the proxy's login with its user and password options"};
inline constexpr TText kUsagePort{"%s: der Port muss eine Zahl von 1 bis 65535 sein", "%s: the port must be a number from 1 to 65535"};
inline constexpr TText kUsageHostPort{"%s braucht HOST:PORT", "%s needs HOST:PORT"};
inline constexpr TText kUsageOneSocks{"nur einen SOCKS-Proxy angeben", "give one SOCKS proxy only"};
inline constexpr TText kUsageEmptyDest{"ein Ziel darf nicht leer sein", "a destination must not be empty"};
inline constexpr TText kUsageFormat{"--format ist eines von dos, unix, vms, names", "--format is one of dos, unix, vms, names"};
inline constexpr TText kUsageUser{"--user braucht einen Benutzernamen", "--user needs a user name"};
inline constexpr TText kUsageNetrcFile{"--netrc-file braucht eine Datei", "--netrc-file needs a file"};
inline constexpr TText kUsageProxyType{"--ftp-proxy-type ist eines von user-site, site, open, user-pass, transparent", "--ftp-proxy-type is one of user-site, site, open, user-pass, transparent"};
inline constexpr TText kUsageCacert{"--cacert braucht eine Datei", "--cacert needs a file"};
inline constexpr TText kUsageProxyTypeNeedsProxy{"--ftp-proxy-type braucht --ftp-proxy", "--ftp-proxy-type needs --ftp-proxy"};
inline constexpr TText kUsageActiveSocks{"--active geht nicht über einen SOCKS-Proxy: der Server kann uns nicht erreichen", "--active cannot work through a SOCKS proxy: the server cannot reach us"};
inline constexpr TText kUsageForeignPeer{"--allow-foreign-data-peer gehört zu --active", "--allow-foreign-data-peer belongs to --active"};
inline constexpr TText kUsageSocksPassword{"--socks-password braucht --socks5", "--socks-password needs --socks5"};
inline constexpr TText kUsageCacertNeedsTls{"--cacert und --insecure gehören zu --tls", "--cacert and --insecure belong to --tls"};
inline constexpr TText kUsagePasswordTwice{"--password-stdin und ein Passwort in --user schließen sich aus", "--password-stdin and a password in --user exclude each other"};
inline constexpr TText kUsageDestAndOutput{"entweder ZIEL oder -o angeben, nicht beides", "give DEST or -o, not both"};
inline constexpr TText kUsageTooManyOutputs{"mehr -o als URLs", "more -o than URLs"};
inline constexpr TText kUsageResumeStdout{"--resume braucht eine Datei, nicht die Standardausgabe (\"-\")", "--resume needs a file, not standard output (\"-\")"};
inline constexpr TText kUsageDestNotFolder{"bei mehreren URLs muss ZIEL ein Ordner sein: %s", "with several URLs DEST must be a folder: %s"};

// The address (url.cpp); never repeating it, since it may hold a password.
inline constexpr TText kUrlNotFtp{"keine ftp://-Adresse", "not an ftp:// address"};
inline constexpr TText kUrlNoFile{"kein Dateiname in der Adresse", "no file name in the address"};
inline constexpr TText kUrlNoHost{"kein Host in der Adresse", "no host in the address"};
inline constexpr TText kUrlPort{"der Port muss eine Zahl von 1 bis 65535 sein", "the port must be a number from 1 to 65535"};
inline constexpr TText kUrlHost{"der Host muss ein Name, eine IPv4-Adresse oder eine IPv6-Adresse in eckigen Klammern sein",
                                "the host must be a name, an IPv4 address or an IPv6 address in brackets"};
inline constexpr TText kUrlBrokenEscape{"fehlerhafte Prozent-Kodierung in der Adresse", "broken percent escape in the address"};
inline constexpr TText kUrlLineBreak{"Zeilenumbruch oder NUL in der Adresse", "line break or NUL in the address"};
inline constexpr TText kUrlNoLocalName{"der Dateiname taugt nicht als lokale Datei; ZIEL angeben", "the file name cannot name a local file; give DEST"};

}  // namespace tavo::tool::msg
