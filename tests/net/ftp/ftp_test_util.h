#pragma once
// Shared pieces of the FTP tests: a status recorder and a client aimed at a scripted peer.

#include <string>
#include <utility>
#include <vector>

#include "net/ftp/ftp.h"
#include "tests/support/scripted_peer.h"

namespace tavo::net::ftptest {

struct StatusLog {
  std::vector<std::pair<TIdStatus, std::string>> items;
  TIdStatusEvent Handler() {
    return [this](rtl::TComponent*, TIdStatus s, const std::string& t) { items.emplace_back(s, t); };
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& i : items) out.push_back(i.second);
    return out;
  }
};

// A client aimed at the peer, with a read time-out so that a broken script fails the test
// instead of hanging it.
inline void AimAt(TIdTCPClient& client, const testsupport::ScriptedPeer& peer) {
  client.SetHost("127.0.0.1");
  client.SetPort(peer.Port());
  client.SetReadTimeout(10000);
}

// The replies of a plain login with user "u" and password "p", then TYPE I and SYST.
inline testsupport::ScriptedPeer& ScriptLogin(testsupport::ScriptedPeer& peer,
                                             const std::string& syst_reply = "215 UNIX Type: L8\r\n") {
  return peer.Send("220 ready\r\n")
      .ExpectLine("USER u")
      .Send("331 password please\r\n")
      .ExpectLine("PASS p")
      .Send("230 logged in\r\n")
      .ExpectLine("TYPE I")
      .Send("200 type set\r\n")
      .ExpectLine("SYST")
      .Send(syst_reply);
}
inline constexpr const char kLoginBytes[] = "USER u\r\nPASS p\r\nTYPE I\r\nSYST\r\n";

inline void SetLogin(TIdFTP& ftp) {
  ftp.SetUsername("u");
  ftp.SetPassword("p");
}

}  // namespace tavo::net::ftptest
