#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/stack/stack.h"
#include "net/tcp/component.h"
#include "net/tcp/connection.h"

namespace tavo::net {
namespace {

struct Statuses {
  std::vector<std::pair<TIdStatus, std::string>> items;
  rtl::TComponent* sender = nullptr;
  TIdStatusEvent Handler() {
    return [this](rtl::TComponent* s, TIdStatus st, const std::string& text) {
      sender = s;
      items.emplace_back(st, text);
    };
  }
};

TEST(StatusTexts, TemplatesAreTheGermanTexts) {
  EXPECT_STREQ(StatusTemplate(hsResolving), "Host-Name %s wird aufgelöst.");
  EXPECT_STREQ(StatusTemplate(hsConnecting), "Verbinden mit %s.");
  EXPECT_STREQ(StatusTemplate(hsConnected), "Verbunden.");
  EXPECT_STREQ(StatusTemplate(hsDisconnecting), "Verbindung wird getrennt.");
  EXPECT_STREQ(StatusTemplate(hsDisconnected), "Verbindung aufgehoben.");
  for (TIdStatus s : {hsStatusText, ftpTransfer, ftpReady, ftpAborted})
    EXPECT_STREQ(StatusTemplate(s), "%s");
}

TEST(ReportStatus, FormatsTemplateWithArgumentsOrOneEmptyText) {
  TIdComponent c;
  Statuses log;
  c.SetOnStatus(log.Handler());
  c.ReportStatus(hsDisconnecting);
  c.ReportStatus(ftpTransfer, {"100% fertig"});
  c.ReportStatus(ftpReady);
  c.ReportStatus(hsResolving, {"ftp.example.org", "ignored", 42});
  c.ReportStatus(hsConnected, {"host"});
  ASSERT_EQ(log.items.size(), 5u);
  EXPECT_EQ(log.items[0], std::make_pair(hsDisconnecting, std::string("Verbindung wird getrennt.")));
  EXPECT_EQ(log.items[1], std::make_pair(ftpTransfer, std::string("100% fertig")));
  EXPECT_EQ(log.items[2], std::make_pair(ftpReady, std::string()));
  EXPECT_EQ(log.items[3].second, "Host-Name ftp.example.org wird aufgelöst.");
  EXPECT_EQ(log.items[4].second, "Verbunden.");
  EXPECT_EQ(log.sender, &c);
}

TEST(ReportStatus, UnassignedHandlerFormatsNothing) {
  TIdComponent c;
  // A template with a directive and no argument would raise if it were formatted.
  EXPECT_NO_THROW(c.ReportStatus(hsResolving, {}));
  EXPECT_NO_THROW(c.ReportStatus(hsConnecting));
}

TEST(WorkAccounting, NestedBeginsRaiseOnceAndCountAcrossLevels) {
  TIdComponent c;
  std::vector<std::string> events;
  c.SetOnWorkBegin([&](rtl::TComponent*, TWorkMode m, int32_t max) {
    events.push_back("begin " + std::to_string(m) + " " + std::to_string(max));
  });
  c.SetOnWork([&](rtl::TComponent*, TWorkMode m, int32_t n) {
    events.push_back("work " + std::to_string(m) + " " + std::to_string(n));
  });
  c.SetOnWorkEnd([&](rtl::TComponent*, TWorkMode m) { events.push_back("end " + std::to_string(m)); });

  c.WorkProgress(wmRead, 5);  // level 0: nothing
  c.WorkBegin(wmRead, 100);
  c.WorkProgress(wmRead, 10);
  c.WorkBegin(wmRead, 7);  // nested: only the level rises
  c.WorkProgress(wmRead, 20);
  c.WorkBegin(wmWrite, 3);  // the other direction is independent
  c.WorkProgress(wmWrite, 3);
  c.WorkEnd(wmWrite);
  c.WorkEnd(wmRead);
  c.WorkProgress(wmRead, 1);
  c.WorkEnd(wmRead);
  c.WorkProgress(wmRead, 1);

  EXPECT_EQ(events, (std::vector<std::string>{"begin 0 100", "work 0 10", "work 0 30", "begin 1 3",
                                              "work 1 3", "end 1", "work 0 31", "end 0"}));
  EXPECT_EQ(c.WorkInfo(wmRead).Level, 0);
  EXPECT_EQ(c.WorkInfo(wmRead).Max, 100);
}

TEST(WorkAccounting, CountStopsAtLargestValueInsteadOfWrapping) {
  TIdComponent c;
  int32_t last = 0;
  c.SetOnWork([&](rtl::TComponent*, TWorkMode, int32_t n) { last = n; });
  c.WorkBegin(wmRead, 0);
  for (int i = 0; i < 3; ++i) c.WorkProgress(wmRead, 1 << 30);
  EXPECT_EQ(last, 2147483647);
  c.WorkEnd(wmRead);
}

TEST(StackLifetime, StackLivesExactlyWhileComponentsDo) {
  ASSERT_EQ(LiveComponentCount(), 0);
  ASSERT_EQ(GlobalStack, nullptr);
  {
    auto first = std::make_unique<TIdComponent>();
    ASSERT_NE(GlobalStack, nullptr);
    TIdStack* stack = GlobalStack;
    {
      // An owned component (the handler a client creates) goes with its owner.
      TIdTCPClient client(first.get());
      auto* inner = new TIdComponent(&client);
      (void)inner;
      EXPECT_EQ(LiveComponentCount(), 3);
      EXPECT_EQ(GlobalStack, stack);
    }
    EXPECT_EQ(LiveComponentCount(), 1);
    EXPECT_EQ(GlobalStack, stack);
  }
  EXPECT_EQ(LiveComponentCount(), 0);
  EXPECT_EQ(GlobalStack, nullptr);

  TIdComponent again;
  EXPECT_NE(GlobalStack, nullptr);
}

TEST(StackLifetime, OwnerReleasesStackOnlyAfterItsComponents) {
  // The owner is destroyed first; its owned component is torn down inside that destruction
  // and may still use the stack, so the stack must outlive it.
  bool stack_seen_by_child = false;
  struct Child : TIdComponent {
    bool* seen;
    Child(rtl::TComponent* o, bool* s) : TIdComponent(o), seen(s) {}
    ~Child() override { *seen = GlobalStack != nullptr; }
  };
  {
    TIdComponent owner;
    new Child(&owner, &stack_seen_by_child);
  }
  EXPECT_TRUE(stack_seen_by_child);
  EXPECT_EQ(GlobalStack, nullptr);
}

TEST(ConnectionDefaults, CreationValues) {
  TIdTCPClient c;
  EXPECT_EQ(c.IOHandler(), nullptr);
  EXPECT_FALSE(c.OwnsIOHandler());
  EXPECT_FALSE(c.PeerClosed());
  EXPECT_EQ(c.ReadTimeout(), 0);
  EXPECT_EQ(c.RecvBufferSize(), 32768);
  EXPECT_EQ(c.SendBufferSize(), 32768);
  EXPECT_EQ(c.MaxLineLength(), 16384);
  EXPECT_EQ(c.MaxLineAction(), maException);
  EXPECT_FALSE(c.ASCIIFilter());
  EXPECT_EQ(c.Port(), 0);
  EXPECT_EQ(c.BoundPort(), 0);
  EXPECT_EQ(c.InboundBuffer().CompactThreshold(), 32768);
}

}  // namespace
}  // namespace tavo::net
