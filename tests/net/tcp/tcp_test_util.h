#pragma once
// Shared pieces of the transport tests: a log of statuses and events in the order they were
// raised, and a client aimed at a scripted peer.

#include <chrono>
#include <string>
#include <vector>

#include "net/tcp/connection.h"
#include "tests/support/scripted_peer.h"

namespace tavo::net::tcptest {

// One line per status ("status <ordinal> <text>") or event ("disconnected", "connected").
struct EventLog {
  std::vector<std::string> items;
  void Attach(TIdTCPClient& c) {
    c.SetOnStatus([this](rtl::TComponent*, TIdStatus s, const std::string& t) {
      items.push_back("status " + std::to_string(s) + " " + t);
    });
    c.SetOnDisconnected([this](rtl::TComponent*) { items.push_back("disconnected"); });
    c.SetOnConnected([this](rtl::TComponent*) { items.push_back("connected"); });
  }
  int Count(const std::string& item) const {
    int n = 0;
    for (const auto& i : items) n += i == item ? 1 : 0;
    return n;
  }
};

inline void AimAt(TIdTCPClient& client, const testsupport::ScriptedPeer& peer) {
  client.SetHost("127.0.0.1");
  client.SetPort(peer.Port());
}

inline int64_t MillisSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               t0)
      .count();
}

}  // namespace tavo::net::tcptest
