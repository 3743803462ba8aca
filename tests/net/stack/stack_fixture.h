#pragma once
// Each test gets the process's stack for its own duration, as a network component would.

#include <gtest/gtest.h>

#include "net/stack/socket_handle.h"
#include "net/stack/stack.h"

namespace tavo::net::test {

class StackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GlobalStack, nullptr);
    GlobalStack = CreateStack();
  }
  void TearDown() override {
    delete GlobalStack;
    GlobalStack = nullptr;
  }
  TIdStack& Stack() { return *GlobalStack; }
};

// Loopback sockets for the tests that need a real connection.
class LoopbackTest : public StackTest {
 protected:
  // A listening socket on 127.0.0.1 and a free port chosen by the system.
  void Listen(TIdSocketHandle& AListener) {
    AListener.OpenSocket();
    AListener.SetIP("127.0.0.1");
    AListener.Bind();
    AListener.Listen(5);
  }
  // A connected pair: AClient to a new listener, AServer the accepted end.
  void ConnectPair(TIdSocketHandle& AListener, TIdSocketHandle& AClient,
                   TIdSocketHandle& AServer) {
    Listen(AListener);
    AClient.OpenSocket();
    AClient.SetPeerAddress("127.0.0.1", AListener.Port());
    ASSERT_EQ(AClient.Connect(), 0);
    ASSERT_TRUE(AServer.Accept(AListener.Handle()));
  }
};

// A platform stack that records which of its virtual operations the base logic reached.
class RecordingStack : public TIdStackWindows {
 public:
  std::string GetHostByName(const std::string& AHostName) override {
    looked_up.push_back(AHostName);
    return "192.0.2.1";
  }
  int32_t QueryLastError() override {
    ++queries;
    return last_error;
  }
  std::vector<std::string> looked_up;
  int queries = 0;
  int32_t last_error = 0;
};

}  // namespace tavo::net::test
