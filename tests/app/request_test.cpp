// The first steps of the retrieval request: busy cursor, status texts, and the private
// download folder with its refusals.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTest>
#include <algorithm>
#include <utility>

#include "../ui/gui_support.h"
#include "app/form_main.h"
#include "ui/application.h"

namespace tavo::app {
namespace {

using test::BoxWatcher;
using test::EnvGuard;
using test::ScratchDir;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode;
}

TEST(RequestUpdater, CreatesAPrivateFolderAndReportsTheRequest) {
  ScratchDir tmp;
  EnvGuard tmpdir("TMPDIR", tmp.Path());
  TFormMain form;
  form.show();
  ASSERT_EQ(form.TempFolder(), tmp.Path() + "/Tavo_Update/");

  // What the window shows whenever it gets to handle pending messages. The busy cursor is on
  // only while the request runs, so a sample taken with it on was taken inside the request.
  std::vector<std::pair<std::string, bool>> seen;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout,
                   [&] { seen.emplace_back(form.StatusBar->SimpleText(), ui::BusyCursor()); });
  probe.start(0);
  BoxWatcher boxes;
  QTest::mouseClick(form.BtLumaxDownload, Qt::LeftButton);
  probe.stop();

  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(form.RequestState(), 1);
  EXPECT_EQ(form.StatusBar->SimpleText(), "Request to Norrik Tavo Online");
  // The request lets pending messages through after its second status, busy cursor still on.
  const std::pair<std::string, bool> insideRequest{"Request to Norrik Tavo Online", true};
  EXPECT_TRUE(std::find(seen.begin(), seen.end(), insideRequest) != seen.end());
  const mode_t mode = ModeOf(tmp / "Tavo_Update");
  EXPECT_TRUE(S_ISDIR(mode));
  EXPECT_EQ(mode & 07777, 0700u);
  EXPECT_FALSE(ui::BusyCursor());
  EXPECT_TRUE(form.isVisible());

  // Again, with the folder in place.
  QTest::mouseClick(form.ElPopupButton3, Qt::LeftButton);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(form.RequestState(), 1);
}

TEST(RequestUpdater, ASecondRequestStartedInsideARunningOneIsIgnored) {
  ScratchDir tmp;
  EnvGuard tmpdir("TMPDIR", tmp.Path());
  TFormMain form;
  form.show();
  // When the running request lets pending messages through (busy cursor on), another button is
  // clicked. Ignored, it leaves the running request as it was: busy cursor still on, status
  // unchanged. Run, it would end on its own and turn the busy cursor off under the first.
  bool clicked = false;
  bool busyAfterSecondClick = false;
  std::string statusAfterSecondClick;
  QTimer inside;
  QObject::connect(&inside, &QTimer::timeout, [&] {
    if (clicked || !ui::BusyCursor()) return;
    clicked = true;
    form.StatusBar->SetSimpleText("marker");
    QTest::mouseClick(form.BtUmbraDownload, Qt::LeftButton);
    busyAfterSecondClick = ui::BusyCursor();
    statusAfterSecondClick = form.StatusBar->SimpleText();
  });
  inside.start(0);
  BoxWatcher boxes;
  QTest::mouseClick(form.BtLumoDownload, Qt::LeftButton);
  inside.stop();

  ASSERT_TRUE(clicked) << "the request let no pending messages through";
  EXPECT_TRUE(busyAfterSecondClick);
  EXPECT_EQ(statusAfterSecondClick, "marker");
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_FALSE(ui::BusyCursor());
  EXPECT_EQ(form.RequestState(), 1);
  // The guard is lifted with the end of the request: the next click runs again.
  QTest::mouseClick(form.BtUmbraDownload, Qt::LeftButton);
  EXPECT_EQ(form.StatusBar->SimpleText(), "Request to Norrik Tavo Online");
}

// Each refusal shows the folder error box after the busy cursor went off, keeps the first status
// text and ends the request.
void ExpectFolderRefused(const std::string& tmpPath) {
  EnvGuard tmpdir("TMPDIR", tmpPath);
  TFormMain form;
  form.show();
  BoxWatcher boxes;
  QTest::mouseClick(form.BtBrisaKiteDownload, Qt::LeftButton);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  const test::SeenBox& box = boxes.Boxes()[0];
  EXPECT_EQ(box.title, "Fehler");
  EXPECT_EQ(box.text, "Not able do create temp directory !");
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_FALSE(box.busyCursor);
  EXPECT_EQ(form.StatusBar->SimpleText(), "Try do create temp directory");
  EXPECT_EQ(form.RequestState(), 0);
  EXPECT_FALSE(ui::BusyCursor());
  EXPECT_TRUE(form.isVisible());
}

TEST(RequestUpdater, RefusesASymbolicLinkInPlaceOfTheFolder) {
  ScratchDir tmp;
  ASSERT_EQ(::mkdir((tmp / "elsewhere").c_str(), 0700), 0);
  ASSERT_EQ(::symlink((tmp / "elsewhere").c_str(), (tmp / "Tavo_Update").c_str()), 0);
  ExpectFolderRefused(tmp.Path());
}

TEST(RequestUpdater, RefusesAFolderOthersCanWriteTo) {
  ScratchDir tmp;
  ASSERT_EQ(::mkdir((tmp / "Tavo_Update").c_str(), 0700), 0);
  ASSERT_EQ(::chmod((tmp / "Tavo_Update").c_str(), 0777), 0);
  ExpectFolderRefused(tmp.Path());
}

TEST(RequestUpdater, RefusesWhenTheFolderCannotBeCreated) {
  ScratchDir tmp;
  ExpectFolderRefused(tmp / "no-such-parent");
}

TEST(RequestUpdater, AFolderFailureEndsARequestEvenAfterAnEarlierSuccess) {
  ScratchDir tmp;
  EnvGuard tmpdir("TMPDIR", tmp.Path());
  TFormMain form;
  form.show();
  QTest::mouseClick(form.BtRookDownload, Qt::LeftButton);
  ASSERT_EQ(form.RequestState(), 1);
  // Someone swaps the folder for one everybody can write to.
  ASSERT_EQ(::chmod((tmp / "Tavo_Update").c_str(), 0777), 0);
  BoxWatcher boxes;
  QTest::mouseClick(form.BtRookDownload, Qt::LeftButton);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Not able do create temp directory !");
  EXPECT_EQ(form.StatusBar->SimpleText(), "Try do create temp directory");
}

}  // namespace
}  // namespace tavo::app
