// The retrieval request end to end: the real window on the offscreen platform against a real FTP
// server (pyftpdlib) that each test starts, with faults injected by the server's handler; and
// the private download folder's refusals.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTest>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <thread>
#include <utility>

#include "../ui/gui_support.h"
#include "app/form_main.h"
#include "resources/ftp_settings.h"
#include "tests/support/child_process.h"
#include "tests/support/launcher_expectations.h"
#include "tests/support/pyftpd.h"
#include "ui/application.h"

namespace tavo::app {
namespace {

using test::AwaitFile;
using test::BoxWatcher;
using test::EnvGuard;
using test::ReadFile;
using test::ScratchDir;
using Lines = std::vector<std::string>;

constexpr char kUpdater[] = "RookUpdate.exe";
constexpr char kRuntime[] = "CP210xRuntime.dll";
constexpr char kRequestError[] =
    "Request to Norrik Tavo Online not possible !\nAllow request to Internet and start again.";

std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// How the request's server goes wrong. kAborted and kDropped send half of the updater, then
// report the transfer aborted (426, then 226), or drop the control connection instead of
// replying; kUnreachable is a loopback port nobody listens on.
enum class Fault { kNone, kUpdaterMissing, kAborted, kDropped, kUnreachable };

// The server the window's FTP client talks to, with the account of the build's settings. It
// serves Software/111_85_272 with an updater (a script that writes a marker line when started,
// followed by binary bulk) and the runtime library, and records each session's commands.
class UpdateServer {
 public:
  explicit UpdateServer(Fault fault) {
    updater_ = "#!/bin/sh\necho started >> '" + Marker() + "'\nexit 0\n" + Noise(256 * 1024, 1);
    runtime_ = Noise(64 * 1024, 2);
    if (fault == Fault::kUnreachable) {
      port_ = testsupport::FreeLoopbackPort();  // nothing listens there
      return;
    }
    const char* handling = fault == Fault::kAborted   ? "abort"
                           : fault == Fault::kDropped ? "drop"
                                                      : "";
    testsupport::PyFtpdOptions options;
    options.user = res::ftp_settings::kUsername;
    options.password = res::ftp_settings::kPassword;
    options.max_seconds = 120;  // a hung request fails when the server goes, instead of hanging
    options.handler_code = std::string("LOG = r'''") + Log() + "'''\nFAULT = '" + handling +
                           "'\nUPDATER = '" + kUpdater + "'\n" + kRecordingHandler;
    server_ = std::make_unique<testsupport::PyFtpd>(options);
    port_ = server_->Port();
    const std::string dir = server_->Root() + "/Software/111_85_272";
    std::filesystem::create_directories(dir);
    if (fault != Fault::kUpdaterMissing)
      std::ofstream(dir + "/" + kUpdater, std::ios::binary) << updater_;
    std::ofstream(dir + "/" + kRuntime, std::ios::binary) << runtime_;
  }

  int Port() const { return port_; }
  const std::string& Updater() const { return updater_; }
  const std::string& Runtime() const { return runtime_; }
  std::string Marker() const { return scratch_ / "marker"; }
  std::string Log() const { return scratch_ / "commands"; }
  // What the server saw in its n-th session (counted from 1), once that session has ended
  // (waited for, bounded): the commands, TYPE, CWD and RETR with their arguments, between
  // "(connect)" and "(disconnect)".
  Lines Session(size_t n) const {
    for (int i = 0; i < 1000 && Count(ReadFile(Log()), "(disconnect)") < n; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Lines lines;
    size_t connects = 0;
    std::istringstream in(ReadFile(Log()));
    for (std::string line; std::getline(in, line);) {
      if (line == "(connect)") ++connects;
      if (connects == n) lines.push_back(line);
    }
    return lines;
  }

 private:
  static size_t Count(const std::string& log, const std::string& line) {
    size_t count = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
    return count;
  }

  static constexpr const char* kRecordingHandler = R"(
def note(text):
    with open(LOG, 'a') as f:
        f.write(text + '\n')

class Handler(FTPHandler):
    fault_pending = False

    def on_connect(self):
        note('(connect)')

    def on_disconnect(self):
        note('(disconnect)')

    def pre_process_command(self, line, cmd, arg):
        note(line if cmd in ('TYPE', 'CWD', 'RETR') else cmd)
        FTPHandler.pre_process_command(self, line, cmd, arg)

    def ftp_RETR(self, file):
        if not FAULT or not file.endswith('/' + UPDATER):
            return FTPHandler.ftp_RETR(self, file)
        with open(file, 'rb') as f:
            data = f.read()
        self.fault_pending = True
        self.push_dtp_data(data[:len(data) // 2], cmd='RETR')

    def respond(self, resp, *args, **kwargs):
        if self.fault_pending and resp.startswith('226'):
            self.fault_pending = False
            if FAULT == 'abort':
                FTPHandler.respond(self, '426 Connection closed; transfer aborted.')
                FTPHandler.respond(self, '226 Closing data connection.')
            else:
                self.close_when_done()
            return
        FTPHandler.respond(self, resp, *args, **kwargs)
)";

  ScratchDir scratch_;
  std::unique_ptr<testsupport::PyFtpd> server_;
  int port_ = 0;
  std::string updater_;
  std::string runtime_;
};

// The real window, its download folder below a scratch folder, its FTP client aimed at the
// test's server; TakeStatuses() hands over every text the status bar was given, in order.
struct Launcher {
  explicit Launcher(int port) {
    form.ftp->SetHost("127.0.0.1");
    form.ftp->SetPort(port);
    form.StatusBar->OnSimpleTextChanged = [this] {
      statuses.push_back(form.StatusBar->SimpleText());
    };
    form.Show();
  }
  std::string Folder() const { return tmp / "Tavo_Update"; }
  Lines TakeStatuses() { return std::exchange(statuses, {}); }

  ScratchDir tmp;
  EnvGuard tmpdir{"TMPDIR", tmp.Path()};  // before the window, which reads it
  TFormMain form;
  Lines statuses;
};


TEST(RequestUpdater, FetchesBothFilesStartsTheUpdaterAndClosesTheWindow) {
  // Files an earlier run left, longer than what is served: replaced from their start.
  for (const bool earlierRun : {false, true}) {
    SCOPED_TRACE(earlierRun ? "files of an earlier run in the folder" : "no folder yet");
    UpdateServer server(Fault::kNone);
    Launcher launcher(server.Port());
    TFormMain& form = launcher.form;
    if (earlierRun) {
      ASSERT_EQ(::mkdir(launcher.Folder().c_str(), 0700), 0);
      std::ofstream(launcher.Folder() + "/" + kUpdater) << std::string(600 * 1024, 'x');
      std::ofstream(launcher.Folder() + "/" + kRuntime) << std::string(100 * 1024, 'y');
    }
    // What the window shows whenever it handles pending messages while the busy cursor is on,
    // that is inside the request.
    Lines processed;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      if (ui::BusyCursor()) processed.push_back(form.StatusBar->SimpleText());
    });
    probe.start(0);
    BoxWatcher boxes;
    QTest::mouseClick(test::Native(form.BtRookDownload), Qt::LeftButton);
    probe.stop();

    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(ReadFile(launcher.Folder() + "/" + kUpdater) == server.Updater());
    EXPECT_TRUE(ReadFile(launcher.Folder() + "/" + kRuntime) == server.Runtime());
    struct stat folder {};
    ASSERT_EQ(::lstat(launcher.Folder().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(AwaitFile(server.Marker()), "started\n") << "the updater was not started";
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(form.RequestState(), 2);
    EXPECT_FALSE(form.ftp->Connected());
    EXPECT_FALSE(ui::BusyCursor());
    EXPECT_EQ(launcher.TakeStatuses(), test::kSuccessStatuses);
    EXPECT_EQ(processed, (Lines{"Request to Norrik Tavo Online", "Transfer abgeschlossen",
                                "Transfer abgeschlossen"}));
    // No QUIT: the session ends with the closed control connection.
    EXPECT_EQ(server.Session(1), (Lines{"(connect)", "USER", "PASS", "TYPE I", "SYST",
                                        "CWD Software/111_85_272", "PASV", "RETR RookUpdate.exe",
                                        "PASV", "RETR CP210xRuntime.dll", "(disconnect)"}));
  }
}

struct FailureCase {
  const char* name;
  Fault fault;
  Lines statuses;  // what the status bar was given, in order
};

const Lines kUpdaterSession = {"(connect)",   "USER",
                               "PASS",        "TYPE I",
                               "SYST",        "CWD Software/111_85_272",
                               "PASV",        "RETR RookUpdate.exe",
                               "(disconnect)"};

const FailureCase kFailures[] = {
    // The client disconnects after a failed connect, with both statuses.
    {"server unreachable",
     Fault::kUnreachable,
     {"Try do create temp directory", "Request to Norrik Tavo Online", "Verbinden mit 127.0.0.1.",
      "Verbindung wird getrennt.", "Verbindung aufgehoben."}},
    {"updater missing on the server",
     Fault::kUpdaterMissing,
     {"Try do create temp directory", "Request to Norrik Tavo Online", "Verbinden mit 127.0.0.1.",
      "Verbunden.", "Verbindung hergestellt", "FTP-Transfer wird gestartet",
      "Transfer abgeschlossen", "Verbindung wird getrennt.", "Verbindung aufgehoben."}},
    {"transfer aborted by the server",
     Fault::kAborted,
     {"Try do create temp directory", "Request to Norrik Tavo Online", "Verbinden mit 127.0.0.1.",
      "Verbunden.", "Verbindung hergestellt", "FTP-Transfer wird gestartet",
      "Transfer abgeschlossen", "Transfer abgebrochen", "Verbindung wird getrennt.",
      "Verbindung aufgehoben."}},
    {"connection dropped in the updater's data",
     Fault::kDropped,
     {"Try do create temp directory", "Request to Norrik Tavo Online", "Verbinden mit 127.0.0.1.",
      "Verbunden.", "Verbindung hergestellt", "FTP-Transfer wird gestartet",
      "Transfer abgeschlossen", "Verbindung aufgehoben."}},
};

// Each failure: the error box with the two-line message (busy cursor already off), the window
// open with the last status kept, nothing launched, the runtime library not fetched, the client
// disconnected; and a second press starts afresh and goes the same way.
TEST(RequestUpdater, ANetworkFailureShowsTheErrorBoxAndLaunchesNothing) {
  for (const FailureCase& c : kFailures) {
    SCOPED_TRACE(c.name);
    UpdateServer server(c.fault);
    Launcher launcher(server.Port());
    TFormMain& form = launcher.form;
    BoxWatcher boxes;
    for (size_t press = 1; press <= 2; ++press) {
      SCOPED_TRACE("press " + std::to_string(press));
      QTest::mouseClick(test::Native(form.BtRookDownload), Qt::LeftButton);
      ASSERT_EQ(boxes.Boxes().size(), press);
      const test::SeenBox& box = boxes.Boxes().back();
      EXPECT_EQ(box.title, "Fehler");
      EXPECT_EQ(box.text, kRequestError);
      EXPECT_FALSE(box.busyCursor);
      EXPECT_EQ(launcher.TakeStatuses(), c.statuses);
      EXPECT_EQ(form.StatusBar->SimpleText(), c.statuses.back());
      EXPECT_TRUE(form.Visible());
      EXPECT_EQ(form.RequestState(), 0);
      EXPECT_FALSE(form.ftp->Connected());
      EXPECT_FALSE(ui::BusyCursor());
      EXPECT_FALSE(std::filesystem::exists(launcher.Folder() + "/" + kRuntime));
      if (c.fault != Fault::kUnreachable) {
        EXPECT_EQ(server.Session(press), kUpdaterSession);
      }
    }
    EXPECT_EQ(ReadFile(server.Marker()), "") << "an updater was started";
  }
}

// When the running request lets pending messages through (busy cursor on), another button is
// clicked. Ignored, it leaves the running request as it was: busy cursor still on, status
// unchanged. Run, it would end on its own and turn the busy cursor off under the first.
TEST(RequestUpdater, ASecondRequestStartedInsideARunningOneIsIgnored) {
  UpdateServer server(Fault::kUnreachable);
  Launcher launcher(server.Port());
  TFormMain& form = launcher.form;
  bool clicked = false;
  bool busyAfterSecondClick = false;
  std::string statusAfterSecondClick;
  QTimer inside;
  QObject::connect(&inside, &QTimer::timeout, [&] {
    if (clicked || !ui::BusyCursor()) return;
    clicked = true;
    form.StatusBar->SetSimpleText("marker");
    QTest::mouseClick(test::Native(form.BtUmbraDownload), Qt::LeftButton);
    busyAfterSecondClick = ui::BusyCursor();
    statusAfterSecondClick = form.StatusBar->SimpleText();
  });
  inside.start(0);
  BoxWatcher boxes;
  QTest::mouseClick(test::Native(form.BtLumoDownload), Qt::LeftButton);
  inside.stop();

  ASSERT_TRUE(clicked) << "the request let no pending messages through";
  EXPECT_TRUE(busyAfterSecondClick);
  EXPECT_EQ(statusAfterSecondClick, "marker");
  EXPECT_EQ(boxes.Boxes().size(), 1u) << "one request ran, so one error box";
  EXPECT_FALSE(ui::BusyCursor());
  EXPECT_EQ(form.RequestState(), 0);
  // The guard is lifted with the end of the request: the next click runs again.
  launcher.TakeStatuses();
  QTest::mouseClick(test::Native(form.BtUmbraDownload), Qt::LeftButton);
  EXPECT_EQ(boxes.Boxes().size(), 2u);
  const Lines again = launcher.TakeStatuses();
  ASSERT_FALSE(again.empty());
  EXPECT_EQ(again.front(), "Try do create temp directory");
}

// Each refusal of the download folder shows the folder error box after the busy cursor went
// off, keeps the first status text and ends the request before any connection is tried.
TEST(RequestUpdater, ARefusedFolderEndsTheRequestBeforeAnyConnection) {
  const struct {
    const char* name;
    std::function<void(const ScratchDir&)> arrange;
    std::string tmpSuffix;
  } cases[] = {
      {"cannot be created", [](const ScratchDir&) {}, "/no-such-parent"},
      {"symbolic link",
       [](const ScratchDir& tmp) {
         ASSERT_EQ(::mkdir((tmp / "elsewhere").c_str(), 0700), 0);
         ASSERT_EQ(::symlink((tmp / "elsewhere").c_str(), (tmp / "Tavo_Update").c_str()), 0);
       },
       ""},
      {"others can write to it",
       [](const ScratchDir& tmp) {
         ASSERT_EQ(::mkdir((tmp / "Tavo_Update").c_str(), 0700), 0);
         ASSERT_EQ(::chmod((tmp / "Tavo_Update").c_str(), 0777), 0);
       },
       ""},
  };
  UpdateServer server(Fault::kNone);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir tmp;
    c.arrange(tmp);
    EnvGuard tmpdir("TMPDIR", tmp.Path() + c.tmpSuffix);
    TFormMain form;
    form.ftp->SetHost("127.0.0.1");
    form.ftp->SetPort(server.Port());
    form.Show();
    BoxWatcher boxes;
    QTest::mouseClick(test::Native(form.BtBrisaKiteDownload), Qt::LeftButton);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const test::SeenBox& box = boxes.Boxes()[0];
    EXPECT_EQ(box.title, "Fehler");
    EXPECT_EQ(box.text, "Not able do create temp directory !");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_FALSE(box.busyCursor);
    EXPECT_EQ(form.StatusBar->SimpleText(), "Try do create temp directory");
    EXPECT_EQ(form.RequestState(), 0);
    EXPECT_FALSE(ui::BusyCursor());
    EXPECT_TRUE(form.Visible());
  }
  EXPECT_EQ(ReadFile(server.Log()), "") << "the server was contacted";
}

}  // namespace
}  // namespace tavo::app
