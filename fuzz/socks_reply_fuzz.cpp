// The SOCKS 4, 4A and 5 handshakes against a proxy that answers with the input, fed from memory
// in pieces the input chooses. The first bytes pick the version and the authentication. The
// handshake must end with success or one of the library's errors; after a success it must have
// taken exactly the reply's bytes, so that the target's first byte is read by the connection.

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/tcp/socks_info.h"
#include "net/stack/exceptions.h"
#include "net/tcp/connection.h"
#include "net/tcp/iohandler.h"

namespace {

using namespace tavo;
using Handler = fuzz::MemoryIOHandler<net::TIdIOHandlerSocket>;

// The length of the proxy's whole answer to a granted request, worked out from the wire format
// on its own: SOCKS 4 answers 8 bytes; SOCKS 5 the method choice (2), the authentication
// status (2, when asked), and the connect reply (4 + the bound address + 2).
size_t GrantedReplyLength(net::TSocksVersion AVersion, bool AAuth, const std::string& AProxy) {
  if (AVersion != net::svSocks5) return 8;
  const size_t head = 2 + (AAuth ? 2 : 0);
  const auto type = static_cast<uint8_t>(AProxy.at(head + 3));
  const auto first = static_cast<uint8_t>(AProxy.at(head + 4));
  size_t address = 1;  // an unknown type: one byte read with the head, then the port
  if (type == 1) address = 4;
  if (type == 3) address = 1 + first;
  if (type == 4) address = 16;
  return head + 4 + address + 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader in(data, size);
  const uint8_t version_pick = in.Byte();
  const std::string pieces = in.Text();
  const std::string proxy = std::string(in.Rest());

  // A connection keeps the stack alive that the handshake asks for byte orders and addresses,
  // one for the whole run, so that the stack is not loaded anew for every input.
  static const net::TIdTCPConnection keeps_stack;
  Handler handler(proxy, pieces);
  handler.Open();
  net::TIdSocksInfo socks;
  static const net::TSocksVersion kVersions[] = {net::svNoSocks, net::svSocks4, net::svSocks4A,
                                                 net::svSocks5};
  socks.SetVersion(kVersions[version_pick % 4]);
  socks.SetAuthentication((version_pick & 4) ? net::saUsernamePassword : net::saNoAuthentication);
  socks.SetUsername("user");
  socks.SetPassword("secret");
  socks.SetReplyTimeout(1000);
  socks.SetIOHandler(&handler);
  // A dotted target: SOCKS 4 needs no look-up for it, and no name server is ever asked.
  try {
    socks.Negotiate("192.0.2.7", 21);
    if (socks.Version() == net::svNoSocks) {
      TAVO_FUZZ_CHECK(handler.Sent().empty() && handler.Taken() == 0);
    } else {
      TAVO_FUZZ_CHECK(handler.Taken() == GrantedReplyLength(socks.Version(),
                                                          socks.Authentication() == net::saUsernamePassword,
                                                          proxy));
    }
  } catch (const net::EIdException&) {
  }
  socks.SetIOHandler(nullptr);
  return 0;
}
