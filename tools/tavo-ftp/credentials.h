#pragma once
// Who a URL logs in as. In order: the URL's own user (and password), --user for URLs that name
// nobody, the netrc file's entry for the host (~/.netrc unless --no-netrc or --netrc-file), and
// otherwise anonymous. A user without a password gets it from the netrc file, from standard
// input (--password-stdin) or from a prompt on the terminal that does not echo.

#include <optional>
#include <string>
#include <vector>

#include "tools/tavo-ftp/netrc.h"
#include "tools/tavo-ftp/options.h"
#include "tools/tavo-ftp/session.h"
#include "tools/tavo-ftp/url.h"

namespace tavo::tool {

class Credentials {
 public:
  explicit Credentials(const Options& AOptions) : options_(AOptions) {}

  // Raises ToolError: a netrc file that others may read (exit 3), one named by --netrc-file
  // that cannot be read (exit 3), a password standard input did not give (exit 2).
  Login For(const FtpUrl& AUrl);

 private:
  const std::vector<NetrcEntry>& Netrc();
  std::string AskPassword(const std::string& AUser, const std::string& AHost);

  const Options& options_;
  std::optional<std::vector<NetrcEntry>> netrc_;
  std::optional<std::string> stdin_password_;
  // Passwords typed in already, per user and host: one prompt for several files.
  std::vector<std::pair<std::string, std::string>> typed_;
};

}  // namespace tavo::tool
