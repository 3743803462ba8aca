// The client against a misbehaving server: pyftpdlib committing one fault per row (see
// tests/support/pyftpd_faults.py). Each row does what the launcher does: connect and log in,
// change into the folder, fetch one file into a local file, disconnect, and on any error
// disconnect and stop. Each must end with the row's error (or success) within its time-outs,
// with the control connection closed on both sides, and with the local file as the row says:
// never there when no transfer started, empty when the server refused before data, a true
// prefix of the file when the transfer broke off, and whole only when the client succeeded.
// Leaks are the sanitizer build's to find when this runs there.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/ftp/ftp.h"
#include "net/stack/exceptions.h"
#include "net/tcp/reply.h"
#include "rtl/exception.h"
#include "tests/net/ftp/ftp_test_util.h"
#include "tests/support/pyftpd.h"
#include "tests/support/scratch.h"

namespace tavo::net {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum class Ends { kSuccess, kReply, kConvert, kPasv, kTimeout, kClosed, kLineTooLong,
                  kReplyTooLong, kIncomplete, kAborted };

// Get returns normally from a transfer the server reports aborted and says so with the status
// ftpAborted; like the launcher, each row takes that as a failure.
class TransferAborted : public std::runtime_error {
 public:
  TransferAborted() : std::runtime_error("Transfer abgebrochen") {}
};
enum class FileLeft { kNone, kEmpty, kPart, kWhole };

struct Row {
  const char* fault;    // pyftpd_faults.py name; "" for a well-behaved server
  const char* folder;   // ChangeDir
  const char* file;     // Get
  Ends ends;
  int code;             // the reply code of kReply
  const char* message;  // the error's whole text; nullptr: not compared (the server's words)
  FileLeft left;
};

constexpr int kReadTimeout = 1500;
// Every row ends within a few read time-outs: the slowest waits one time-out, the slow data
// row takes about two seconds.
constexpr auto kRowLimit = std::chrono::seconds(8);

const char kTimeout[] = "Zeitüberschreitung beim Lesen";
const char kClosed[] = "Die Verbindung wurde erfolgreich geschlossen.";

// clang-format off
const std::vector<Row> kRows = {
  {"",                          "pub",     "file.bin",    Ends::kSuccess,      0,   nullptr, FileLeft::kWhole},
  {"greeting-120-then-220",     "pub",     "file.bin",    Ends::kReply,        120, "Service ready in a moment.\r\n", FileLeft::kNone},
  {"no-greeting",               "pub",     "file.bin",    Ends::kTimeout,      0,   kTimeout, FileLeft::kNone},
  {"greeting-421",              "pub",     "file.bin",    Ends::kReply,        421, "Service not available, closing control connection.\r\n", FileLeft::kNone},
  {"login-530",                 "pub",     "file.bin",    Ends::kReply,        530, "Login incorrect.\r\n", FileLeft::kNone},
  {"syst-502",                  "pub",     "file.bin",    Ends::kReply,        502, "Command not implemented.\r\n", FileLeft::kNone},
  {"",                          "missing", "file.bin",    Ends::kReply,        550, nullptr, FileLeft::kNone},
  {"pasv-five-fields",          "pub",     "file.bin",    Ends::kConvert,      0,   "'' is not a valid integer value", FileLeft::kEmpty},
  {"pasv-field-above-255",      "pub",     "file.bin",    Ends::kPasv,         0,   "Ungültiges Feld \"256\" in der Antwort auf PASV (erlaubt sind 0 bis 255).", FileLeft::kEmpty},
  {"pasv-port-0",               "pub",     "file.bin",    Ends::kPasv,         0,   "Ungültiger Port 0 in der Antwort auf PASV (erlaubt sind 1 bis 65535).", FileLeft::kEmpty},
  {"pasv-foreign-address",      "pub",     "file.bin",    Ends::kSuccess,      0,   nullptr, FileLeft::kWhole},
  {"",                          "pub",     "missing.bin", Ends::kReply,        550, nullptr, FileLeft::kEmpty},
  {"retr-426-after-part",       "pub",     "file.bin",    Ends::kAborted,      0,   "Transfer abgebrochen", FileLeft::kPart},
  {"data-closed-early",         "pub",     "file.bin",    Ends::kIncomplete,   0,   "Übertragung unvollständig: 34133 von 102400 angekündigten Bytes empfangen.", FileLeft::kPart},
  {"control-dropped-after-150", "pub",     "file.bin",    Ends::kClosed,       0,   kClosed, FileLeft::kPart},
  {"long-reply-line",           "pub",     "file.bin",    Ends::kLineTooLong,  0,   "Max. Zeilenlänge überschritten.", FileLeft::kNone},
  {"endless-multiline-reply",   "pub",     "file.bin",    Ends::kReplyTooLong, 0,   "Die Antwort des Servers ist länger als 1048576 Bytes und wird nicht weiter gelesen.", FileLeft::kNone},
  {"cwd-no-reply",              "pub",     "file.bin",    Ends::kTimeout,      0,   kTimeout, FileLeft::kNone},
  {"data-stalls",               "pub",     "file.bin",    Ends::kTimeout,      0,   kTimeout, FileLeft::kPart},
  {"data-slow",                 "pub",     "slow.bin",    Ends::kSuccess,      0,   nullptr, FileLeft::kWhole},
};
// clang-format on

bool IsExpected(Ends ends, const std::exception& e) {
  switch (ends) {
    case Ends::kSuccess: return false;
    case Ends::kReply: return dynamic_cast<const EIdProtocolReplyError*>(&e) != nullptr;
    case Ends::kConvert: return dynamic_cast<const rtl::EConvertError*>(&e) != nullptr;
    case Ends::kPasv: return dynamic_cast<const EIdFTPPasvReplyError*>(&e) != nullptr;
    case Ends::kTimeout: return dynamic_cast<const EIdReadTimeout*>(&e) != nullptr;
    case Ends::kClosed: return dynamic_cast<const EIdConnClosedGracefully*>(&e) != nullptr;
    case Ends::kLineTooLong:
      return dynamic_cast<const EIdReadLnMaxLineLengthExceeded*>(&e) != nullptr;
    case Ends::kReplyTooLong: return dynamic_cast<const EIdReplyTooLong*>(&e) != nullptr;
    case Ends::kIncomplete: return dynamic_cast<const EIdFTPTransferIncomplete*>(&e) != nullptr;
    case Ends::kAborted: return dynamic_cast<const TransferAborted*>(&e) != nullptr;
  }
  return false;
}

// The server logs the end of every session; wait (bounded) until it has seen ours end.
bool ServerSawTheSessionEnd(const testsupport::PyFtpd& server) {
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < until) {
    if (server.Log().find("FTP session closed") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(FaultMatrix, EveryFaultEndsAsExpectedInTimeWithTheFileInOrder) {
  const std::string file = ftptest::Content(100 * 1024);
  const std::string slow = ftptest::Content(40);
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::string("fault \"") + row.fault + "\", CWD " + row.folder + ", RETR " +
                 row.file);
    testsupport::PyFtpdOptions options;
    options.fault = row.fault;
    testsupport::PyFtpd server(options);
    fs::create_directory(fs::path(server.Root()) / "pub");
    std::ofstream(fs::path(server.Root()) / "pub" / "file.bin", std::ios::binary) << file;
    std::ofstream(fs::path(server.Root()) / "pub" / "slow.bin", std::ios::binary) << slow;
    test::ScratchDir dest_dir;
    const std::string dest = dest_dir / row.file;

    TIdFTP ftp;
    ftptest::AimAtServer(ftp, server.Host(), server.Port(), server.Options().user,
                         server.Options().password, kReadTimeout);
    bool aborted = false;
    ftp.SetOnStatus([&aborted](rtl::TComponent*, TIdStatus status, const std::string&) {
      if (status == ftpAborted) aborted = true;
    });

    const auto start = Clock::now();
    std::optional<std::string> error;
    try {
      ftp.Connect();
      ftp.ChangeDir(row.folder);
      ftp.Get(row.file, dest, true, false);
      if (aborted) throw TransferAborted();
      ftp.Disconnect();
    } catch (const std::exception& e) {
      error = e.what();
      EXPECT_TRUE(IsExpected(row.ends, e)) << "unexpected error: " << e.what();
      if (const auto* reply = dynamic_cast<const EIdProtocolReplyError*>(&e)) {
        EXPECT_EQ(reply->ReplyCode(), row.code) << e.what();
      }
      if (row.message != nullptr) {
        EXPECT_EQ(error, row.message);
      }
      if (ftp.Connected()) ftp.Disconnect();
    }
    const auto took = Clock::now() - start;
    EXPECT_EQ(error.has_value(), row.ends != Ends::kSuccess) << error.value_or("success");
    EXPECT_LT(took, kRowLimit) << "took "
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";

    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(ftp.DataConnection(), nullptr);
    EXPECT_TRUE(ServerSawTheSessionEnd(server)) << server.Log();

    const std::string& served = std::string(row.file) == "slow.bin" ? slow : file;
    const bool exists = fs::exists(dest);
    const std::string got = exists ? test::ReadFile(dest) : std::string();
    switch (row.left) {
      case FileLeft::kNone:
        EXPECT_FALSE(exists) << "no transfer began, yet " << dest << " was made";
        break;
      case FileLeft::kEmpty:
        EXPECT_TRUE(exists);
        EXPECT_EQ(got.size(), 0u);
        break;
      case FileLeft::kPart:
        EXPECT_TRUE(exists);
        EXPECT_LT(got.size(), served.size()) << "a whole file, yet the transfer failed";
        EXPECT_TRUE(served.compare(0, got.size(), got) == 0) << "the part is not the file's start";
        break;
      case FileLeft::kWhole:
        EXPECT_TRUE(got == served) << got.size() << " of " << served.size() << " bytes, or other bytes";
        break;
    }
  }
}

}  // namespace
}  // namespace tavo::net
