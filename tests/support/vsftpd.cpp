#include "tests/support/vsftpd.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace tavo::testsupport {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVsFtpd = "/usr/sbin/vsftpd";
// vsftpd takes its port from its configuration; one taken by someone else meanwhile makes it
// end at once, and another port is tried.
constexpr int kStartTries = 5;

}  // namespace

bool VsFtpd::CanRun() { return ServersRunAsRoot() && fs::exists(kVsFtpd); }

VsFtpd::VsFtpd(VsFtpdOptions options) : ServerProcess("tavo-vsftpd-") {
  // The anonymous user must reach the served folder through every parent.
  const std::string work = fs::path(WorkFile("x")).parent_path().string();
  ::chmod(work.c_str(), 0755);
  root_ = options.root;
  if (root_.empty()) {
    root_ = WorkFile("root");
    fs::create_directory(root_);
    ::chmod(root_.c_str(), 0755);
  }
  // The folder a session changes its root to before login; Debian's package makes it, but the
  // package's scripts may not have run on a fresh machine.
  fs::create_directories("/var/run/vsftpd/empty");

  std::string failure = "no start";
  for (int attempt = 0; attempt < kStartTries; ++attempt) {
    const int port = FreeLoopbackPort();
    std::ofstream(WorkFile("vsftpd.conf"), std::ios::trunc | std::ios::binary)
        << (options.ipv6 ? "listen=NO\nlisten_ipv6=YES\nlisten_address6=::1\n"
                         : "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n")
        << "listen_port=" << port << "\n"
        << "background=NO\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
        << "anonymous_enable=YES\nno_anon_password=YES\nanon_root=" << root_ << "\n"
        << "ftp_username=ftp\nlocal_enable=NO\nwrite_enable=NO\n"
        << "pasv_enable=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
        << "secure_chroot_dir=/var/run/vsftpd/empty\n"
        << "xferlog_enable=YES\nlog_ftp_protocol=YES\nvsftpd_log_file=" << WorkFile("vsftpd.log")
        << "\n"
        << options.extra_config;
    ChildProcess& process = Start({kVsFtpd, WorkFile("vsftpd.conf")}, false);
    if (WaitUntilListening(port, std::chrono::seconds(10), options.ipv6) && process.Running()) {
      port_ = port;
      if (options.ipv6) SetHost("::1");
      return;
    }
    failure = ReadWholeFile(WorkFile("stderr.log"));
    Stop();
  }
  Fail("vsftpd did not start", failure);
}

std::string VsFtpd::Log() const {
  return ReadWholeFile(WorkFile("vsftpd.log")) + ReadWholeFile(WorkFile("stderr.log"));
}

}  // namespace tavo::testsupport
