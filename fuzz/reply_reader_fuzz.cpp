// The reply reader fed from memory: a connection whose peer sends the input, in pieces the
// input chooses, read reply by reply until the peer's close, under the line-length limits and
// actions the input picks. A second mode runs the FTP client's session over the same bytes:
// greeting, login, SYST, CWD, PASV, the resume probe. Every failure must be one of the
// library's own errors; anything else (a standard-library error, a crash, a sanitizer report)
// is a fault.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/ftp/ftp.h"
#include "net/tcp/connection.h"

namespace {

using namespace tavo;
using Handler = fuzz::MemoryIOHandler<net::TIdIOHandler>;

void ReadReplies(net::TIdTCPConnection& conn) {
  try {
    while (true) {
      conn.GetResponse({});
      const net::TIdRFCReply& reply = conn.LastReply();
      TAVO_FUZZ_CHECK(reply.Text().Count() >= 1);
      TAVO_FUZZ_CHECK(reply.TextCode().size() <= 4);
      for (const std::string& line : reply.Text().Items())
        TAVO_FUZZ_CHECK(line.find('\n') == std::string::npos);
    }
  } catch (const net::EIdException&) {
  }
}

void RunSession(net::TIdFTP& ftp, bool probe_resume) {
  ftp.SetHost("127.0.0.1");  // never contacted: the handler is the peer
  ftp.SetUsername("u");
  ftp.SetPassword("p");
  try {
    ftp.Connect(true);
    ftp.ChangeDir("pub");
    std::string address;
    int32_t port = 0;
    ftp.RequestPassiveAddress(address, port);
    TAVO_FUZZ_CHECK(port >= 1 && port <= 65535);
    if (probe_resume) ftp.ProbeResume();
    ftp.SendRawCommand("NOOP");
  } catch (const net::EIdException&) {
  } catch (const rtl::EConvertError&) {
    // A PASV field that is no number: the runtime's conversion error, by design.
  }
  // A failed Connect closes the connection before the error comes out.
  if (!ftp.Connected()) TAVO_FUZZ_CHECK(ftp.DataConnection() == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One connection for the whole run keeps the socket stack loaded between inputs.
  static const net::TIdTCPConnection keeps_stack;
  fuzz::InputReader in(data, size);
  const uint8_t mode = in.Byte();
  const uint8_t limit = in.Byte();
  const std::string pieces = in.Text();
  const std::string_view peer = in.Rest();

  Handler handler(peer, pieces);
  if (mode & 1) {
    net::TIdFTP ftp;
    ftp.SetIOHandler(&handler);
    if (limit & 0x80) ftp.SetMaxLineLength(limit & 0x7F);
    if (limit & 0x40) ftp.SetMaxReplyLength(limit & 0x3F);
    RunSession(ftp, (mode & 2) != 0);
    ftp.SetIOHandler(nullptr);
    return 0;
  }
  net::TIdTCPConnection conn;
  conn.SetIOHandler(&handler);
  handler.Open();
  // Small limits make over-long lines (and splitting them) reachable; 0 means none.
  if (limit & 0x80) conn.SetMaxLineLength(limit & 0x3F);
  if (limit & 0x40) conn.SetMaxLineAction(net::maSplit);
  // A small reply bound, so that a reply running past it is reachable too.
  if (limit & 0x20) conn.SetMaxReplyLength(limit & 0x1F);
  ReadReplies(conn);
  conn.SetIOHandler(nullptr);
  return 0;
}
