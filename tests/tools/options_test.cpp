// tavo-ftp's command line, read without running anything: what each command line asks for, and
// what is refused (exit 2) before any connection is made.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "net/tls/tls.h"
#include "resources/text.h"
#include "tests/support/expect_throw.h"
#include "tools/tavo-ftp/netrc.h"
#include "tools/tavo-ftp/options.h"

namespace tavo::tool {
namespace {

const std::string kA = "ftp://h/a/a.bin";
const std::string kB = "ftp://h:2121/b.bin";

ParsedCommandLine Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "tavo-ftp");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  return ParseCommandLine(static_cast<int>(words.size()), argv.data());
}

TEST(TavoFtpOptions, EachCommandLineAsksForWhatItSays) {
  res::SetLanguage(res::TLanguage::lgEnglish);  // as tavo-ftp sets it for an English user
  using Check = std::function<void(const ParsedCommandLine&)>;
  struct Row {
    std::vector<std::string> words;
    Check check;
  };
  const auto urls = [](size_t n) {
    return [n](const ParsedCommandLine& p) { EXPECT_EQ(p.options.urls.size(), n); };
  };
  const std::vector<Row> rows = {
      {{kA}, [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.command, TCommand::cmGet);
         EXPECT_EQ(p.options.urls[0].file, "a.bin");
         EXPECT_EQ(p.options.connect_timeout_ms, 30000);
         EXPECT_TRUE(p.options.netrc);
         EXPECT_EQ(p.options.family, net::afAny);
         EXPECT_TRUE(p.options.epsv && p.options.eprt);
       }},
      {{"-6", "--no-epsv", "--no-eprt", kA}, [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.family, net::afIPv6);
         EXPECT_FALSE(p.options.epsv || p.options.eprt);
       }},
      {{"--socks5", "[::1]:1081", kA}, [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.socks_host, "[::1]");
         EXPECT_EQ(p.options.socks_port, 1081);
       }},
      {{"ls", "--list", "-4", "ftp://h/"}, [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.family, net::afIPv4);
         EXPECT_TRUE(p.options.force_list);
       }},
      {{"get", kA, kB}, urls(2)},
      {{"get", "-o", "x.bin", kA, "-o", "y.bin", kB}, [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.outputs, (std::vector<std::string>{"x.bin", "y.bin"}));
         EXPECT_EQ(p.options.urls[1].port, 2121);
       }},
      {{"--active", "get", kA, "out/", "-q"}, [](const ParsedCommandLine& p) {
         EXPECT_TRUE(p.options.active && p.options.quiet);
         EXPECT_EQ(p.options.dest, "out/");
       }},
      {{"ls", "-1", "ftp://h/pub/"}, [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.command, TCommand::cmLs);
         EXPECT_TRUE(p.options.names_only);
         EXPECT_EQ(p.options.urls[0].directory, "pub");
       }},
      {{"--connect-timeout", "500ms", "--read-timeout", "2", "--max-time", "1.5m", kA},
       [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.connect_timeout_ms, 500);
         EXPECT_EQ(p.options.read_timeout_ms, 2) << "a bare number keeps milliseconds";
         EXPECT_EQ(p.options.max_time_ms, 90000);
       }},
      {{"--speed-limit", "1k", "--speed-time", "5", "--limit-rate", "1.5M", kA},
       [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.speed_limit, 1024);
         EXPECT_EQ(p.options.speed_time_ms, 5000) << "a bare number means seconds";
         EXPECT_EQ(p.options.limit_rate, 1572864);
       }},
      {{"--retry", "3", "--retry-delay", "250ms", "-R", kA}, [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.retries, 3);
         EXPECT_EQ(p.options.retry_delay_ms, 250);
         EXPECT_TRUE(p.options.remote_time);
       }},
      {{"-u", "tech:pw:x", "--no-netrc", kA}, [](const ParsedCommandLine& p) {
         EXPECT_EQ(p.options.user, "tech");
         EXPECT_EQ(p.options.password.value_or(""), "pw:x");
         EXPECT_FALSE(p.options.netrc);
       }},
      {{"--user", "tech", "--password-stdin", "--netrc-file", "n", kA},
       [](const ParsedCommandLine& p) {
         EXPECT_FALSE(p.options.password.has_value());
         EXPECT_TRUE(p.options.password_stdin);
         EXPECT_EQ(p.options.netrc_file, "n");
       }},
      {{kA, "--help", "--fast"}, [](const ParsedCommandLine& p) { EXPECT_TRUE(p.help); }},
      {{"ls", "--version"}, [](const ParsedCommandLine& p) { EXPECT_TRUE(p.version); }},
  };
  for (const Row& row : rows) {
    std::ostringstream name;
    for (const std::string& w : row.words) name << w << ' ';
    SCOPED_TRACE(name.str());
    row.check(Parse(row.words));
  }

  // Refused, each with what the message must say (and never an option's value).
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{}, "no command"},
      {{"get"}, "no URL"},
      {{"fetch", kA}, "unknown command"},
      {{"--fast", kA}, "unknown option --fast"},
      {{kA, "--retry"}, "missing value for --retry"},
      {{"ls", "--resume", "ftp://h/"}, "--resume belongs to get"},
      {{"get", "--raw", kA}, "--raw belongs to ls"},
      {{"get", "--list", kA}, "--list belongs to ls"},
      {{"ls", "ftp://h/", "ftp://h/x/"}, "too many arguments"},
      {{"-o", "x", "-o", "y", kA}, "more -o than URLs"},
      {{"-o", "x", kA, "dest"}, "DEST or -o"},
      {{"--resume", kA, "-"}, "--resume needs a file"},
      {{"--connect-timeout", "-1", kA}, "--connect-timeout takes a time"},
      {{"--max-time", "2x", kA}, "--max-time takes a time"},
      {{"--limit-rate", "fast", kA}, "--limit-rate takes a number of bytes"},
      {{"--socks5", "u:pr0xy@h:1", kA}, "--socks5 takes HOST:PORT only"},
      {{"--socks-password", "pr0xy", kA}, "--socks-password needs --socks5"},
      {{"--password-stdin", "-u", "t:pr0xy", kA}, "exclude each other"},
      {{"--allow-foreign-data-peer", kA}, "belongs to --active"},
      {{"ftp://h/dir/"}, "no file name"},
  };
  for (const auto& [words, said] : refused) {
    std::ostringstream name;
    for (const std::string& w : words) name << w << ' ';
    SCOPED_TRACE(name.str());
    const std::string message = testsupport::ThrownMessage<UsageError>([&] { Parse(words); });
    EXPECT_NE(message.find(said), std::string::npos) << message;
    EXPECT_EQ(message.find("pr0xy"), std::string::npos) << message;
  }
  // The same refusal for a German user.
  res::SetLanguage(res::TLanguage::lgGerman);
  EXPECT_EQ(
      testsupport::ThrownMessage<UsageError>([] { Parse({"ls", "--resume", "ftp://h/"}); }),
      "--resume gehört zu get");
  res::SetLanguage(res::TLanguage::lgEnglish);
}

// The help text comes from the same table: every option is in it, TLS only where the build has
// it, and no line is wider than a terminal.
TEST(TavoFtpOptions, HelpTextListsTheTableForThisBuild) {
  const std::string help = HelpText();
  for (const char* option : {"--output FILE", "--limit-rate RATE", "--netrc-file", "-1, --names-only",
                             "--max-time TIME", "4 log-in refused"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  EXPECT_EQ(help.find("--tls") != std::string::npos, net::TLSAvailable());
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
}

TEST(TavoFtpOptions, NetrcEntriesAreFoundByHostAndLogin) {
  const std::vector<NetrcEntry> entries = ParseNetrc(
      "machine ftp.example login tech password \"s3 \\\"cr\"\n"
      "macdef init\ncd pub\n\n"
      "machine FTP.example login other password two account x\n"
      "default login anonymous password guest@\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].password, "s3 \"cr");
  EXPECT_EQ(FindNetrcEntry(entries, "ftp.EXAMPLE", "")->login, "tech");
  EXPECT_EQ(FindNetrcEntry(entries, "ftp.example", "other")->password, "two");
  EXPECT_TRUE(FindNetrcEntry(entries, "elsewhere", "")->is_default);
  EXPECT_EQ(FindNetrcEntry(entries, "elsewhere", "tech"), nullptr);
  EXPECT_EQ(FindNetrcEntry(ParseNetrc("machine a login b"), "c", ""), nullptr);
}

}  // namespace
}  // namespace tavo::tool
