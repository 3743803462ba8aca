#pragma once
// German texts of explicit FTP over TLS: the messages of the TLS layer and of the FTP client's
// TLS steps, and the protocol words it sends. Each text lives here once; tests keep a copy.

namespace tavo::res {

// The TLS layer of a connection. The %s parts are the TLS library's own (English) reason.
inline constexpr const char kTlsNotAvailable[] = "TLS ist in diesem Build nicht verfügbar.";
inline constexpr const char kTlsSetupFailed[] = "TLS kann nicht eingerichtet werden: %s";
inline constexpr const char kTlsCaFileFailed[] =
    "Die CA-Datei \"%s\" kann nicht gelesen werden: %s";
inline constexpr const char kTlsHandshakeFailed[] = "TLS-Handshake fehlgeschlagen: %s";
inline constexpr const char kTlsHandshakeTimeout[] = "Zeitüberschreitung beim TLS-Handshake.";
inline constexpr const char kTlsHandshakePeerClosed[] =
    "Der Server hat die Verbindung während des TLS-Handshakes geschlossen.";
inline constexpr const char kTlsCertificateRejected[] =
    "Das Zertifikat des Servers wurde abgelehnt: %s";
inline constexpr const char kTlsNotConnected[] =
    "TLS kann nur auf einer offenen Verbindung gestartet werden.";
inline constexpr const char kTlsAlreadyActive[] = "TLS ist auf dieser Verbindung bereits aktiv.";
inline constexpr const char kTlsRecordFailed[] = "TLS-Fehler: %s";
// The peer ended the TCP connection without TLS's closing message: what arrived may be cut
// short, and nobody can tell.
inline constexpr const char kTlsTruncated[] =
    "Die TLS-Verbindung wurde ohne Abschlussmeldung beendet; die Daten können unvollständig sein.";

// The FTP client's TLS steps.
inline constexpr const char kFtpTlsRefused[] =
    "Der Server lehnt TLS ab (AUTH TLS: %s); ohne TLS werden keine Anmeldedaten gesendet.";
inline constexpr const char kFtpTlsPlaintextAfterAuth[] =
    "Der Server hat nach AUTH TLS unverschlüsselte Daten gesendet; die Verbindung wird abgebrochen.";
inline constexpr const char kFtpTlsNotNegotiated[] =
    "TLS ist verlangt, aber die Steuerverbindung ist nicht verschlüsselt.";
inline constexpr const char kFtpTlsHandlerUnsuitable[] =
    "Der I/O-Handler der Verbindung kann kein TLS (TIdIOHandlerTLS erforderlich).";

// Commands.
inline constexpr const char kFtpCmdAuthTls[] = "AUTH TLS";
inline constexpr const char kFtpCmdPbsz0[] = "PBSZ 0";
inline constexpr const char kFtpCmdProtP[] = "PROT P";

}  // namespace tavo::res
