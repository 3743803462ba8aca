#pragma once
// Shared pieces of the FTP tests: a status recorder and a client aimed at a scripted peer.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "net/ftp/ftp.h"
#include "rtl/paths.h"
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

// Peer step: the 227 reply naming `host` ("h1,h2,h3,h4") and the peer's own port, which is
// known only once the peer runs.
inline testsupport::ScriptedPeer::Step PasvReply(std::string host = "127,0,0,1") {
  return [host = std::move(host)](testsupport::ScriptedPeer& p,
                                  testsupport::ScriptedPeer::Connection& c) {
    const int port = p.Port();
    const std::string reply = "227 Entering Passive Mode (" + host + "," +
                              std::to_string(port / 256) + "," + std::to_string(port % 256) +
                              ").\r\n";
    return p.SendAll(c, reply.data(), reply.size());
  };
}

// Peer steps of one passive transfer on control connection 0: PASV, the data connection (it
// becomes connection `data_index`), the command, the preliminary reply, the data, the close of
// the data connection and the final reply.
inline testsupport::ScriptedPeer& ScriptPassiveTransfer(
    testsupport::ScriptedPeer& peer, const std::string& command, const std::string& data,
    int data_index = 1, const std::string& preliminary = "150 Opening data connection\r\n",
    const std::string& final_reply = "226 Transfer complete\r\n") {
  return peer.ExpectLine("PASV")
      .Do(PasvReply())
      .Accept()
      .Use(0)
      .ExpectLine(command)
      .Send(preliminary)
      .Use(data_index)
      .Send(data)
      .Close()
      .Use(0)
      .Send(final_reply);
}

// Content that shows a dropped, doubled or shifted block: no byte repeats at a short period.
inline std::string Content(size_t size) {
  std::string s(size, '\0');
  uint32_t x = static_cast<uint32_t>(size) * 2654435761u + 1;
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return s;
}

// Files of the given names and sizes, with Content, readable by everyone (vsftpd serves them
// as an unprivileged user).
inline void WriteFiles(const std::string& root,
                       const std::vector<std::pair<std::string, size_t>>& files) {
  namespace fs = std::filesystem;
  for (const auto& [name, size] : files) {
    // By UTF-8 path: a Windows test program would spell a name with umlauts in its code page.
    const fs::path file = rtl::PathFromUtf8(root) / rtl::PathFromUtf8(name);
    std::ofstream(file, std::ios::binary) << Content(size);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
  }
}

// A client aimed at a real server on loopback with its account and read time-out.
inline void AimAtServer(TIdFTP& ftp, const std::string& host, int port, const std::string& user,
                        const std::string& password, int32_t read_timeout_ms,
                        bool passive = true) {
  ftp.SetHost(host);
  ftp.SetPort(port);
  ftp.SetUsername(user);
  ftp.SetPassword(password);
  ftp.SetPassive(passive);
  ftp.SetReadTimeout(read_timeout_ms);
}

inline void SetLogin(TIdFTP& ftp) {
  ftp.SetUsername("u");
  ftp.SetPassword("p");
}

// Starts the peer and connects a passive client to it with the login of ScriptLogin.
inline void ConnectPassive(TIdFTP& ftp, testsupport::ScriptedPeer& peer,
                           int32_t connect_timeout = TimeoutDefault) {
  peer.Start();
  SetLogin(ftp);
  ftp.SetPassive(true);
  AimAt(ftp, peer);
  ftp.Connect(true, connect_timeout);
}

}  // namespace tavo::net::ftptest
