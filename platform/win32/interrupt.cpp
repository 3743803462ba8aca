#include "platform/interrupt.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "platform/console.h"
#include "platform/file_commit.h"

namespace tavo::platform {
namespace {

// The console's control handler runs on a thread of its own while the program goes on, so the
// settings are read under a lock.
std::mutex g_mu;
std::string g_message;
std::string g_cleanup_file;
std::atomic<bool> g_line_open{false};

// As characters on a console (the text may be German), as UTF-8 bytes elsewhere.
void WriteError(const std::string& text) { WriteText(TStdStream::ssError, text); }

BOOL WINAPI OnControl(DWORD event) {
  std::string message, file;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    message = g_message;
    file = g_cleanup_file;
  }
  if (g_line_open.load()) WriteError("\r\n");
  WriteError(message);
  if (!file.empty()) RemoveFile(file);
  ::ExitProcess(event == CTRL_C_EVENT ? 130 : 143);
  return TRUE;
}

}  // namespace

void InstallInterruptHandler() { ::SetConsoleCtrlHandler(OnControl, TRUE); }

void SetInterruptMessage(const std::string& text) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_message = text;
}

void SetInterruptLineOpen(bool open) { g_line_open.store(open); }

void SetInterruptCleanupFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_cleanup_file = path;
}

}  // namespace tavo::platform
