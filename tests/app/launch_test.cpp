// Program launch through the shell, its German error texts and the two message boxes.

#include "app/launch.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QTest>
#include <thread>
#include <tuple>

#include "../ui/gui_support.h"
#include "app/form_main.h"
#include "ui/dialogs.h"

namespace tavo::app {
namespace {

using test::AwaitFile;
using test::BoxWatcher;
using test::ReadFile;
using test::ScratchDir;

TEST(LaunchErrorText, EveryCodeOfTheTable) {
  EXPECT_EQ(LaunchErrorText(0), "Zuwenig Speicher, Anwendung zerstört oder Relokationswerte ungültig");
  EXPECT_EQ(LaunchErrorText(2), "Datei nicht gefunden");
  EXPECT_EQ(LaunchErrorText(3), "Verzeichnis nicht gefunden.");
  EXPECT_EQ(LaunchErrorText(5), "Gescheiterter dynamischer Link");
  EXPECT_EQ(LaunchErrorText(6), "Bibliothek forderte separate Datensegmente für jede Task an.");
  EXPECT_EQ(LaunchErrorText(8), "Zuwenig Speicher, um die Anwendung zu starten.");
  EXPECT_EQ(LaunchErrorText(10), "Falsche Windows-Version.");
  EXPECT_EQ(LaunchErrorText(11), "Ungültige ausführbare Anwendnung.");
  EXPECT_EQ(LaunchErrorText(12), "Anwendung für ein anderes Betriebssystem.");
  EXPECT_EQ(LaunchErrorText(13), "Anwendung für MS-DOS 4.0.");
  EXPECT_EQ(LaunchErrorText(14), "Typ der ausführbaren Datei unbekannt.");
  EXPECT_EQ(LaunchErrorText(15),
            "Versuch, eine Real-Mode-Anwendung (frühere Windows-Version) zu laden.");
  EXPECT_EQ(LaunchErrorText(16), "Versuch, eine zweite Instanz zu laden.");
  EXPECT_EQ(LaunchErrorText(19), "Versuch, eine komprimierte ausführbare Datei zu laden.");
  EXPECT_EQ(LaunchErrorText(20), "Ungültige dynamische Linkbibliothek (DLL).");
  EXPECT_EQ(LaunchErrorText(21), "Anwendung benötigt Windows-32-Bit-Erweiterungen.");
}

TEST(LaunchErrorText, OtherFailureCodesAndSuccess) {
  EXPECT_EQ(LaunchErrorText(1), "Ausführungsfehler 1");
  EXPECT_EQ(LaunchErrorText(4), "Ausführungsfehler 4");
  EXPECT_EQ(LaunchErrorText(22), "Ausführungsfehler 22");
  EXPECT_EQ(LaunchErrorText(31), "Ausführungsfehler 31");
  EXPECT_EQ(LaunchErrorText(32), "Ausführungsfehler 32");
  EXPECT_EQ(LaunchErrorText(-5), "Ausführungsfehler -5");
  EXPECT_EQ(LaunchErrorText(INT32_MIN), "Ausführungsfehler -2147483648");
  EXPECT_EQ(LaunchErrorText(33), "");
  EXPECT_EQ(LaunchErrorText(42), "");
  EXPECT_EQ(LaunchErrorText(INT32_MAX), "");
}

TEST(LaunchFile, MissingFileShowsTheInformationBoxAndFails) {
  ScratchDir dir;
  BoxWatcher boxes;
  EXPECT_FALSE(LaunchFile(dir / "LumaxUpdater.exe"));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  const test::SeenBox& box = boxes.Boxes()[0];
  EXPECT_EQ(box.title, "Informationen");
  EXPECT_EQ(box.text, "Datei nicht gefunden");
  EXPECT_EQ(box.icon, QMessageBox::Information);
  EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(box.okIsDefault);
  EXPECT_TRUE(box.okIsEscape);

  EXPECT_FALSE(LaunchFile(dir / "missing-folder/LumaxUpdater.exe"));
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_EQ(boxes.Boxes()[1].title, "Informationen");
  EXPECT_EQ(boxes.Boxes()[1].text, "Verzeichnis nicht gefunden.");
}

TEST(LaunchFile, StartsADownloadedScriptWithoutABox) {
  ScratchDir dir;
  const std::string marker = dir / "marker";
  const std::string script = dir / "RookUpdate.exe";
  std::ofstream(script) << "#!/bin/sh\necho started > '" << marker << "'\n";
  ::chmod(script.c_str(), 0600);  // as a download arrives: not executable
  BoxWatcher boxes;
  EXPECT_TRUE(LaunchFile(script));
  EXPECT_EQ(AwaitFile(marker), "started\n");
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(LaunchFile, HandsALongPathOverWhole) {
  ScratchDir dir;
  std::string folder = dir.Path();
  for (int i = 0; i < 4; ++i) {
    folder += "/a-rather-long-folder-name-" + std::to_string(i);
    std::filesystem::create_directory(folder);
  }
  const std::string marker = dir / "marker";
  const std::string script = folder + "/UmbraUpdater.exe";
  ASSERT_GT(script.size(), 120u);
  std::ofstream(script) << "#!/bin/sh\necho long > '" << marker << "'\n";
  BoxWatcher boxes;
  EXPECT_TRUE(LaunchFile(script));
  EXPECT_EQ(AwaitFile(marker), "long\n");
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(LaunchFile, WebAddressGoesToTheDesktopOpener) {
  test::RecordingOpener opener;
  BoxWatcher boxes;
  EXPECT_TRUE(LaunchFile("http://tavo.example/hints"));
  EXPECT_EQ(opener.Record(), "http://tavo.example/hints\n");
  EXPECT_TRUE(boxes.Boxes().empty());
}

// The desktop's opener may take seconds to say whether it found a program. This stand-in waits
// (up to 10 s) until the test writes its exit code into a file, which the test does from a
// timer: only a window that keeps handling its messages meanwhile gets that far. The verdict
// rule stays: exit 0 is success, anything else but 2 means no program for it (code 31).
TEST(LaunchFile, TheWindowKeepsHandlingMessagesWhileTheOpenerDecides) {
  for (const auto& [exitCode, accepted, boxTexts] :
       {std::tuple{0, true, std::vector<std::string>{}},
        std::tuple{3, false, std::vector<std::string>{"Ausführungsfehler 31"}}}) {
    SCOPED_TRACE("opener exits with " + std::to_string(exitCode));
    ScratchDir dir;
    const std::string go = dir / "go";
    std::filesystem::create_directory(dir / "bin");
    dir.Write("bin/xdg-open",
              "#!/bin/sh\ni=0\nwhile [ ! -s '" + go + "' ] && [ $i -lt 500 ]; do sleep 0.02; "
              "i=$((i+1)); done\n[ -s '" + go + "' ] || exit 9\nexit $(cat '" + go + "')\n",
              0700);
    test::EnvGuard path("PATH", dir / "bin:" + std::string(::getenv("PATH")));
    QTimer::singleShot(0, [&, code = exitCode] { std::ofstream(go) << code << "\n"; });
    BoxWatcher boxes;
    EXPECT_EQ(LaunchFile("http://tavo.example/hints"), accepted);
    std::vector<std::string> shown;
    for (const test::SeenBox& box : boxes.Boxes()) shown.push_back(box.text);
    EXPECT_EQ(shown, boxTexts);
  }
}

TEST(MessageBoxes, GermanTitlesAlsoInEnglishModeAndCrStartsALine) {
  test::LocaleGuard locale("en_US.UTF-8");
  TFormMain form;
  ASSERT_EQ(form.LanguageMode(), 1);
  form.Show();

  BoxWatcher boxes;
  ShowErrorBox("Request to Norrik Tavo Online not possible !\rAllow request to Internet and start again.");
  EXPECT_EQ(ShowInfoBox("one line"), ui::mrOk);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  const test::SeenBox& error = boxes.Boxes()[0];
  EXPECT_EQ(error.title, "Fehler");
  EXPECT_EQ(error.icon, QMessageBox::Critical);
  EXPECT_EQ(error.buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(error.okIsDefault);
  EXPECT_TRUE(error.okIsEscape);
  EXPECT_EQ(error.text,
            "Request to Norrik Tavo Online not possible !\nAllow request to Internet and start again.");
  EXPECT_GE(error.labelHeight, 2 * error.oneLineHeight);
  EXPECT_EQ(boxes.Boxes()[1].title, "Informationen");
  EXPECT_LT(boxes.Boxes()[1].labelHeight, 2 * boxes.Boxes()[1].oneLineHeight);
}

TEST(MessageBoxes, EnterAndEscapeCloseTheBox) {
  {
    BoxWatcher byEscape(Qt::Key_Escape);
    EXPECT_EQ(ShowInfoBox("escape"), ui::mrOk);
    EXPECT_EQ(byEscape.Boxes().size(), 1u);
  }
  {
    BoxWatcher byEnter(Qt::Key_Return);
    ShowErrorBox("enter");
    EXPECT_EQ(byEnter.Boxes().size(), 1u);
  }
}

}  // namespace
}  // namespace tavo::app
