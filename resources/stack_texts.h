#pragma once
// German texts of the socket stack and socket handles (UTF-8): the socket-error table, the
// error message form and the messages of the stack's own errors. Each text lives here once;
// code refers to it by name and tests compare it against their own copy.

#include <cstdint>

namespace tavo::res {

// Every socket error message: error number, CR LF, the text of the table below (or nothing).
inline constexpr const char kSocketErrorFormat[] = "Socket-Fehler # %d\r\n%s";

struct TSocketErrorText {
  int32_t Number;
  const char* Text;
};

// Text parts of the socket error numbers (Windows numbering).
inline constexpr TSocketErrorText kSocketErrorTexts[] = {
    {10004, "Unterbrochener Systemaufruf."},
    {10009, "Falsche Dateinummer."},
    {10013, "Zugriff verweigert."},
    {10014, "Falsche Adresse."},
    {10022, "Ungültiges Argument."},
    {10024, "Zu viele geöffnete Dateien."},
    {10035, "Die Operation würde blockieren. "},
    {10036, "Die Operation wird gerade durchgeführt."},
    {10037, "Die Operation wird bereits durchgeführt."},
    {10038, "Socket-Operation auf Nicht-Socket."},
    {10039, "Zieladresse erforderlich."},
    {10040, "Die Botschaft ist zu lang."},
    {10041, "Das Protokoll hat für Socket den falschen Typ."},
    {10042, "Falsche Protokolloption."},
    {10043, "Das Protokoll wird nicht unterstützt."},
    {10044, "Sockettyp wird nicht unterstützt."},
    {10045, "Die Operation wird bei Socket nicht unterstützt."},
    {10046, "Die Protokollfamilie wird nicht unterstützt."},
    {10047, "Die Adressfamilie wird von der Protokollfamilie nicht unterstützt."},
    {10048, "Die Adresse ist bereits in Gebrauch."},
    {10049, "Die angeforderte Adresse kann nicht zugewiesen werden."},
    {10050, "Das Netzwerk ist ausgefallen."},
    {10051, "Das Netzwerk ist nicht erreichbar."},
    {10052, "Netz hat die Verbindung verloren oder zurückgesetzt."},
    {10053, "Die Software hat den Abbruch der Verbindung verursacht."},
    {10054, "Die Verbindung wurde von Peer zurückgesetzt."},
    {10055, "Es ist kein Pufferplatz verfügbar."},
    {10056, "Socket ist bereits verbunden."},
    {10057, "Socket ist nicht verbunden."},
    {10058, "Nach Schließen des Socket kann weder gesendet noch empfangen werden."},
    {10059, "Zu viele Referenzen; keine Verbindungen möglich."},
    {10060, "Zeitüberschreitung bei Verbindung."},
    {10061, "Verbindung abgelehnt."},
    {10062, "Zu viele Ebenen von symbolischen Links."},
    {10063, "Dateiname ist zu lang."},
    {10064, "Der Host ist ausgefallen."},
    {10065, "Keine Route zum Host."},
    {10066, "Verzeichnis ist nicht leer"},
};

// The host name that is never looked up (compared ignoring letter case), and its address.
inline constexpr const char kLocalHostName[] = "LOCALHOST";
inline constexpr const char kLoopbackAddress[] = "127.0.0.1";

// The platform stack's own entry, consulted before the table: 11001, host not found.
inline constexpr const char kHostNotFound[] = "Host nicht gefunden.";

inline constexpr const char kCannotAllocateSocket[] = "Socket kann nicht zugewiesen werden.";
inline constexpr const char kWinsockInitError[] = "Fehler bei der Winsock-Initialisierung.";
inline constexpr const char kSetSizeExceeded[] = "Mengengröße überschritten.";
// Service name (%s) that is neither known nor a number.
inline constexpr const char kInvalidServiceName[] = "%s ist kein gültiger Service.";
inline constexpr const char kCouldNotBindSocket[] =
    "Socket konnte nicht gebunden werden. Adresse und Port werden bereits benutzt.";
// Lowest and highest port of the range.
inline constexpr const char kInvalidPortRange[] = "Ungültiger Port-Bereich (%d - %d)";
inline constexpr const char kCannotBindRange[] =
    "Port-Beriech (%d - %d) kann nicht eingebunden werden";
// Waiting on a handle without socket raises the transport's kTcpConnClosedGracefully
// (tcp_texts.h), the one copy of that text.

// Our own: a socket handle used while no network component keeps the socket stack alive.
inline constexpr const char kNoSocketStack[] = "Kein Socket-Stack vorhanden.";

// Loader of the Windows socket library: the library's file name, and the two message forms.
inline constexpr const char kWinsock2LibraryName[] = "WS2_32.DLL";
inline constexpr const char kWinsock2LoadError[] =
    "Fehler beim Laden einer Winsock2-Bibliothek (%s)";
inline constexpr const char kWinsock2CallError[] =
    "Fehler beim Aufruf einer Winsock2-Bibliotheksfunktion %s";

}  // namespace tavo::res
