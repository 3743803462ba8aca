#pragma once
// Texts of the launcher: the main window's label texts in German and English, the product
// table's updater files, the retrieval request's status and error texts, the message boxes'
// titles and the launch-error texts. Each text lives here once (the window's caption and the
// button captions live in the window's layout, FormMain.ui.in); code refers to them by name and
// tests compare them against their own copies. Line breaks inside a text are single CRs.

namespace tavo::res {

inline constexpr const char kVersionText[] = "1.1,011";

// Label1: introduction and family list.
inline constexpr const char kLabel1German[] =
    "Mit dem Norrik Tavo Online Update\r"
    "können Sie Updateprogramme für die Geräte \r"
    "- Tavo Arden, Brisa\r"
    "- Tavo Arden, Brisa-Kite\r"
    "- Tavo Lumo, Tavo Lumo+\r"
    "- Rook Vexa, Ondo\r"
    "- Quill, Tessax, Sorb\r"
    "- Wren\r"
    "starten";
inline constexpr const char kLabel1English[] =
    "With this Norrik Tavo Online access\r"
    "you can start the software updater for :\r"
    "- Tavo Arden, Brisa\r"
    "- Tavo Arden, Brisa-Kite\r"
    "- Tavo Lumo, Tavo Lumo+\r"
    "- Rook Vexa, Ondo\r"
    "- Quill, Tessax, Sorb\r"
    "- Wren";

// Label2: what the updater does.
inline constexpr const char kLabel2German[] =
    "Der Updater prüft das Gerät, bietet mögliche Updates an\r"
    "und organisiert das Update";
inline constexpr const char kLabel2English[] =
    "The updater checks your instrument, offers possible updates\r"
    "of the instrument firmware and manages the update.";

// Label3: the USB hint above the link to the web site.
inline constexpr const char kLabel3German[] =
    "Falls die USB-Verbindung zum Messgerät nicht einwandfrei funktioniert,\r"
    "beachten Sie bitte Tipps und Hinweise unter:";
inline constexpr const char kLabel3English[] =
    "If the USB connection to instrument does not work properly,\r"
    "please consider the tips and hints at:";

// The abbreviated language name that selects the German texts.
inline constexpr const char kGermanLocaleAbbrev[] = "DEU";

// Updater files of the product table, used as server and local file names alike.
inline constexpr const char kLumaxUpdater[] = "LumaxUpdater.exe";
inline constexpr const char kLumoUpdater[] = "LumoUpdate.exe";
inline constexpr const char kBrisaUpdater[] = "BrisaUpdate.exe";
inline constexpr const char kRookUpdater[] = "RookUpdate.exe";
inline constexpr const char kBrisaKiteUpdater[] = "BrisaKiteUpdater.exe";
inline constexpr const char kUmbraUpdater[] = "UmbraUpdater.exe";

// Retrieval request.
inline constexpr const char kDownloadFolderName[] = "Tavo_Update\\";
inline constexpr const char kServerDirectory[] = "Software/111_85_272";
inline constexpr const char kRuntimeLibrary[] = "CP210xRuntime.dll";
inline constexpr const char kStatusCreateTempDir[] = "Try do create temp directory";
inline constexpr const char kStatusRequest[] = "Request to Norrik Tavo Online";
inline constexpr const char kErrorCreateTempDir[] = "Not able do create temp directory !";
inline constexpr const char kErrorRequest[] =
    "Request to Norrik Tavo Online not possible !\r"
    "Allow request to Internet and start again.";

// Message boxes: German in both language modes.
inline constexpr const char kErrorBoxTitle[] = "Fehler";
inline constexpr const char kInfoBoxTitle[] = "Informationen";
inline constexpr const char kBoxButtonCaption[] = "OK";

// Launch-error texts by the shell's result code; other codes of 32 or less get the prefix and
// the code in decimal.
inline constexpr const char kLaunchError0[] =
    "Zuwenig Speicher, Anwendung zerstört oder Relokationswerte ungültig";
inline constexpr const char kLaunchError2[] = "Datei nicht gefunden";
inline constexpr const char kLaunchError3[] = "Verzeichnis nicht gefunden.";
inline constexpr const char kLaunchError5[] = "Gescheiterter dynamischer Link";
inline constexpr const char kLaunchError6[] =
    "Bibliothek forderte separate Datensegmente für jede Task an.";
inline constexpr const char kLaunchError8[] = "Zuwenig Speicher, um die Anwendung zu starten.";
inline constexpr const char kLaunchError10[] = "Falsche Windows-Version.";
inline constexpr const char kLaunchError11[] = "Ungültige ausführbare Anwendnung.";
inline constexpr const char kLaunchError12[] = "Anwendung für ein anderes Betriebssystem.";
inline constexpr const char kLaunchError13[] = "Anwendung für MS-DOS 4.0.";
inline constexpr const char kLaunchError14[] = "Typ der ausführbaren Datei unbekannt.";
inline constexpr const char kLaunchError15[] =
    "Versuch, eine Real-Mode-Anwendung (frühere Windows-Version) zu laden.";
inline constexpr const char kLaunchError16[] = "Versuch, eine zweite Instanz zu laden.";
inline constexpr const char kLaunchError19[] =
    "Versuch, eine komprimierte ausführbare Datei zu laden.";
inline constexpr const char kLaunchError20[] = "Ungültige dynamische Linkbibliothek (DLL).";
inline constexpr const char kLaunchError21[] = "Anwendung benötigt Windows-32-Bit-Erweiterungen.";
inline constexpr const char kLaunchErrorOther[] = "Ausführungsfehler ";

}  // namespace tavo::res
