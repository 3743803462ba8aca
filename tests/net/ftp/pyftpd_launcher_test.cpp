// The pyftpdlib launcher itself: it must hand out a listening server and leave nothing
// running afterwards, or every later integration test inherits stray servers.

#include "tests/support/pyftpd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/scratch.h"

namespace tavo::testsupport {
namespace {

int ConnectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string ReadSome(int fd) {
  timeval tv{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  char buf[512];
  const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

TEST(PyFtpdLauncher, ServesOnLoopbackAndStopsCompletely) {
  std::string root;
  int port = 0;
  {
    PyFtpdOptions o;
    o.banner = "launcher check";
    PyFtpd server(o);
    port = server.Port();
    root = server.Root();
    ASSERT_GT(port, 1023);
    EXPECT_EQ(server.Host(), "127.0.0.1");
    EXPECT_TRUE(std::filesystem::is_directory(root));

    const int fd = ConnectTo(port);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadSome(fd), "220 launcher check\r\n");
    ::close(fd);
  }
  EXPECT_EQ(ConnectTo(port), -1) << "server still listening after the launcher was destroyed";
  EXPECT_FALSE(std::filesystem::exists(root)) << "temporary root left behind";
}

// A process counts as ended once it is gone or a zombie (nobody may have reaped it yet).
bool Running(int pid) {
  const std::string stat = test::ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close_paren = stat.rfind(')');
  if (close_paren == std::string::npos || close_paren + 2 >= stat.size()) return false;
  return stat[close_paren + 2] != 'Z';
}

TEST(PyFtpdLauncher, ProcessesTheServerStartedEndWithIt) {
  test::ScratchDir scratch;
  const std::string pid_file = scratch / "child.pid";
  PyFtpdOptions o;
  o.handler_code =
      "import subprocess\n"
      "_child = subprocess.Popen(['/bin/sleep', '60'])\n"
      "with open('" + pid_file + "', 'w') as f:\n"
      "    f.write(str(_child.pid))\n";
  int child = 0;
  {
    PyFtpd server(o);
    child = std::atoi(test::ReadFile(pid_file).c_str());
    ASSERT_GT(child, 0);
    ASSERT_TRUE(Running(child));
    // Python's spawn lets the parent go on while the kernel still sets the new program's
    // arguments up: its command line can read empty for a moment.
    const std::string cmdline = "/proc/" + std::to_string(child) + "/cmdline";
    for (int i = 0; i < 500 && test::ReadFile(cmdline).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_NE(test::ReadFile(cmdline).find("sleep"), std::string::npos);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Running(child) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(Running(child)) << "a process the server started outlived it";
}

TEST(PyFtpdLauncher, HandlerCodeInjectsFaults) {
  PyFtpdOptions o;
  o.handler_code =
      "class Handler(FTPHandler):\n"
      "    def ftp_USER(self, line):\n"
      "        self.respond('421 injected')\n";
  PyFtpd server(o);
  const int fd = ConnectTo(server.Port());
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ReadSome(fd).substr(0, 4), "220 ");
  const std::string cmd = "USER x\r\n";
  ASSERT_EQ(::send(fd, cmd.data(), cmd.size(), 0), static_cast<ssize_t>(cmd.size()));
  EXPECT_EQ(ReadSome(fd), "421 injected\r\n");
  ::close(fd);
}

TEST(PyFtpdLauncher, BrokenHandlerCodeFailsTheStartWithTheServersError) {
  PyFtpdOptions o;
  o.handler_code = "def broken(:\n";
  try {
    PyFtpd server(o);
    FAIL() << "started anyway";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("SyntaxError"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace tavo::testsupport
