#pragma once
// Running tavo-ftp as a user does, for the tests of the program: its exit code and both
// outputs, with the environment of an English-speaking user unless a test sets another.

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch.h"

namespace tavo::tool {

// The user of every run speaks English unless a test says otherwise.
inline const struct EnglishUser {
  EnglishUser() {
    test::UnsetEnv("LC_ALL");
    test::UnsetEnv("LC_MESSAGES");
    test::SetEnv("LANG", "C.UTF-8");
  }
} kEnglishUser;

inline testsupport::ProgramResult TavoFtp(std::vector<std::string> args,
                                          const std::string& stdin_file = "/dev/null") {
  args.insert(args.begin(), TAVO_FTP_PROGRAM);
#ifdef _WIN32
  // A Windows console program ends its text lines with CR LF; the checks read LF. A file
  // written to standard output ("-") is bytes, kept as they are.
  const bool bytes_out = std::find(args.begin(), args.end(), "-") != args.end();
  testsupport::ProgramResult r =
      testsupport::RunProgram(std::move(args), std::chrono::seconds(60), stdin_file);
  const auto lf = [](std::string& text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  };
  lf(r.err);
  if (!bytes_out) lf(r.out);
  return r;
#else
  return testsupport::RunProgram(std::move(args), std::chrono::seconds(60), stdin_file);
#endif
}

}  // namespace tavo::tool
