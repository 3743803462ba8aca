#include "tests/support/pyftpd.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "tests/support/child_process.h"

namespace tavo::testsupport {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";  // Debian's, which has pyftpdlib
constexpr auto kStartLimit = std::chrono::seconds(20);

}  // namespace

std::string PyFtpdScript() {
  return (fs::path(__FILE__).parent_path() / "pyftpd_server.py").string();
}

PyFtpd::PyFtpd(PyFtpdOptions options) : options_(std::move(options)) {
  work_dir_ = MakeTempDir("tavo-pyftpd");
  // A root of our own lives inside the work folder, so the destructor removes both.
  if (options_.root.empty()) {
    root_ = (fs::path(work_dir_) / "root").string();
    fs::create_directory(root_);
  } else {
    root_ = options_.root;
  }

  const std::string log_file = (fs::path(work_dir_) / "server.log").string();
  const std::string err_file = (fs::path(work_dir_) / "stderr.log").string();
  std::vector<std::string> args = {kPython, "-u", PyFtpdScript(), "--root", root_,
                                   "--perm", options_.permissions, "--log-file", log_file,
                                   "--max-seconds", std::to_string(options_.max_seconds)};
  if (!options_.user.empty()) {
    args.insert(args.end(), {"--user", options_.user, "--password", options_.password});
  }
  if (options_.anonymous) args.push_back("--anonymous");
  if (options_.passive_low > 0 && options_.passive_high > 0) {
    args.insert(args.end(), {"--passive-low", std::to_string(options_.passive_low),
                             "--passive-high", std::to_string(options_.passive_high)});
  }
  if (!options_.banner.empty()) args.insert(args.end(), {"--banner", options_.banner});
  if (!options_.handler_code.empty()) {
    const std::string handler_file = (fs::path(work_dir_) / "handler.py").string();
    std::ofstream(handler_file, std::ios::binary) << options_.handler_code;
    args.insert(args.end(), {"--handler-file", handler_file});
  }

  try {
    process_ = std::make_unique<ChildProcess>(args, err_file);
    const std::string line = process_->ReadLine(kStartLimit);
    if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
    if (port_ <= 0) throw std::runtime_error("unexpected first line: " + line);
  } catch (const std::exception& e) {
    Stop();
    const std::string err = ReadWholeFile(err_file);
    fs::remove_all(work_dir_);
    throw std::runtime_error(std::string("pyftpd: ") + e.what() + "\n" + err);
  }
}

void PyFtpd::Stop() { process_.reset(); }

PyFtpd::~PyFtpd() {
  Stop();
  std::error_code ec;
  fs::remove_all(work_dir_, ec);
}

std::string PyFtpd::Log() const {
  return ReadWholeFile((fs::path(work_dir_) / "server.log").string()) +
         ReadWholeFile((fs::path(work_dir_) / "stderr.log").string());
}

}  // namespace tavo::testsupport
