#pragma once
// Texts of the SOCKS 4, 4A and 5 negotiation (UTF-8), German with their English twins. Each
// text lives here once; code refers to it by name and tests compare it against their own copy.

#include "resources/text.h"

namespace tavo::res {

// SOCKS 4 and 4A results 91, 92, 93, and any other result but 90 (also SOCKS 5 above 8).
inline constexpr TText kSocksRequestFailed{"Anforderung zurückgewiesen oder fehlgeschlagen.",
                                           "Request rejected or failed."};
inline constexpr TText kSocksRequestServerFailed{
    "Die Anforderung wurde zurückgewiesen, da der SOCKS-Server keine Verbindung herstellen "
    "konnte.",
    "Request rejected because the SOCKS server could not connect."};
inline constexpr TText kSocksRequestIdentFailed{
    "Die Anforderung wurde zurückgewiesen, da das Client-Programm und identd verschiedene "
    "Anwender-IDs melden.",
    "Request rejected because the client program and identd report different user IDs."};
inline constexpr TText kSocksUnknownError{"Unbekannter SOCKS-Fehler.", "Unknown SOCKS error."};

// SOCKS 5: no (complete) reply, method refused, user name or password refused.
inline constexpr TText kSocksServerRespondError{"Socks-Server hat nicht geantwortet.",
                                                "The SOCKS server did not answer."};
// "Authentifizierungmethode" is spelled so on purpose: the text is kept exactly.
inline constexpr TText kSocksAuthMethodError{"Ungültige Authentifizierungmethode für SOCKS.",
                                             "Invalid authentication method for SOCKS."};
inline constexpr TText kSocksAuthError{"Authentifizierungsfehler bei Socks-Server.",
                                       "Authentication error at the SOCKS server."};

// SOCKS 5 results 1 to 8.
inline constexpr TText kSocksServerGeneralError{"Allgemeiner SOCKS-Serverausfall.",
                                                "General SOCKS server failure."};
inline constexpr TText kSocksServerPermissionError{
    "Die Verbindung wird von der Regelmenge nicht zugelassen.",
    "The connection is not allowed by the rule set."};
inline constexpr TText kSocksServerNetUnreachableError{"Das Netzwerk ist nicht erreichbar.",
                                                       "The network is unreachable."};
inline constexpr TText kSocksServerHostUnreachableError{"Host nicht erreichbar.",
                                                        "Host unreachable."};
inline constexpr TText kSocksServerConnectionRefusedError{"Verbindung abgelehnt.",
                                                          "Connection refused."};
inline constexpr TText kSocksServerTTLExpiredError{"TTL abgelaufen.", "TTL expired."};
// Without a full stop, unlike its neighbours.
inline constexpr TText kSocksServerCommandError{"Anweisung nicht unterstützt",
                                                "Command not supported"};
inline constexpr TText kSocksServerAddressError{"Der Adresstyp wird nicht unterstützt.",
                                                "The address type is not supported."};

// Our own: a version value outside the four the settings know (only reachable by a cast).
inline constexpr TText kSocksVersionUnsupported{"SOCKS-Version %d wird nicht unterstützt.",
                                                "SOCKS version %d is not supported."};

// Our own: fields the wire format cannot carry are refused before anything is sent.
// The field names filled into the two templates below.
inline constexpr TText kSocksFieldUserId{"Die SOCKS-Benutzerkennung", "The SOCKS user ID"};
inline constexpr TText kSocksFieldUsername{"Der SOCKS-Benutzername", "The SOCKS user name"};
inline constexpr TText kSocksFieldPassword{"Das SOCKS-Passwort", "The SOCKS password"};
inline constexpr TText kSocksFieldHost{"Der Ziel-Host-Name", "The target host name"};
// Field name, its length in bytes, the limit.
inline constexpr TText kSocksFieldTooLong{
    "%s ist zu lang (%d Bytes, höchstens %d) und wird nicht gesendet.",
    "%s is too long (%d bytes, at most %d) and is not sent."};
// Field name. SOCKS 4 and 4A end their texts with a NUL byte.
inline constexpr TText kSocksFieldHasNul{
    "%s enthält ein Nullzeichen und kann über SOCKS 4 nicht gesendet werden.",
    "%s contains a NUL character and cannot be sent over SOCKS 4."};
// An IPv6 target for SOCKS 4 or 4A, which carry IPv4 addresses and names only: the target.
inline constexpr TText kSocksNoIPv6{
    "Das IPv6-Ziel %s ist über SOCKS 4 nicht erreichbar; SOCKS 5 kann es.",
    "The IPv6 target %s cannot be reached over SOCKS 4; SOCKS 5 can reach it."};

}  // namespace tavo::res
