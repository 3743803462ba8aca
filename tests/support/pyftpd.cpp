#include "tests/support/pyftpd.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace tavo::testsupport {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";  // Debian's, which has pyftpdlib

}  // namespace

std::string PyFtpdScript() {
  return fs::path(__FILE__).parent_path().generic_string() + "/pyftpd_server.py";
}

PyFtpd::PyFtpd(PyFtpdOptions options)
    : ServerProcess("tavo-pyftpd-"), options_(std::move(options)) {
  // A root of our own lives inside the work folder, so that it goes with it.
  if (options_.root.empty()) {
    root_ = WorkFile("root");
    fs::create_directory(root_);
  } else {
    root_ = options_.root;
  }

  std::vector<std::string> args = {kPython, "-u", PyFtpdScript()};
  args.insert(args.end(), {"--root", root_, "--perm", options_.permissions});
  args.insert(args.end(), {"--host", options_.host});
  SetHost(options_.host);
  args.insert(args.end(), {"--log-file", WorkFile("server.log")});
  args.insert(args.end(), {"--max-seconds", std::to_string(options_.max_seconds)});
  if (!options_.user.empty()) {
    args.insert(args.end(), {"--user", options_.user, "--password", options_.password});
  }
  if (options_.anonymous) args.push_back("--anonymous");
  if (options_.passive_low > 0 && options_.passive_high > 0) {
    args.insert(args.end(), {"--passive-low", std::to_string(options_.passive_low),
                             "--passive-high", std::to_string(options_.passive_high)});
  }
  if (!options_.banner.empty()) args.insert(args.end(), {"--banner", options_.banner});
  if (!options_.tls_cert.empty()) {
    args.insert(args.end(), {"--tls-cert", options_.tls_cert, "--tls-key", options_.tls_key});
  }
  if (!options_.handler_code.empty()) {
    const std::string handler_file = WorkFile("handler.py");
    std::ofstream(handler_file, std::ios::binary) << options_.handler_code;
    args.insert(args.end(), {"--handler-file", handler_file});
  }
  if (!options_.fault.empty()) args.insert(args.end(), {"--fault", options_.fault});
  StartReportingPort(std::move(args), "pyftpd");
}

std::string PyFtpd::Log() const {
  return ReadWholeFile(WorkFile("server.log")) + ReadWholeFile(WorkFile("stderr.log"));
}

}  // namespace tavo::testsupport
