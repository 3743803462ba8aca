#include "tests/support/vsftpd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "tests/support/child_process.h"

namespace tavo::testsupport {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVsFtpd = "/usr/sbin/vsftpd";
constexpr int kStartTries = 5;

}  // namespace

bool VsFtpd::CanRun() { return ::geteuid() == 0 && fs::exists(kVsFtpd); }

VsFtpd::VsFtpd(VsFtpdOptions options) {
  work_dir_ = MakeTempDir("tavo-vsftpd");
  // The anonymous user must be able to reach the served folder through every parent.
  ::chmod(work_dir_.c_str(), 0755);
  if (options.root.empty()) {
    root_ = (fs::path(work_dir_) / "root").string();
    fs::create_directory(root_);
    ::chmod(root_.c_str(), 0755);
  } else {
    root_ = options.root;
  }
  // The folder a session changes its root to before login; Debian's package makes it, but a
  // fresh machine may not have run the package's scripts.
  fs::create_directories("/var/run/vsftpd/empty");

  const std::string conf = (fs::path(work_dir_) / "vsftpd.conf").string();
  const std::string log = (fs::path(work_dir_) / "vsftpd.log").string();
  const std::string err = (fs::path(work_dir_) / "stderr.log").string();
  std::string failure;
  for (int attempt = 0; attempt < kStartTries; ++attempt) {
    port_ = FreeLoopbackPort();
    std::ofstream(conf, std::ios::trunc)
        << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << port_ << "\n"
        << "background=NO\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
        << "anonymous_enable=YES\nno_anon_password=YES\nanon_root=" << root_ << "\n"
        << "ftp_username=ftp\nlocal_enable=NO\nwrite_enable=NO\n"
        << "pasv_enable=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
        << "secure_chroot_dir=/var/run/vsftpd/empty\n"
        << "xferlog_enable=YES\nlog_ftp_protocol=YES\nvsftpd_log_file=" << log << "\n"
        << options.extra_config;
    try {
      process_ = std::make_unique<ChildProcess>(std::vector<std::string>{kVsFtpd, conf}, err);
    } catch (const std::exception& e) {
      failure = e.what();
      break;
    }
    if (WaitUntilListening(port_, std::chrono::seconds(10))) return;
    // Most likely someone took the port in between: try another one.
    failure = ReadWholeFile(err);
    process_.reset();
  }
  fs::remove_all(work_dir_);
  throw std::runtime_error("vsftpd did not start: " + failure);
}

VsFtpd::~VsFtpd() {
  Stop();
  std::error_code ec;
  fs::remove_all(work_dir_, ec);
}

void VsFtpd::Stop() { process_.reset(); }

std::string VsFtpd::Log() const {
  return ReadWholeFile((fs::path(work_dir_) / "vsftpd.log").string()) +
         ReadWholeFile((fs::path(work_dir_) / "stderr.log").string());
}

}  // namespace tavo::testsupport
