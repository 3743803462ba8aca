#pragma once
// Texts of the socket stack and socket handles (UTF-8), German with their English twins: the
// socket-error table, the error message form and the messages of the stack's own errors. Each
// text lives here once; code refers to it by name and tests compare it against their own copy.

#include <cstdint>

#include "resources/text.h"

namespace tavo::res {

// Every socket error message: error number, CR LF, the text of the table below (or nothing).
inline constexpr TText kSocketErrorFormat{"Socket-Fehler # %d\r\n%s", "Socket error # %d\r\n%s"};

struct TSocketErrorText {
  int32_t Number;
  TText Text;
};

// Text parts of the socket error numbers (Windows numbering).
inline constexpr TSocketErrorText kSocketErrorTexts[] = {
    {10004, {"Unterbrochener Systemaufruf.", "Interrupted system call."}},
    {10009, {"Falsche Dateinummer.", "Bad file number."}},
    {10013, {"Zugriff verweigert.", "Access denied."}},
    {10014, {"Falsche Adresse.", "Bad address."}},
    {10022, {"Ungültiges Argument.", "Invalid argument."}},
    {10024, {"Zu viele geöffnete Dateien.", "Too many open files."}},
    {10035, {"Die Operation würde blockieren. ", "Operation would block. "}},
    {10036, {"Die Operation wird gerade durchgeführt.", "Operation now in progress."}},
    {10037, {"Die Operation wird bereits durchgeführt.", "Operation already in progress."}},
    {10038, {"Socket-Operation auf Nicht-Socket.", "Socket operation on non-socket."}},
    {10039, {"Zieladresse erforderlich.", "Destination address required."}},
    {10040, {"Die Botschaft ist zu lang.", "Message too long."}},
    {10041, {"Das Protokoll hat für Socket den falschen Typ.", "Protocol wrong type for socket."}},
    {10042, {"Falsche Protokolloption.", "Bad protocol option."}},
    {10043, {"Das Protokoll wird nicht unterstützt.", "Protocol not supported."}},
    {10044, {"Sockettyp wird nicht unterstützt.", "Socket type not supported."}},
    {10045, {"Die Operation wird bei Socket nicht unterstützt.", "Operation not supported on socket."}},
    {10046, {"Die Protokollfamilie wird nicht unterstützt.", "Protocol family not supported."}},
    {10047, {"Die Adressfamilie wird von der Protokollfamilie nicht unterstützt.", "Address family not supported by protocol family."}},
    {10048, {"Die Adresse ist bereits in Gebrauch.", "Address already in use."}},
    {10049, {"Die angeforderte Adresse kann nicht zugewiesen werden.", "Cannot assign requested address."}},
    {10050, {"Das Netzwerk ist ausgefallen.", "Network is down."}},
    {10051, {"Das Netzwerk ist nicht erreichbar.", "Network is unreachable."}},
    {10052, {"Netz hat die Verbindung verloren oder zurückgesetzt.", "Net dropped connection or reset."}},
    {10053, {"Die Software hat den Abbruch der Verbindung verursacht.", "Software caused connection abort."}},
    {10054, {"Die Verbindung wurde von Peer zurückgesetzt.", "Connection reset by peer."}},
    {10055, {"Es ist kein Pufferplatz verfügbar.", "No buffer space available."}},
    {10056, {"Socket ist bereits verbunden.", "Socket is already connected."}},
    {10057, {"Socket ist nicht verbunden.", "Socket is not connected."}},
    {10058, {"Nach Schließen des Socket kann weder gesendet noch empfangen werden.", "Cannot send or receive after socket is closed."}},
    {10059, {"Zu viele Referenzen; keine Verbindungen möglich.", "Too many references, cannot splice."}},
    {10060, {"Zeitüberschreitung bei Verbindung.", "Connection timed out."}},
    {10061, {"Verbindung abgelehnt.", "Connection refused."}},
    {10062, {"Zu viele Ebenen von symbolischen Links.", "Too many levels of symbolic links."}},
    {10063, {"Dateiname ist zu lang.", "File name too long."}},
    {10064, {"Der Host ist ausgefallen.", "Host is down."}},
    {10065, {"Keine Route zum Host.", "No route to host."}},
    {10066, {"Verzeichnis ist nicht leer", "Directory not empty"}},
};

// The host name that is never looked up (compared ignoring letter case), and its address.
inline constexpr const char kLocalHostName[] = "LOCALHOST";
inline constexpr const char kLoopbackAddress[] = "127.0.0.1";

// The platform stack's own entry, consulted before the table: 11001, host not found.
inline constexpr TText kHostNotFound{"Host nicht gefunden.", "Host not found."};

inline constexpr TText kCannotAllocateSocket{"Socket kann nicht zugewiesen werden.",
                                             "Cannot allocate a socket."};
inline constexpr TText kWinsockInitError{"Fehler bei der Winsock-Initialisierung.",
                                         "Winsock initialization failed."};
inline constexpr TText kSetSizeExceeded{"Mengengröße überschritten.", "Set size exceeded."};
// Service name (%s) that is neither known nor a number.
inline constexpr TText kInvalidServiceName{"%s ist kein gültiger Service.",
                                           "%s is not a valid service."};
inline constexpr TText kCouldNotBindSocket{
    "Socket konnte nicht gebunden werden. Adresse und Port werden bereits benutzt.",
    "Could not bind the socket. Address and port are already in use."};
// Lowest and highest port of the range.
inline constexpr TText kInvalidPortRange{"Ungültiger Port-Bereich (%d - %d)",
                                         "Invalid port range (%d - %d)"};
inline constexpr TText kCannotBindRange{"Port-Beriech (%d - %d) kann nicht eingebunden werden",
                                        "Cannot bind in the port range (%d - %d)"};
// Waiting on a handle without socket raises the transport's kTcpConnClosedGracefully
// (tcp_texts.h), the one copy of that text.

// Our own: a socket handle used while no network component keeps the socket stack alive.
inline constexpr TText kNoSocketStack{"Kein Socket-Stack vorhanden.", "No socket stack exists."};

// Loader of the Windows socket library: the library's file name, and the two message forms.
inline constexpr const char kWinsock2LibraryName[] = "WS2_32.DLL";
inline constexpr TText kWinsock2LoadError{"Fehler beim Laden einer Winsock2-Bibliothek (%s)",
                                          "Error loading a Winsock2 library (%s)"};
inline constexpr TText kWinsock2CallError{
    "Fehler beim Aufruf einer Winsock2-Bibliotheksfunktion %s",
    "Error calling the Winsock2 library function %s"};

}  // namespace tavo::res
