#include "net/tcp/component.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "net/stack/stack.h"
#include "resources/tcp_texts.h"

namespace tavo::net {

namespace {

// StackLock guards the component count and the creation and release of the stack. A
// function-local static is ready before the first component, whichever static creates one.
std::mutex& StackLock() {
  static std::mutex lock;
  return lock;
}

int32_t g_live_components = 0;

// Indexed by TIdStatus.
constexpr const res::TText* kStatusTable[] = {
    &res::kStatusResolving,    &res::kStatusConnecting,   &res::kStatusConnected,
    &res::kStatusDisconnecting, &res::kStatusDisconnected, &res::kStatusText,
    &res::kStatusText,         &res::kStatusText,         &res::kStatusText,
};
static_assert(sizeof kStatusTable / sizeof kStatusTable[0] == ftpAborted + 1);

}  // namespace

const char* StatusTemplate(TIdStatus AStatus) {
  const auto i = static_cast<int32_t>(AStatus);
  if (i < 0 || i > ftpAborted) return res::kStatusText;
  return *kStatusTable[i];
}

int32_t LiveComponentCount() {
  std::lock_guard<std::mutex> guard(StackLock());
  return g_live_components;
}

namespace detail {

TIdStackReference::TIdStackReference() {
  std::lock_guard<std::mutex> guard(StackLock());
  ++g_live_components;
  if (g_live_components == 1) {
    try {
      GlobalStack = CreateStack();
    } catch (...) {
      // The component is not created, so it must not be counted either.
      --g_live_components;
      throw;
    }
  }
}

TIdStackReference::~TIdStackReference() {
  std::lock_guard<std::mutex> guard(StackLock());
  --g_live_components;
  if (g_live_components == 0) {
    delete GlobalStack;
    GlobalStack = nullptr;
  }
}

}  // namespace detail

TIdComponent::TIdComponent(rtl::TComponent* AOwner) : TIdBaseComponent(AOwner) {}

TIdComponent::~TIdComponent() = default;

void TIdComponent::ReportStatus(TIdStatus AStatus, std::initializer_list<rtl::FormatArg> AArgs) {
  if (!on_status_) return;
  const char* templ = StatusTemplate(AStatus);
  const std::string text = AArgs.size() == 0 ? rtl::Format(templ, {std::string()})
                                             : rtl::Format(templ, AArgs);
  on_status_(this, AStatus, text);
}

void TIdComponent::WorkBegin(TWorkMode AWorkMode, int32_t AWorkCountMax) {
  TWorkInfo& w = work_[AWorkMode == wmRead ? 0 : 1];
  ++w.Level;
  if (w.Level == 1) {
    w.Max = AWorkCountMax;
    w.Count = 0;
    if (on_work_begin_) on_work_begin_(this, AWorkMode, AWorkCountMax);
  }
}

void TIdComponent::WorkProgress(TWorkMode AWorkMode, int32_t ACount) {
  TWorkInfo& w = work_[AWorkMode == wmRead ? 0 : 1];
  if (w.Level < 1) return;
  // The running total is a 32-bit value in the event; a transfer beyond 2 GiB must not wrap
  // it into a negative count, so it stays at the largest value instead.
  const int64_t sum = static_cast<int64_t>(w.Count) + ACount;
  w.Count = static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max()));
  if (on_work_) on_work_(this, AWorkMode, w.Count);
}

void TIdComponent::WorkEnd(TWorkMode AWorkMode) {
  TWorkInfo& w = work_[AWorkMode == wmRead ? 0 : 1];
  if (w.Level == 1 && on_work_end_) {
    // The level drops also when the handler raises.
    try {
      on_work_end_(this, AWorkMode);
    } catch (...) {
      --w.Level;
      throw;
    }
  }
  --w.Level;
}

}  // namespace tavo::net
