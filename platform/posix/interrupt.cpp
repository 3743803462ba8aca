#include "platform/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace tavo::platform {
namespace {

// A signal handler may only read what is already there: the texts live in buffers that are
// never freed while the program runs, and the handler finds the current ones through atomic
// pointers.
std::atomic<const char*> g_message{nullptr};
std::atomic<const char*> g_cleanup_file{nullptr};
std::atomic<bool> g_line_open{false};

const char* Keep(const std::string& text) {
  static std::mutex mu;
  static std::vector<std::unique_ptr<char[]>> kept;
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  std::lock_guard<std::mutex> lock(mu);
  kept.push_back(std::move(copy));
  return kept.back().get();
}

void WriteAll(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

extern "C" void OnInterrupt(int signal_number) {
  if (g_line_open.load()) WriteAll("\n");
  if (const char* message = g_message.load()) WriteAll(message);
  if (const char* file = g_cleanup_file.load(); file != nullptr && *file != '\0') ::unlink(file);
  ::_exit(128 + signal_number);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Both signals wait while the handler runs, so it runs once.
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void SetInterruptMessage(const std::string& text) { g_message.store(Keep(text)); }

void SetInterruptLineOpen(bool open) { g_line_open.store(open); }

void SetInterruptCleanupFile(const std::string& path) { g_cleanup_file.store(Keep(path)); }

}  // namespace tavo::platform
