#pragma once
// The launcher as the window tests of both backends expect it, copied here by hand so that any
// change to the layout data (or to how the build turns it into the window's table) shows up:
// the layout (pixels at 96 dpi; a self-sizing label keeps only its corner), the tab order, the
// product table and the statuses of a successful request.

#include <string>
#include <vector>

namespace tavo::test {

struct ExpectedLook {
  const char* name;
  int left, top, width, height;
  int pixelSize;
  bool bold, underline;
  bool systemColor;  // the window's text colour; otherwise red, green, blue
  int red, green, blue;
  bool autoSize;
};

inline constexpr ExpectedLook kExpectedLooks[] = {
    {"Bevel1", 6, 186, 423, 49, 11, false, false, true, 0, 0, 0, false},
    {"Label1", 16, 10, 186, 42, 11, false, false, false, 128, 0, 0, true},
    {"Label2", 16, 152, 295, 28, 11, false, false, false, 0, 0, 128, true},
    {"Label3", 20, 192, 345, 28, 11, false, false, false, 0, 0, 255, true},
    {"ElLabel1", 284, 210, 133, 16, 13, true, true, false, 0, 0, 255, false},
    {"LabelVersion", 2, 508, 4, 14, 11, false, false, true, 0, 0, 0, true},
    {"StatusBar", 0, 522, 441, 19, 11, false, false, true, 0, 0, 0, false},
    {"BtLumaxDownload", 16, 240, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"BtBrisaKiteDownload", 220, 240, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"BtLumoDownload", 16, 283, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"BtDownload", 220, 283, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"BtRookDownload", 16, 326, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"ElPopupButton2", 220, 327, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"BtUmbraDownload", 16, 370, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"ElPopupButton1", 220, 370, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"ElPopupButton3", 16, 414, 200, 40, 16, true, false, true, 0, 0, 0, false},
    {"BtExit", 339, 463, 77, 25, 11, false, false, true, 0, 0, 0, false},
};

// Focus moves among the buttons in this order, starting at the first.
inline constexpr const char* kExpectedTabOrder[] = {
    "BtLumaxDownload", "BtLumoDownload",  "BtDownload",     "BtRookDownload", "BtBrisaKiteDownload",
    "BtExit",          "BtUmbraDownload", "ElPopupButton1", "ElPopupButton2", "ElPopupButton3"};

// Each family button and the updater it asks for.
inline constexpr const char* kExpectedUpdaters[][2] = {
    {"BtLumaxDownload", "LumaxUpdater.exe"},   {"BtLumoDownload", "LumoUpdate.exe"},
    {"BtDownload", "BrisaUpdate.exe"},         {"BtRookDownload", "RookUpdate.exe"},
    {"BtBrisaKiteDownload", "BrisaKiteUpdater.exe"}, {"BtUmbraDownload", "UmbraUpdater.exe"},
    {"ElPopupButton1", "UmbraUpdater.exe"},    {"ElPopupButton2", "UmbraUpdater.exe"},
    {"ElPopupButton3", "UmbraUpdater.exe"},
};

// The status bar's texts of a successful request against a server on 127.0.0.1, in order.
inline const std::vector<std::string> kSuccessStatuses = {
    "Try do create temp directory", "Request to Norrik Tavo Online", "Verbinden mit 127.0.0.1.",
    "Verbunden.",                   "Verbindung hergestellt",        "FTP-Transfer wird gestartet",
    "Transfer abgeschlossen",       "FTP-Transfer wird gestartet",   "Transfer abgeschlossen",
    "Verbindung wird getrennt.",    "Verbindung aufgehoben."};

}  // namespace tavo::test
