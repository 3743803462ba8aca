#pragma once
// German texts of the TCP transport: the status templates every network component reports
// and the messages of the connection's own errors. Each text lives here once; code refers to
// it by name and tests compare it against their own copy.

namespace tavo::res {

// Status templates, one per status value (at most one %s each).
inline constexpr const char kStatusResolving[] = "Host-Name %s wird aufgelöst.";
inline constexpr const char kStatusConnecting[] = "Verbinden mit %s.";
inline constexpr const char kStatusConnected[] = "Verbunden.";
inline constexpr const char kStatusDisconnecting[] = "Verbindung wird getrennt.";
inline constexpr const char kStatusDisconnected[] = "Verbindung aufgehoben.";
inline constexpr const char kStatusText[] = "%s";

// Connection lifecycle.
inline constexpr const char kTcpAlreadyConnected[] = "Verbindung besteht bereits.";
inline constexpr const char kTcpConnectTimeout[] = "Zeitüberschreitung der Verbindung.";
// A handler whose socket is closed shares its text with the disconnected status.
inline constexpr const char* kTcpClosedSocket = kStatusDisconnected;
inline constexpr const char kTcpConnClosedGracefully[] =
    "Die Verbindung wurde erfolgreich geschlossen.";

// Buffered input and output.
inline constexpr const char kTcpNotConnected[] = "Nicht verbunden";
inline constexpr const char kTcpReadTimeout[] = "Zeitüberschreitung beim Lesen";
inline constexpr const char kTcpMaxLineLengthExceeded[] = "Max. Zeilenlänge überschritten.";
inline constexpr const char kTcpNotEnoughDataInBuffer[] = "Nicht genügend Daten im Puffer.";
inline constexpr const char kTcpNoDataToRead[] = "Keine Daten für den Lesezugriff.";
inline constexpr const char kTcpFileNotFound[] = "Datei \"%s\" konnte nicht gefunden werden";

// Our own: arguments the original interface never received and that we refuse explicitly.
inline constexpr const char kTcpInvalidTimeout[] = "Ungültige Zeitüberschreitung (%d ms).";
inline constexpr const char kTcpInvalidLength[] = "Ungültige Längenangabe (%d).";

// A reply that goes on past the connection's bound (MaxReplyLength, in bytes).
inline constexpr const char kTcpReplyTooLong[] =
    "Die Antwort des Servers ist länger als %d Bytes und wird nicht weiter gelesen.";

// Refusal of a command line that would break out of its one line (see SendCmd).
inline constexpr const char kTcpCommandLineBreak[] =
    "Befehlszeile enthält einen Zeilenumbruch und wird nicht gesendet";

}  // namespace tavo::res
