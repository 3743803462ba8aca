#pragma once
// The base of every network component: status events from a fixed table of German templates,
// work (progress) events per direction, and the lifetime of the process-wide socket stack,
// which exists exactly while at least one network component exists.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "net/stack/stack.h"  // TimeoutDefault, TimeoutInfinite
#include "rtl/component.h"
#include "rtl/format.h"

namespace tavo::net {

// Ordinals are part of the interface: handlers switch on them.
enum TIdStatus : int32_t {
  hsResolving = 0,
  hsConnecting = 1,
  hsConnected = 2,
  hsDisconnecting = 3,
  hsDisconnected = 4,
  hsStatusText = 5,
  ftpTransfer = 6,
  ftpReady = 7,
  ftpAborted = 8,
};

enum TWorkMode : int32_t { wmRead = 0, wmWrite = 1 };

// Event types. "Assigned" means non-empty; senders are the raising component.
using TNotifyEvent = std::function<void(rtl::TComponent* Sender)>;
using TIdStatusEvent = std::function<void(rtl::TComponent* ASender, TIdStatus AStatus,
                                          const std::string& AStatusText)>;
using TWorkBeginEvent =
    std::function<void(rtl::TComponent* Sender, TWorkMode AWorkMode, int32_t AWorkCountMax)>;
using TWorkEvent =
    std::function<void(rtl::TComponent* Sender, TWorkMode AWorkMode, int32_t AWorkCount)>;
using TWorkEndEvent = std::function<void(rtl::TComponent* Sender, TWorkMode AWorkMode)>;

// The template of a status value, as the status table holds it.
const char* StatusTemplate(TIdStatus AStatus);

class TIdBaseComponent : public rtl::TComponent {
 public:
  explicit TIdBaseComponent(rtl::TComponent* AOwner = nullptr) : rtl::TComponent(AOwner) {}
};

namespace detail {
// Holds one reference on the shared socket stack. It is a base class placed before the
// runtime component so that it is built first and torn down last: the stack is released only
// after the components this one owns have been destroyed, since their clean-up may still
// close sockets through the stack.
class TIdStackReference {
 protected:
  TIdStackReference();
  ~TIdStackReference();
  TIdStackReference(const TIdStackReference&) = delete;
  TIdStackReference& operator=(const TIdStackReference&) = delete;
};
}  // namespace detail

// Number of live network components (each holds one stack reference); for tests and checks.
int32_t LiveComponentCount();

class TIdComponent : private detail::TIdStackReference, public TIdBaseComponent {
 public:
  explicit TIdComponent(rtl::TComponent* AOwner = nullptr);
  ~TIdComponent() override;

  const TIdStatusEvent& OnStatus() const { return on_status_; }
  void SetOnStatus(TIdStatusEvent v) { on_status_ = std::move(v); }

  const TWorkBeginEvent& OnWorkBegin() const { return on_work_begin_; }
  void SetOnWorkBegin(TWorkBeginEvent v) { on_work_begin_ = std::move(v); }
  const TWorkEvent& OnWork() const { return on_work_; }
  void SetOnWork(TWorkEvent v) { on_work_ = std::move(v); }
  const TWorkEndEvent& OnWorkEnd() const { return on_work_end_; }
  void SetOnWorkEnd(TWorkEndEvent v) { on_work_end_ = std::move(v); }

  // Raises OnStatus with the status's template formatted with AArgs (none: one empty text).
  // Nothing is formatted when OnStatus is unassigned.
  void ReportStatus(TIdStatus AStatus, std::initializer_list<rtl::FormatArg> AArgs = {});

  // Work accounting per direction; nested begins count levels, and only the outermost begin
  // and end raise their events.
  virtual void WorkBegin(TWorkMode AWorkMode, int32_t AWorkCountMax);
  virtual void WorkProgress(TWorkMode AWorkMode, int32_t ACount);
  virtual void WorkEnd(TWorkMode AWorkMode);

  // The accounting record of one direction, for inspection.
  struct TWorkInfo {
    int32_t Level = 0;
    int32_t Max = 0;
    int32_t Count = 0;
  };
  const TWorkInfo& WorkInfo(TWorkMode AWorkMode) const { return work_[AWorkMode == wmRead ? 0 : 1]; }

 private:
  TIdStatusEvent on_status_;
  TWorkBeginEvent on_work_begin_;
  TWorkEvent on_work_;
  TWorkEndEvent on_work_end_;
  TWorkInfo work_[2];
};

}  // namespace tavo::net
