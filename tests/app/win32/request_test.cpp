// The retrieval request in the Win32 window, end to end: a press of the real button (BM_CLICK)
// against pyftpdlib on Linux loopback, the private download folder below the user's temporary
// folder (also one named outside the system code page), the demo updater really started, the
// window closed; and the error box when the server cannot be reached.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "resources/ftp_settings.h"
#include "rtl/paths.h"
#include "tests/app/win32/window_support.h"
#include "tests/support/child_process.h"
#include "tests/support/launcher_expectations.h"
#include "tests/support/pyftpd.h"
#include "tests/support/scratch.h"

namespace tavo::app {
namespace {

using test::Hwnd;
using Lines = std::vector<std::string>;

::testing::Environment* const gui = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment);

constexpr char kUpdater[] = "RookUpdate.exe";
constexpr char kRuntime[] = "CP210xRuntime.dll";

std::string Bytes(const std::string& path) {
  std::ifstream in(rtl::PathFromUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The account of the build's settings, serving Software/111_85_272 with the demo updater under
// the updater's name and a runtime library of random bytes; or, unreachable, a port nobody
// listens on.
class UpdateServer {
 public:
  explicit UpdateServer(bool reachable) {
    std::mt19937 random(7);
    runtime_.resize(64 * 1024);
    for (char& c : runtime_) c = static_cast<char>(random());
    updater_ = Bytes(TAVO_DEMO_UPDATER);
    if (!reachable) {
      port_ = testsupport::FreeLoopbackPort();
      return;
    }
    testsupport::PyFtpdOptions options;
    options.user = res::ftp_settings::kUsername;
    options.password = res::ftp_settings::kPassword;
    options.max_seconds = 120;
    server_ = std::make_unique<testsupport::PyFtpd>(options);
    port_ = server_->Port();
    const std::string dir = server_->Root() + "/Software/111_85_272";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/" + kUpdater, std::ios::binary) << updater_;
    std::ofstream(dir + "/" + kRuntime, std::ios::binary) << runtime_;
  }
  int Port() const { return port_; }
  const std::string& Updater() const { return updater_; }
  const std::string& Runtime() const { return runtime_; }

 private:
  std::unique_ptr<testsupport::PyFtpd> server_;
  int port_ = 0;
  std::string updater_;
  std::string runtime_;
};

// The window with the user's temporary folder (TMP) in a scratch folder, optionally below a
// subfolder of that name; the started updater reports to Marker().
struct Launcher {
  Launcher(int port, const std::string& tempName = "")
      : temp(tempName.empty() ? scratch.Path() : scratch / tempName),
        tmp(L"TMP", test::Widen(test::WindowsPath(temp))),
        report(L"TAVO_DEMO_REPORT", test::Widen(test::WindowsPath(scratch / "marker"))),
        form(std::make_unique<TFormMain>()) {
    if (!tempName.empty()) std::filesystem::create_directory(rtl::PathFromUtf8(temp));
    form->ftp->SetHost("127.0.0.1");
    form->ftp->SetPort(port);
    form->StatusBar->OnSimpleTextChanged = [this] {
      statuses.push_back(form->StatusBar->SimpleText());
      busy_throughout = busy_throughout && ui::BusyCursor() &&
                        ::GetCursor() == ::LoadCursorW(nullptr, IDC_WAIT);
    };
    form->Show();
  }
  std::string Folder() const { return temp + "/Tavo_Update"; }
  // The demo updater's line, once it has written it (waited for, bounded).
  std::string Marker() const {
    for (int i = 0; i < 1000; ++i) {
      const std::string line = test::ReadFile(scratch / "marker");
      if (!line.empty() && line.back() == '\n') return line;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }

  test::ScratchDir scratch;
  std::string temp;
  test::WideEnvGuard tmp;
  test::WideEnvGuard report;
  std::unique_ptr<TFormMain> form;
  Lines statuses;
  bool busy_throughout = true;
};


TEST(Win32Request, AButtonPressFetchesBothFilesStartsTheUpdaterAndClosesTheWindow) {
  // The second time the temporary folder's name holds characters outside the system code page
  // (Ł is not in Windows-1252): the files must land there and the updater start from there.
  for (const std::string& tempName : {std::string(), std::string("\xC5\x81x \xC3\x84y")}) {
    SCOPED_TRACE(tempName.empty() ? "plain temporary folder" : "temporary folder " + tempName);
    UpdateServer server(true);
    Launcher launcher(server.Port(), tempName);
    test::BoxWatcher boxes;
    ::SendMessageW(Hwnd(launcher.form->BtRookDownload), BM_CLICK, 0, 0);

    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes()[0].text;
    EXPECT_EQ(launcher.statuses, test::kSuccessStatuses);
    EXPECT_TRUE(launcher.busy_throughout) << "the wait cursor is on from start to end";
    EXPECT_FALSE(ui::BusyCursor());
    EXPECT_EQ(launcher.form->RequestState(), 2);
    EXPECT_TRUE(Bytes(launcher.Folder() + "/" + kUpdater) == server.Updater());
    EXPECT_TRUE(Bytes(launcher.Folder() + "/" + kRuntime) == server.Runtime());
    EXPECT_EQ(launcher.Marker(), "Demo updater " + std::string(kUpdater) + " started from " +
                                     test::WindowsPath(launcher.Folder()) + " with no arguments\n");
    EXPECT_FALSE(launcher.form->Visible());
  }
}

TEST(Win32Request, AnUnreachableServerShowsTheErrorBoxAndLaunchesNothing) {
  UpdateServer server(false);
  Launcher launcher(server.Port());
  test::BoxWatcher boxes;
  // A second press waits in the queue; the request lets it through where it processes pending
  // messages, and it must not start a request of its own inside the running one.
  ::PostMessageW(Hwnd(launcher.form->BtUmbraDownload), BM_CLICK, 0, 0);
  ::SendMessageW(Hwnd(launcher.form->BtRookDownload), BM_CLICK, 0, 0);

  ASSERT_EQ(boxes.Boxes().size(), 1u) << "one request ran, so one error box";
  EXPECT_TRUE(launcher.busy_throughout);
  EXPECT_EQ(boxes.Boxes()[0].title, "Fehler");
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Request to Norrik Tavo Online not possible !\r\nAllow request to Internet and start again.");
  EXPECT_EQ(boxes.Boxes()[0].buttons, 1);
  EXPECT_FALSE(boxes.Boxes()[0].busyCursor);
  EXPECT_TRUE(launcher.form->Visible());
  EXPECT_EQ(launcher.form->RequestState(), 0);
  ASSERT_GE(launcher.statuses.size(), 3u);
  EXPECT_EQ(launcher.statuses[2], "Verbinden mit 127.0.0.1.");
  // The status bar keeps the last status the client reported.
  EXPECT_EQ(test::StatusText(Hwnd(launcher.form->StatusBar)), launcher.statuses.back());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(test::ReadFile(launcher.scratch / "marker"), "") << "an updater was started";
}

}  // namespace
}  // namespace tavo::app
