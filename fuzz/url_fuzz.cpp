// tavo-ftp's address parser. A parsed address must be safe to use in FTP commands and as a
// local name: no line break or NUL anywhere, a port of 1..65535, a file name for a download.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tools/tavo-ftp/url.h"

namespace {

bool Clean(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

void CheckParsed(const tavo::tool::FtpUrl& url) {
  TAVO_FUZZ_CHECK(Clean(url.user) && Clean(url.password) && Clean(url.host));
  TAVO_FUZZ_CHECK(Clean(url.directory) && Clean(url.file));
  TAVO_FUZZ_CHECK(!url.host.empty());
  TAVO_FUZZ_CHECK(url.port >= 1 && url.port <= 65535);
  TAVO_FUZZ_CHECK(url.has_user || (url.user.empty() && url.password.empty()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavo::tool;
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const FtpUrl url = ParseFtpUrl(text);
    CheckParsed(url);
    TAVO_FUZZ_CHECK(!url.file.empty());
    TAVO_FUZZ_CHECK(url.file.find('/') == std::string::npos || text.find('%') != std::string::npos);
    try {
      const std::string dest = DefaultDestination(url);
      TAVO_FUZZ_CHECK(dest != "." && dest != ".." && dest.find_first_of("/\\") == std::string::npos);
    } catch (const UrlError&) {
    }
  } catch (const UrlError&) {
  }
  try {
    const FtpUrl url = ParseFtpFolderUrl(text);
    CheckParsed(url);
    TAVO_FUZZ_CHECK(url.file.empty());
  } catch (const UrlError&) {
  }
  return 0;
}
