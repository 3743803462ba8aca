#pragma once
// German texts of the SOCKS 4, 4A and 5 negotiation (UTF-8). Each text lives here once; code
// refers to it by name and tests compare it against their own copy.

namespace tavo::res {

// SOCKS 4 and 4A results 91, 92, 93, and any other result but 90 (also SOCKS 5 above 8).
inline constexpr const char kSocksRequestFailed[] =
    "Anforderung zurückgewiesen oder fehlgeschlagen.";
inline constexpr const char kSocksRequestServerFailed[] =
    "Die Anforderung wurde zurückgewiesen, da der SOCKS-Server keine Verbindung herstellen "
    "konnte.";
inline constexpr const char kSocksRequestIdentFailed[] =
    "Die Anforderung wurde zurückgewiesen, da das Client-Programm und identd verschiedene "
    "Anwender-IDs melden.";
inline constexpr const char kSocksUnknownError[] = "Unbekannter SOCKS-Fehler.";

// SOCKS 5: no (complete) reply, method refused, user name or password refused.
inline constexpr const char kSocksServerRespondError[] = "Socks-Server hat nicht geantwortet.";
// "Authentifizierungmethode" is spelled so on purpose: the text is kept exactly.
inline constexpr const char kSocksAuthMethodError[] =
    "Ungültige Authentifizierungmethode für SOCKS.";
inline constexpr const char kSocksAuthError[] = "Authentifizierungsfehler bei Socks-Server.";

// SOCKS 5 results 1 to 8.
inline constexpr const char kSocksServerGeneralError[] = "Allgemeiner SOCKS-Serverausfall.";
inline constexpr const char kSocksServerPermissionError[] =
    "Die Verbindung wird von der Regelmenge nicht zugelassen.";
inline constexpr const char kSocksServerNetUnreachableError[] =
    "Das Netzwerk ist nicht erreichbar.";
inline constexpr const char kSocksServerHostUnreachableError[] = "Host nicht erreichbar.";
inline constexpr const char kSocksServerConnectionRefusedError[] = "Verbindung abgelehnt.";
inline constexpr const char kSocksServerTTLExpiredError[] = "TTL abgelaufen.";
// Without a full stop, unlike its neighbours.
inline constexpr const char kSocksServerCommandError[] = "Anweisung nicht unterstützt";
inline constexpr const char kSocksServerAddressError[] = "Der Adresstyp wird nicht unterstützt.";

// Our own: a version value outside the four the settings know (only reachable by a cast).
inline constexpr const char kSocksVersionUnsupported[] = "SOCKS-Version %d wird nicht unterstützt.";

// Our own: fields the wire format cannot carry are refused before anything is sent.
// The field names filled into the two templates below.
inline constexpr const char kSocksFieldUserId[] = "Die SOCKS-Benutzerkennung";
inline constexpr const char kSocksFieldUsername[] = "Der SOCKS-Benutzername";
inline constexpr const char kSocksFieldPassword[] = "Das SOCKS-Passwort";
inline constexpr const char kSocksFieldHost[] = "Der Ziel-Host-Name";
// Field name, its length in bytes, the limit.
inline constexpr const char kSocksFieldTooLong[] =
    "%s ist zu lang (%d Bytes, höchstens %d) und wird nicht gesendet.";
// Field name. SOCKS 4 and 4A end their texts with a NUL byte.
inline constexpr const char kSocksFieldHasNul[] =
    "%s enthält ein Nullzeichen und kann über SOCKS 4 nicht gesendet werden.";
// An IPv6 target for SOCKS 4 or 4A, which carry IPv4 addresses and names only: the target.
inline constexpr const char kSocksNoIPv6[] =
    "Das IPv6-Ziel %s ist über SOCKS 4 nicht erreichbar; SOCKS 5 kann es.";

}  // namespace tavo::res
