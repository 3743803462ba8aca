#pragma once
// Texts of explicit FTP over TLS: the messages of the TLS layer and of the FTP client's TLS
// steps, German with their English twins, and the protocol words it sends. Each text lives here
// once; tests keep a copy.

#include "resources/text.h"

namespace tavo::res {

// The TLS layer of a connection. The %s parts are the TLS library's own (English) reason.
inline constexpr TText kTlsNotAvailable{"TLS ist in diesem Build nicht verfügbar.",
                                        "TLS is not available in this build."};
inline constexpr TText kTlsSetupFailed{"TLS kann nicht eingerichtet werden: %s",
                                       "TLS cannot be set up: %s"};
inline constexpr TText kTlsCaFileFailed{"Die CA-Datei \"%s\" kann nicht gelesen werden: %s",
                                        "The CA file \"%s\" cannot be read: %s"};
inline constexpr TText kTlsHandshakeFailed{"TLS-Handshake fehlgeschlagen: %s",
                                           "TLS handshake failed: %s"};
inline constexpr TText kTlsHandshakeTimeout{"Zeitüberschreitung beim TLS-Handshake.",
                                            "The TLS handshake timed out."};
inline constexpr TText kTlsHandshakePeerClosed{
    "Der Server hat die Verbindung während des TLS-Handshakes geschlossen.",
    "The server closed the connection during the TLS handshake."};
inline constexpr TText kTlsCertificateRejected{"Das Zertifikat des Servers wurde abgelehnt: %s",
                                               "The server's certificate was rejected: %s"};
inline constexpr TText kTlsNotConnected{
    "TLS kann nur auf einer offenen Verbindung gestartet werden.",
    "TLS can only be started on an open connection."};
inline constexpr TText kTlsAlreadyActive{"TLS ist auf dieser Verbindung bereits aktiv.",
                                         "TLS is active on this connection already."};
inline constexpr TText kTlsRecordFailed{"TLS-Fehler: %s", "TLS error: %s"};
// The peer ended the TCP connection without TLS's closing message: what arrived may be cut
// short, and nobody can tell.
inline constexpr TText kTlsTruncated{
    "Die TLS-Verbindung wurde ohne Abschlussmeldung beendet; die Daten können unvollständig sein.",
    "The TLS connection ended without its closing message; the data may be incomplete."};

// The FTP client's TLS steps.
inline constexpr TText kFtpTlsRefused{
    "Der Server lehnt TLS ab (AUTH TLS: %s); ohne TLS werden keine Anmeldedaten gesendet.",
    "The server refuses TLS (AUTH TLS: %s); no login is sent without TLS."};
inline constexpr TText kFtpTlsPlaintextAfterAuth{
    "Der Server hat nach AUTH TLS unverschlüsselte Daten gesendet; die Verbindung wird abgebrochen.",
    "The server sent unencrypted data after AUTH TLS; the connection is given up."};
inline constexpr TText kFtpTlsNotNegotiated{
    "TLS ist verlangt, aber die Steuerverbindung ist nicht verschlüsselt.",
    "TLS is required, but the control connection is not encrypted."};
inline constexpr TText kFtpTlsHandlerUnsuitable{
    "Der I/O-Handler der Verbindung kann kein TLS (TIdIOHandlerTLS erforderlich).",
    "The connection's I/O handler cannot carry TLS (TIdIOHandlerTLS required)."};

// Commands.
inline constexpr const char kFtpCmdAuthTls[] = "AUTH TLS";
inline constexpr const char kFtpCmdPbsz0[] = "PBSZ 0";
inline constexpr const char kFtpCmdProtP[] = "PROT P";

}  // namespace tavo::res
