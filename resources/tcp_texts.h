#pragma once
// Texts of the TCP transport, German with their English twins: the status templates every
// network component reports and the messages of the connection's own errors. Each text lives
// here once; code refers to it by name and tests compare it against their own copy.

#include "resources/text.h"

namespace tavo::res {

// Status templates, one per status value (at most one %s each).
inline constexpr TText kStatusResolving{"Host-Name %s wird aufgelöst.", "Resolving host name %s."};
inline constexpr TText kStatusConnecting{"Verbinden mit %s.", "Connecting to %s."};
inline constexpr TText kStatusConnected{"Verbunden.", "Connected."};
inline constexpr TText kStatusDisconnecting{"Verbindung wird getrennt.", "Disconnecting."};
inline constexpr TText kStatusDisconnected{"Verbindung aufgehoben.", "Disconnected."};
inline constexpr TText kStatusText{"%s"};

// Connection lifecycle.
inline constexpr TText kTcpAlreadyConnected{"Verbindung besteht bereits.", "Already connected."};
inline constexpr TText kTcpConnectTimeout{"Zeitüberschreitung der Verbindung.",
                                          "Connect timed out."};
// A handler whose socket is closed shares its text with the disconnected status.
inline constexpr const TText& kTcpClosedSocket = kStatusDisconnected;
inline constexpr TText kTcpConnClosedGracefully{"Die Verbindung wurde erfolgreich geschlossen.",
                                                "The connection was closed gracefully."};

// Buffered input and output.
inline constexpr TText kTcpNotConnected{"Nicht verbunden", "Not connected"};
inline constexpr TText kTcpReadTimeout{"Zeitüberschreitung beim Lesen", "Read timed out"};
inline constexpr TText kTcpMaxLineLengthExceeded{"Max. Zeilenlänge überschritten.",
                                                 "Maximum line length exceeded."};
inline constexpr TText kTcpNotEnoughDataInBuffer{"Nicht genügend Daten im Puffer.",
                                                 "Not enough data in the buffer."};
inline constexpr TText kTcpNoDataToRead{"Keine Daten für den Lesezugriff.", "No data to read."};
inline constexpr TText kTcpFileNotFound{"Datei \"%s\" konnte nicht gefunden werden",
                                        "File \"%s\" not found"};

// Arguments no caller may pass (a time-out below -1): refused with a clear message rather than
// taken as some other bound.
inline constexpr TText kTcpInvalidTimeout{"Ungültige Zeitüberschreitung (%d ms).",
                                          "Invalid time-out (%d ms)."};
inline constexpr TText kTcpInvalidLength{"Ungültige Längenangabe (%d).", "Invalid length (%d)."};

// A reply that goes on past the connection's bound (MaxReplyLength, in bytes).
inline constexpr TText kTcpReplyTooLong{
    "Die Antwort des Servers ist länger als %d Bytes und wird nicht weiter gelesen.",
    "The server's reply is longer than %d bytes and is not read any further."};

// Refusal of a command line that would break out of its one line (see SendCmd).
inline constexpr TText kTcpCommandLineBreak{
    "Befehlszeile enthält einen Zeilenumbruch und wird nicht gesendet",
    "The command line contains a line break and is not sent"};

}  // namespace tavo::res
