#include "net/stack/stack.h"

#include "net/stack/address_parts.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "resources/stack_texts.h"
#include "rtl/convert.h"
#include "rtl/format.h"

namespace tavo::net {

TIdStack* GlobalStack = nullptr;

namespace {

// Constant-initialised, so the registration holds before any static constructor runs.
TIdStackClass g_stack_class = &TIdStackWindows::Create;

// The last error CheckResult saw on this thread, and the stack it belongs to (stacks come and
// go with the network components; a new one starts without an error).
std::atomic<uint64_t> g_stack_serial{0};
struct TThreadLastError {
  uint64_t Stack = 0;
  int32_t Error = 0;
};
thread_local TThreadLastError t_last_error;

bool EqualsIgnoringCase(const std::string& A, const char* B) {
  const size_t n = std::strlen(B);
  if (A.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
    if (fold(A[i]) != fold(B[i])) return false;
  }
  return true;
}

}  // namespace

void SetStackClass(TIdStackClass AClass) {
  g_stack_class = AClass ? AClass : &TIdStackWindows::Create;
}

TIdStack* CreateStack() { return g_stack_class(); }

TIdStack::TIdStack() : serial_(++g_stack_serial) {}
TIdStack::~TIdStack() = default;

int32_t TIdStack::LastError() const {
  return t_last_error.Stack == serial_ ? t_last_error.Error : 0;
}

void TIdStack::SetLastError(int32_t AErrorNumber) { t_last_error = {serial_, AErrorNumber}; }

TIdStackSocketHandle TIdStack::NewSocket(int32_t AStruct, int32_t AProtocol, int32_t AFamily) {
  const TIdStackSocketHandle socket = Socket(AFamily, AStruct, AProtocol);
  if (socket == Id_INVALID_SOCKET) throw EIdInvalidSocket(res::kCannotAllocateSocket);
  return socket;
}

bool TIdStack::CheckResult(int32_t AResult, std::initializer_list<int32_t> ATolerated) {
  if (AResult != Id_SOCKET_ERROR) return false;
  const int32_t error = QueryLastError();
  SetLastError(error);
  if (std::find(ATolerated.begin(), ATolerated.end(), error) != ATolerated.end()) return true;
  RaiseError(error);
}

void TIdStack::RaiseError(int32_t AErrorNumber) {
  throw EIdSocketError(AErrorNumber, ErrorText(AErrorNumber));
}

std::string TIdStack::ErrorText(int32_t AErrorNumber) {
  const char* text = "";
  for (const auto& entry : res::kSocketErrorTexts) {
    if (entry.Number == AErrorNumber) {
      text = entry.Text;
      break;
    }
  }
  return rtl::Format(res::kSocketErrorFormat, {AErrorNumber, text});
}

std::string TIdStack::HostToAddress(const std::string& AHost) {
  if (EqualsIgnoringCase(AHost, res::kLocalHostName)) return res::kLoopbackAddress;
  if (IsDottedAddress(AHost)) return AHost;
  return GetHostByName(AHost);
}

bool TIdStack::IsDottedAddress(const std::string& AText) {
  for (const std::string& part : detail::SplitAddress(AText)) {
    int32_t value = 0;
    if (!rtl::TryStrToInt(part, value) || value < 0 || value > 255) return false;
  }
  return true;
}

int32_t TIdStack::FamilyOf(const std::string& AIP) {
  return IsIPv6Address(AIP) ? Id_PF_INET6 : Id_PF_INET;
}

uint32_t TIdStack::TextToAddress(const std::string& AIP) {
  uint32_t address = 0;
  ParseAddress(AIP, address);
  return address;
}

namespace detail {

std::array<std::string, 4> SplitAddress(const std::string& AText) {
  std::array<std::string, 4> parts;
  std::string rest = AText;
  for (int i = 0; i < 3; ++i) {
    const auto dot = rest.find('.');
    if (dot == std::string::npos) {
      parts[i] = rest;
      rest.clear();
    } else {
      parts[i] = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    }
  }
  parts[3] = rest;
  return parts;
}

}  // namespace detail

}  // namespace tavo::net
